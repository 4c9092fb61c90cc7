// Writes the symbol files, planning the run's events as it goes, then the
// trace of that run.
#include "bench/synthetic_inputs.h"
#include "bench/synthetic_plan.h"

#include <filesystem>
#include <system_error>

int writeSyntheticInputs(const SyntheticOptions& options, SyntheticSummary* summary) {
  *summary = SyntheticSummary();
  std::error_code error;
  std::filesystem::create_directories(options.outDir, error);
  if (options.files < 1 || options.objects < 0) return -1;

  Random random(options.seed);
  std::vector<FilePlan> plans(static_cast<size_t>(options.files));
  for (int i = 0; i < options.files; ++i) {
    int64_t share = options.objects / options.files + (i < options.objects % options.files ? 1 : 0);
    std::string path = options.outDir + "/driver" + std::to_string(i) + ".ots";
    if (!writeSymbolFile(path, i, share, random, &plans[static_cast<size_t>(i)],
                         &summary->symbolLines, &summary->bytes))
      return -1;
    summary->symbolFiles.push_back(path);
    summary->objects += share;
  }
  summary->traceFile = options.outDir + "/run.tdf";
  if (!writeTraceFile(summary->traceFile, plans, options.traceRecords, random,
                      &summary->traceRecords, &summary->bytes))
    return -1;
  return 0;
}
