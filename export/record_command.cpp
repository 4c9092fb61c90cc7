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

int runRecordCommand(const CommandArguments& args) {
  const ReportInput input = reportInput(args, 0);
  int64_t keep = 0;
  std::string error;
  if (!args.has("--history")) {
    printErrorLine("record: --history FILE is missing (see --help)");
    return ExitBroken;
  }
  const std::string history = args.value("--history");
  if (!args.number("--keep", 1, 1000000000, &keep, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  if (sameFile(history, input.path)) {
    printErrorLine(history + ": the run history would replace the report");
    return ExitBroken;
  }
  RunCollector collector;
  if (!readReportOnce(input, collector, nullptr, &collector.run.content, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  RunInfo& info = collector.run.info;
  info.key = runKeyOf(args);
  info.label = runLabelOf(args);
  if (info.generated.empty()) info.generated = now();
  std::unique_ptr<HistoryStore> store = openHistory(history, HistoryWrite, &error);
  RecordedRun recorded;
  if (!store || !store->record(collector.run, keep, &recorded)) {
    printErrorLine(history + ": " + (store ? store->error() : error));
    return ExitBroken;
  }
  const RunTotals& t = info.totals;
  std::string attempt;
  if (recorded.attempt > 1) attempt = " attempt " + std::to_string(recorded.attempt);
  printf("run %lld%s recorded in %s: Passed %lld, Inconclusive %lld, Failed %lld, Total %lld\n",
         static_cast<long long>(recorded.run), attempt.c_str(), history.c_str(),
         static_cast<long long>(t.passed), static_cast<long long>(t.inconclusive),
         static_cast<long long>(t.failed), static_cast<long long>(t.total));
  return fflush(stdout) == 0 ? ExitPassed : ExitBroken;
}
