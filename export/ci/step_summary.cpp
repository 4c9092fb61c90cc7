// The step summary file, appended to once the Markdown is whole.
#include "export/ci/step_summary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool appendStepSummary(const std::string& path, const std::string& markdown, std::string* error) {
  FILE* file = fopen(path.c_str(), "ab");
  if (!file) {
    *error = path + ": cannot write: " + strerror(errno);
    return false;
  }
  const bool written = fwrite(markdown.data(), 1, markdown.size(), file) == markdown.size();
  const int writeErrno = errno;
  if (fclose(file) != 0 || !written) {
    *error = path + ": cannot write: " + strerror(written ? errno : writeErrno);
    return false;
  }
  return true;
}
