// veldora-export record: adds a report to the run history as one run.
//
//   veldora-export record run/report.xrd --history history.sqlite --keep 200
//   run 12 recorded in history.sqlite: Passed 6, Inconclusive 2, Failed 1, Total 9
#include "export/record_command.h"

#include "export/command_line.h"
#include "support/decimal.h"
#include "export/history/report_run.h"
#include "export/history/run_diff.h"

#include <cstdio>
#include <cstring>

namespace {

struct RecordArguments {
  std::string report;
  std::string history;
  const char* label = nullptr;
  std::string sourceRoot = defaultSourceRoot();
  int64_t keep = 0;
};

bool parseRecordArguments(int argc, char** argv, RecordArguments* args) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--history" || arg == "--label" || arg == "--keep" || arg == "--source-root") {
      if (i + 1 == argc) {
        printErrorLine("record: " + arg + " needs a value (see --help)");
        return false;
      }
      const char* value = argv[++i];
      if (arg == "--history") {
        args->history = value;
      } else if (arg == "--source-root") {
        args->sourceRoot = value;
      } else if (arg == "--label") {
        args->label = value;
      } else if (!parseDecimal(value, 1, 1000000000, &args->keep)) {
        printErrorLine(std::string("record: --keep needs a number above 0, not ") + value);
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      printErrorLine("record: unknown option " + arg + " (see --help)");
      return false;
    } else if (!args->report.empty()) {
      printErrorLine("record: one report file only (see --help)");
      return false;
    } else {
      args->report = arg;
    }
  }
  if (args->report.empty() || args->history.empty()) {
    printErrorLine(std::string("record: ") +
                   (args->report.empty() ? "no report file named" : "--history FILE is missing") +
                   " (see --help)");
    return false;
  }
  return true;
}

}  // namespace

int runRecordCommand(int argc, char** argv) {
  RecordArguments args;
  if (!parseRecordArguments(argc, argv, &args)) return ExitBroken;
  RunCollector collector;
  if (!readWholeRun(args.report, args.sourceRoot, collector)) return ExitBroken;
  collector.run.info.label = runLabel(args.label);
  std::string error;
  std::unique_ptr<HistoryStore> history = openHistory(args.history, HistoryWrite, &error);
  int64_t id = 0;
  bool added = false;
  // A run recorded with the earlier digest is found by its time and totals
  // first; a run of this digest by addRun, inside its transaction (which
  // also applies --keep).
  std::vector<RunInfo> runs;
  std::vector<std::string> contents;
  int64_t own = -1;
  if (!history || !history->runs(&runs, &contents)) {
    printErrorLine(args.history + ": " + (history ? history->error() : error));
    return ExitBroken;
  }
  if (!findOwnRun(runs, contents, args.report, collector.run.info, &own, &error,
                  collector.run.content)) {
    printErrorLine(error);
    return ExitBroken;
  }
  if (own >= 0 && contents[own] != collector.run.content) {
    id = runs[own].id;
  } else if (!history->addRun(collector.run, args.keep, &id, &added)) {
    printErrorLine(args.history + ": " + history->error());
    return ExitBroken;
  }
  const RunTotals& t = collector.run.info.totals;
  if (added)
    printf("run %lld recorded in %s: Passed %lld, Inconclusive %lld, Failed %lld, Total %lld\n",
           static_cast<long long>(id), args.history.c_str(), static_cast<long long>(t.passed),
           static_cast<long long>(t.inconclusive), static_cast<long long>(t.failed),
           static_cast<long long>(t.total));
  else
    printf("%s holds this report already, as run %lld\n", args.history.c_str(),
           static_cast<long long>(id));
  return fflush(stdout) == 0 ? ExitPassed : ExitBroken;
}
