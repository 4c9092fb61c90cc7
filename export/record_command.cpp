// veldora-export record: adds a report to the run history as a run, or as
// another attempt of its CI run.
//
//   CI_PIPELINE_ID=4711 veldora-export record run/report.xrd --history history.sqlite --keep 200
//   run 12 recorded in history.sqlite: Passed 6, Inconclusive 2, Failed 1, Total 9
//   (the job retried)
//   run 12 attempt 2 recorded in history.sqlite: Passed 7, Inconclusive 2, Failed 0, Total 9
#include "export/record_command.h"

#include "export/history_inputs.h"

#include <cstdio>
#include <ctime>

namespace {

// The time of recording, in the layout of the report's time rows' runs.
std::string now() {
  const time_t seconds = time(nullptr);
  struct tm local;
  if (!localtime_r(&seconds, &local)) return std::string();
  return isoTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec});
}

}  // namespace

bool recordRun(const CommandArguments& args, const std::string& history, NewRun run,
               std::string* error) {
  int64_t keep = 0;
  if (!args.number("--keep", 1, 1000000000, &keep, error)) return false;
  RunInfo& info = run.info;
  info.key = runKeyOf(args);
  info.label = runLabelOf(args);
  if (info.generated.empty()) info.generated = now();
  std::unique_ptr<HistoryStore> store = openHistory(history, HistoryWrite, error);
  RecordedRun recorded;
  if (!store || !store->record(run, keep, &recorded)) {
    *error = history + ": " + (store ? store->error() : *error);
    return false;
  }
  const VerdictTotals& t = info.totals;
  std::string attempt;
  if (recorded.attempt > 1) attempt = " attempt " + std::to_string(recorded.attempt);
  printf("run %lld%s recorded in %s: Passed %lld, Inconclusive %lld, Failed %lld, Total %lld\n",
         static_cast<long long>(recorded.run), attempt.c_str(), history.c_str(),
         static_cast<long long>(t.passed), static_cast<long long>(t.inconclusive),
         static_cast<long long>(t.failed), static_cast<long long>(t.total));
  return true;
}

int runRecordCommand(const CommandArguments& args) {
  const ReportInput input = reportInput(args, 0);
  const std::string history = args.value("--history");
  std::string error;
  if (history.empty()) {
    printErrorLine("record: --history FILE is missing (see --help)");
    return ExitBroken;
  }
  int64_t keep = 0;
  if (!args.number("--keep", 1, 1000000000, &keep, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  if (sameFile(history, input.path)) {
    printErrorLine(history + ": the run history would replace the report");
    return ExitBroken;
  }
  RunCollector collector;
  if (!readReportOnce(input, collector, nullptr, &collector.run.content, &error) ||
      !recordRun(args, history, std::move(collector.run), &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  return fflush(stdout) == 0 ? ExitPassed : ExitBroken;
}
