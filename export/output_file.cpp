// The output file: mkstemp beside the final name, a large stdio buffer, and
// rename(2) at the end, which replaces the final name at once.
#include "export/output_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 1 << 20;

}  // namespace

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
  if (toStandardOutput_ || !stream_) return;
  fclose(stream_);
  stream_ = nullptr;
  unlink(temporary_.c_str());
}

bool OutputFile::open(const std::string& path, std::string* error) {
  path_ = path;
  if (path == "-") {
    toStandardOutput_ = true;
    stream_ = stdout;
    return true;
  }
  std::string pattern = path + ".XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) {
    *error = strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the mode a plain create would.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  stream_ = fdopen(fd, "wb");
  if (!stream_) {
    *error = strerror(errno);
    close(fd);
    unlink(pattern.c_str());
    return false;
  }
  temporary_ = pattern;
  setvbuf(stream_, nullptr, _IOFBF, kBufferSize);
  return true;
}

bool OutputFile::commit(std::string* error) {
  if (toStandardOutput_) {
    if (fflush(stdout) != 0 || ferror(stdout)) {
      *error = strerror(errno);
      return false;
    }
    return true;
  }
  const bool written = fflush(stream_) == 0 && !ferror(stream_);
  const int writeErrno = errno;
  const bool closed = fclose(stream_) == 0;
  const int closeErrno = errno;
  stream_ = nullptr;
  if (!written || !closed) {
    *error = strerror(!written ? writeErrno : closeErrno);
    unlink(temporary_.c_str());
    return false;
  }
  if (rename(temporary_.c_str(), path_.c_str()) != 0) {
    *error = strerror(errno);
    unlink(temporary_.c_str());
    return false;
  }
  return true;
}

std::string replaceExtension(const std::string& path, const char* extension) {
  const size_t slash = path.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > base) return path.substr(0, dot) + extension;
  return path + extension;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
