// veldora-export junit REPORT [-o OUT] [--system-out none|failures|all]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/ci/junit_writer.h"

class CommandArguments;

int runJunitCommand(const CommandArguments& args);

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
