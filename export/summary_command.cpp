// The summary command: its options, the report read, the lines written to
// standard output and, with --format github, the Markdown appended to the
// file GITHUB_STEP_SUMMARY names (never a file it reads); with --history,
// each failure marked as the merge gate sees it and the gate's line.
//
//   veldora-export summary report.xrd --format github --max 20
#include "export/summary_command.h"

#include "export/ci/step_summary.h"
#include "export/ci/summary_writer.h"
#include "export/history_inputs.h"

#include <cstdlib>
#include <unistd.h>

namespace {

bool readOptions(const CommandArguments& args, SummaryOptions* options) {
  int format = SummaryPlain;
  std::string error;
  bool ok = args.choice("--format", &format, &error);
  options->format = static_cast<SummaryFormat>(format);
  // GitHub keeps 10 annotations of each kind per step.
  if (options->format == SummaryGithub) options->maxFailures = 10;
  if (!ok || !args.number("--max", 0, 1000000000, &options->maxFailures, &error)) {
    printErrorLine(error);
    return false;
  }
  options->colour = isatty(STDOUT_FILENO) && getenv("NO_COLOR") == nullptr;
  return true;
}

}  // namespace

int runSummaryCommand(const CommandArguments& args) {
  const ReportInput input = reportInput(args, 0);
  SummaryOptions options;
  if (!readOptions(args, &options)) return ExitBroken;
  const std::string history = args.value("--history");
  std::vector<CommandInput> inputs = inputsOf(input);
  inputs.push_back({history, "the run history"});
  std::string stepSummary, error;
  if (options.format == SummaryGithub && !stepSummaryPath(inputs, &stepSummary, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  // One read: the summary, and the run the history judges.
  SummaryBuilder summary(options.maxFailures);
  RunCollector run;
  VisitorFanOut objects;
  objects.add(summary);
  if (!history.empty()) objects.add(run);
  std::string digest;
  ReportHistory judged;
  std::vector<bool> quarantined;
  std::vector<FailureLine> stale;
  if (!readReportOnce(input, objects, nullptr,
                      !history.empty() && runKeyOf(args).empty() ? &digest : nullptr, &error) ||
      (!history.empty() &&
       (!quarantineOf(args, run.run.objects, &quarantined, &stale, &error) ||
        !judgeAgainstHistory(args, history, input.path, run.run, digest, quarantined, &judged,
                             &error)))) {
    printErrorLine(error);
    return ExitBroken;
  }
  if (!history.empty()) {
    options.history = &judged.diff;
    for (const FailureLine& line : stale)
      options.changes += options.format == SummaryGithub ? githubLine(line) : plainLine(line, false);
    options.changes += gateLine(gateCounts(judged.diff));
  }
  SummaryOutput output;
  ReportErrorInfo readError;
  if (!summary.finish(options, &output, &readError)) {
    printErrorLine(errorLine(input.path, readError));
    return ExitBroken;
  }
  if (!stepSummary.empty() && !appendStepSummary(stepSummary, output.markdown, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  if (!writeStandardOutput(output.text)) return ExitBroken;
  return output.failedVerdict ? ExitFailedVerdict : ExitPassed;
}
