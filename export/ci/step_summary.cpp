// The step summary file: checked against the inputs before any work, then
// appended to once the Markdown is whole.
#include "export/ci/step_summary.h"

#include "export/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool stepSummaryPath(const std::vector<CommandInput>& inputs, const char** path) {
  *path = getenv("GITHUB_STEP_SUMMARY");
  if (*path && !**path) *path = nullptr;
  if (!*path) return true;
  for (const CommandInput& input : inputs) {
    if (sameFile(*path, input.first)) {
      printErrorLine(std::string(*path) + ": the step summary would be appended to " + input.second);
      return false;
    }
  }
  return true;
}

bool appendStepSummary(const char* path, const std::string& markdown) {
  FILE* file = fopen(path, "ab");
  if (!file) {
    printOutputError(path, strerror(errno));
    return false;
  }
  const bool written = fwrite(markdown.data(), 1, markdown.size(), file) == markdown.size();
  const int writeErrno = errno;
  if (fclose(file) != 0 || !written) {
    printOutputError(path, strerror(written ? errno : writeErrno));
    return false;
  }
  return true;
}
