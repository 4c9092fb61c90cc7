// The file a report is written to. A regular file, or a path where nothing
// exists yet, is written to a temporary file beside it that replaces it only
// when the report is complete, so a failed or interrupted run leaves the
// earlier report as it was. Devices and FIFOs are written in place.
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>

class ReportOutput {
 public:
  ReportOutput() = default;
  ~ReportOutput();
  ReportOutput(const ReportOutput&) = delete;
  ReportOutput& operator=(const ReportOutput&) = delete;

  // False when the report cannot be created: the user may not write the
  // path, or its folder does not exist.
  bool open(const char* path);
  FILE* file() const { return file_; }
  // Flushes and closes; a temporary file then replaces the path. False
  // (with the temporary file removed) when anything of that fails.
  bool commit();

 private:
  // A temporary file beside the target; false when none can be made.
  bool openTemporary(mode_t mode);
  void discard();

  FILE* file_ = nullptr;
  std::string target_;     // the path a temporary file is renamed to
  std::string temporary_;  // empty when writing in place
};
