// veldora-export junit REPORT [-o OUT] [--system-out none|failures|all]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CommandArguments;

int runJunitCommand(const CommandArguments& args);

// The warnings for a JUnit file larger than CI servers read (30 MB, 500,000
// test cases), each without the program's prefix.
std::vector<std::string> largeFileWarnings(const std::string& output, int64_t bytes,
                                           int64_t testCases);
