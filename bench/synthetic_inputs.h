// Synthetic inputs for the benchmark: symbol files and one trace file shaped
// like those of a real test run, the same bytes for the same options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SyntheticOptions {
  uint64_t seed = 1;
  int64_t objects = 10000;        // node records over all symbol files
  int64_t traceRecords = 100000;  // lines of the trace file
  int files = 4;                  // symbol files
  std::string outDir = ".";
};

struct SyntheticSummary {
  std::vector<std::string> symbolFiles;  // in the order to pass them to -ots
  std::string traceFile;
  int64_t objects = 0;       // node records written
  int64_t symbolLines = 0;   // every line of the symbol files
  int64_t traceRecords = 0;  // every line of the trace file
  int64_t bytes = 0;         // of all files written
};

// Writes <outDir>/driverN.ots for N = 0 .. files - 1 and <outDir>/run.tdf.
// Exactly `objects` node records are written (each file gets an equal share)
// and exactly `traceRecords` trace lines, unless that is fewer than one
// execution of everything executed: then the trace holds that minimum.
// Returns 0, or -1 when a file cannot be written.
int writeSyntheticInputs(const SyntheticOptions& options, SyntheticSummary* summary);
