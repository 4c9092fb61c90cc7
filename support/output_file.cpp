// Writing a file so that it is either complete or not there:
//
//   out.xrd  ->  .out.xrd.Ab12Cd (written, flushed, given out.xrd's mode)  ->  renamed to out.xrd
//
// The temporary name is the target's name cut so that it still fits a
// folder entry (NAME_MAX), so a 255-byte name can be written too.
#include "support/output_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXCPU, SIGXFSZ, SIGABRT};
constexpr char kTemporarySuffix[] = ".XXXXXX";

// The temporary file to remove if a signal ends the run; null when none. A
// signal handler can reach nothing else.
const char* volatile temporaryToRemove;

void removeTemporaryAndDie(int signal) {
  if (const char* path = temporaryToRemove) unlink(path);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void watchTemporary(const std::string& path) {
  temporaryToRemove = path.c_str();
  for (int signal : kEndingSignals) {
    struct sigaction action = {};
    sigaction(signal, nullptr, &action);
    // A signal the caller ignores stays ignored: it ends nothing.
    if (action.sa_handler == SIG_IGN) continue;
    action.sa_handler = removeTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal, &action, nullptr);
  }
}

void unwatchTemporary() {
  for (int signal : kEndingSignals) {
    struct sigaction action = {};
    sigaction(signal, nullptr, &action);
    if (action.sa_handler != removeTemporaryAndDie) continue;
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
  }
  temporaryToRemove = nullptr;
}

// The file a path names once the symbolic links of its last component are
// followed (to a target that may not exist yet); the path itself when it is
// no link. Links in the folders on the way need no following: the temporary
// file made beside the target lands in the same folder. viaDescriptor
// tells whether the way passes a descriptor of the process (/dev/stdout is
// a link to /proc/self/fd/1), which is written in place whatever it names.
std::string followLinks(const char* path, bool* viaDescriptor) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    if (current.rfind("/proc/", 0) == 0 || current.rfind("/dev/fd/", 0) == 0)
      *viaDescriptor = true;
    std::string target(PATH_MAX, '\0');
    ssize_t length = readlink(current.c_str(), &target[0], target.size());
    if (length < 0 || static_cast<size_t>(length) >= target.size()) return current;
    target.resize(static_cast<size_t>(length));
    if (target[0] != '/') {
      size_t slash = current.rfind('/');
      if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
    }
    current = target;
  }
  return current;
}

// "dir/.name.XXXXXX" beside "dir/name", the name cut to fit NAME_MAX.
std::string temporaryPattern(const std::string& target) {
  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  name.resize(std::min(name.size(), NAME_MAX - 1 - (sizeof kTemporarySuffix - 1)));
  return folder + "." + name + kTemporarySuffix;
}

mode_t newFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

void useLargeBuffer(FILE* file) {
  // The file is written by one thread in many small pieces: stdio's lock
  // per call is skipped, and a large buffer makes few write calls.
  __fsetlocking(file, FSETLOCKING_BYCALLER);
  setvbuf(file, nullptr, _IOFBF, 1 << 20);
}

}  // namespace

int createTemporaryFile(std::string* pattern) { return mkostemp(&(*pattern)[0], O_CLOEXEC); }

OutputFile::~OutputFile() { discard(); }

bool OutputFile::failed() {
  error_ = strerror(errno);
  return false;
}

bool OutputFile::open(const char* path) {
  struct stat existing;
  const bool exists = stat(path, &existing) == 0;
  bool viaDescriptor = false;
  target_ = followLinks(path, &viaDescriptor);
  if (!viaDescriptor && (!exists || S_ISREG(existing.st_mode))) {
    // An existing file the user may not write stays refused, although the
    // folder would let it be replaced.
    if (exists && access(target_.c_str(), W_OK) != 0) return failed();
    if (openTemporary(exists ? existing.st_mode & 07777 : newFileMode())) return true;
    // A folder without room for a temporary file: written in place, as a
    // device is.
  }
  file_ = fopen(path, "w");
  if (!file_) return failed();
  useLargeBuffer(file_);
  return true;
}

void OutputFile::openStandardOutput() {
  file_ = stdout;
  standardOutput_ = true;
}

bool OutputFile::openTemporary(mode_t mode) {
  std::string pattern = temporaryPattern(target_);
  // The signals wait while the file is made and watched, so that none can
  // end the run between the two.
  sigset_t ending, previous;
  sigemptyset(&ending);
  for (int signal : kEndingSignals) sigaddset(&ending, signal);
  sigprocmask(SIG_BLOCK, &ending, &previous);
  int descriptor = createTemporaryFile(&pattern);
  if (descriptor >= 0) {
    temporary_ = pattern;
    watchTemporary(temporary_);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (descriptor < 0) return false;
  fchmod(descriptor, mode);
  file_ = fdopen(descriptor, "w");
  if (!file_) {
    close(descriptor);
    discard();
    return false;
  }
  useLargeBuffer(file_);
  return true;
}

bool OutputFile::commit() {
  if (!file_) return false;
  if (standardOutput_) {
    file_ = nullptr;
    return fflush(stdout) == 0 && !ferror(stdout) ? true : failed();
  }
  bool written = closeFile();
  if (!temporary_.empty()) {
    if (written && rename(temporary_.c_str(), target_.c_str()) != 0) written = failed();
    if (written) {
      temporary_.clear();
      unwatchTemporary();
    }
  }
  discard();
  return written;
}

bool OutputFile::commitNew(bool* placed) {
  *placed = false;
  if (!file_ || standardOutput_) return false;
  bool written = closeFile();
  if (written && !temporary_.empty()) {
    // A second name for the temporary file, whose own name discard() removes.
    if (link(temporary_.c_str(), target_.c_str()) == 0) *placed = true;
    else if (errno != EEXIST) written = failed();
  } else {
    *placed = written;  // written in place
  }
  discard();
  return written;
}

bool OutputFile::closeFile() {
  // A full disk shows up at the latest when the buffer is flushed on close.
  bool written = fflush(file_) == 0 && !ferror(file_);
  if (!written) failed();
  if (fclose(file_) != 0 && written) written = failed();
  file_ = nullptr;
  return written;
}

void OutputFile::discard() {
  if (standardOutput_) return;
  if (file_) {
    fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
    unwatchTemporary();
  }
}
