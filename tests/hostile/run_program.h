// Runs the veldora program as a child process in a scratch folder and
// collects what a user would see.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/file_bytes.h"

struct ProgramRun {
  int status = -1;           // exit status as the shell sees it; -1 when killed
  std::string errorOutput;   // standard error
  bool wroteToOutput = false;
  long peakKiB = 0;          // peak resident memory of the program
  double seconds = 0;        // wall time of the program
};

// A folder of its own for one test, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs the program with the arguments, in folder, with ORBEKDIR set to an
// installation folder without translations and environment additions of the
// form NAME=value, under /usr/bin/time for its peak memory. The program is
// killed after timeoutSeconds.
ProgramRun runProgram(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {},
                      int timeoutSeconds = 120);

// Starts the program as runProgram does, without time or timeout, and
// returns its process identifier (-1 when it cannot be started); the
// caller waits for it.
pid_t startProgram(const ScratchFolder& folder, const std::vector<std::string>& arguments);

// Empty when the file holds a well-formed XML document; else the fault.
std::string reportFault(const std::string& path);

// Occurrences of needle in haystack.
size_t countOf(const std::string& haystack, const std::string& needle);

// The banner line every run prints first.
inline constexpr char kBanner[] = "Tessaloft C++ Test Report Generator 8.2.0.1.070.020\n";
