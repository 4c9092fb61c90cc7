// The command line of a run:
//
//   veldora -ots a.ots b.ots -tdf run.tdf -xrd out.xrd [-h header.txt]
#pragma once

#include <cstdint>

// What the command line names. The texts point into the argument vector.
struct RunSettings {
  const char* reportFileName = nullptr;
  const char* traceFileName = nullptr;
  const char* headerFileName = nullptr;
  const char** symbolFileNames = nullptr;  // checkedMalloc'ed, lives until exit
  int32_t symbolFileCount = 0;
};

// 0 when accepted: exactly three counted options (-ots, -xrd, -tdf) and both
// a report and a trace file named.
int parseCommandLine(int argc, char** argv, RunSettings* settings);
void printUsage(const char* programName);
