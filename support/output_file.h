// The file a program's result is written to, complete or not at all. A
// regular file, or a path where nothing exists yet, is written to a
// temporary file beside it that replaces it only when everything was
// written, so a failed or interrupted run leaves the earlier file as it was:
//
//   OutputFile out;
//   if (!out.open("report.html")) ... out.error()
//   fputs("<!DOCTYPE html>", out.file());
//   if (!out.commit()) ...   // report.html appears only here
//
// A symbolic link is followed and the file it names replaced (the link
// stays, the file keeps its mode); devices, FIFOs and the process's own
// descriptors (/dev/stdout) are written in place. A signal that ends the
// process, or an abort, removes the temporary file first.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/types.h>

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // removes the temporary file unless commit() succeeded
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False, with the system's reason in error(), when the file cannot be
  // created: the user may not write the path, or its folder does not exist.
  bool open(const char* path);
  // Writes to the process's standard output stream as it is; commit() then
  // only flushes it.
  void openStandardOutput();
  FILE* file() const { return file_; }
  // Flushes and closes; a temporary file then replaces the path. False
  // (with the temporary file removed and the reason in error()) when
  // anything of that fails.
  bool commit();
  // As commit(), but the file takes the path only while nothing is there:
  // when another file took it meanwhile, that one stays, this one is
  // removed and *placed is false.
  bool commitNew(bool* placed);
  const std::string& error() const { return error_; }
  // The temporary file, for a writer that opens it by its name; empty when
  // writing in place.
  const std::string& temporaryPath() const { return temporary_; }

 private:
  // A temporary file beside the target; false when none can be made.
  bool openTemporary(mode_t mode);
  bool closeFile();  // flushes and closes file_; false after failed()
  void discard();
  bool failed();  // keeps strerror(errno) in error_; false

  FILE* file_ = nullptr;
  bool standardOutput_ = false;
  std::string target_;     // the path a temporary file is renamed to
  std::string temporary_;  // empty when writing in place
  std::string error_;
};

// A new, empty file made from a mkstemp pattern ("dir/name.XXXXXX"), the
// X's replaced in *pattern; its descriptor (close-on-exec), or -1 with errno.
int createTemporaryFile(std::string* pattern);

// All of the bytes to the stream; errors show in ferror().
inline void put(FILE* out, std::string_view bytes) { fwrite(bytes.data(), 1, bytes.size(), out); }
