// veldora-export junit REPORT... [-o OUT] [--system-out none|failures|all]
#pragma once

#include "export/ci/junit_writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CommandArguments;
struct PartReport;

int runJunitCommand(const CommandArguments& args);

// The JUnit builders of a run's parts, beside them (their suites named
// after their parts when there are several).
struct JunitParts {
  // Makes a builder per part with --system-out. False, with the error
  // line's text, for a wrong option or a scratch file that cannot be made.
  bool start(const CommandArguments& args, std::vector<PartReport>* parts, std::string* error);
  std::vector<JunitPart> of(const std::vector<PartReport>& parts) const;
  std::vector<std::unique_ptr<JunitBuilder>> builders;
};

// The options of a JUnit file: this machine's name, the scratch folder
// (TMPDIR, else /tmp) and systemOut.
JunitOptions junitOptions(SystemOut systemOut);
// The warnings of a written JUnit file on standard error: totals below its
// objects, a file larger than CI servers read.
void printJunitWarnings(const std::string& report, const std::string& output,
                        const JunitResult& result);

// The warnings for a JUnit file larger than CI servers read (30 MB, 500,000
// test cases), each without the program's prefix.
std::vector<std::string> largeFileWarnings(const std::string& output, int64_t bytes,
                                           int64_t testCases);
