// veldora-export diff: what a report changed against an earlier one or
// against the run history, and the merge gate's verdict; with --format
// github also the comment into the job's step summary.
//
//   veldora-export diff history.sqlite run/report.xrd
//   src/stack_test.cpp:30: error: new failure: check failed: size() == capacity() [stack_test > Stack > overflow]
//   src/stack_test.cpp:60: error: no longer executed: passed before [stack_test > Stack > copy]
//   src/stack_test.cpp:44: warning: still failing since run 3 (3f2a9c1, 2026-12-07T09:30:12): check failed: pop() == 2 [stack_test > Stack > pop]
//   src/stack_test.cpp:20: note: now passes, failed before: top() == 1 (failed 1 of 1 executions) [stack_test > Stack > push]
//   New 1, Lost 1, Flaky 0, Quarantined 0, Fixed 1, Still failing 1, Added 0, Removed 0
#include "export/diff_command.h"

#include "export/ci/gate_writer.h"
#include "export/ci/step_summary.h"
#include "export/history_inputs.h"

#include <cstdlib>
#include <unistd.h>

namespace {

bool readOptions(const CommandArguments& args, GateOptions* options) {
  int format = GatePlain;
  std::string error;
  bool ok = args.choice("--format", &format, &error);
  options->format = static_cast<GateFormat>(format);
  // GitHub keeps 10 annotations of each kind per step.
  options->max = options->format == GateGithub ? 10 : 50;
  ok = ok && args.number("--max", 0, 1000000000, &options->max, &error);
  if (ok && args.has("--fail-on") && !parseFailOn(args.value("--fail-on"), &options->failOn, &error)) {
    error = "diff: " + error;
    ok = false;
  }
  if (!ok) {
    printErrorLine(error);
    return false;
  }
  options->pageUrl = args.value("--page-url");
  options->colour = options->format == GatePlain && isatty(STDOUT_FILENO) && !getenv("NO_COLOR");
  return true;
}

// The base: the run of a history, or another report.
struct Base {
  ReportHistory history;
  bool isHistory = false;
};

bool readBase(const CommandArguments& args, const std::string& path, const NewRun& now,
              const std::string& digest, const std::vector<bool>& quarantined, Base* base,
              std::string* error) {
  if (base->isHistory) {
    if (!judgeAgainstHistory(args, path, args.operands()[1], now, digest, quarantined,
                             &base->history, error))
      return false;
    if (base->history.haveBase) return true;
    *error = path + ": " + (base->history.recorded ? "no run recorded before this report"
                                                   : "no run recorded yet");
    return false;
  }
  if (args.has("--run") || args.has("--run-key")) {
    *error = path + ": " + (args.has("--run") ? "--run" : "--run-key") +
             " needs a history file as BASE, not a report";
    return false;
  }
  RunCollector collector;
  if (!readReportOnce({path, reportInput(args, 0).sourceRoot, {}}, collector, nullptr, nullptr, error))
    return false;
  ReportHistory& history = base->history;
  history.baseObjects = std::move(collector.run.objects);
  FailureExcuses excuses;
  excuses.quarantined = quarantined;
  history.diff = diffRuns(collector.run.info.totals, history.baseObjects, now.info.totals,
                          now.objects, excuses);
  return true;
}

}  // namespace

int runDiffCommand(const CommandArguments& args) {
  GateOptions options;
  if (!readOptions(args, &options)) return ExitBroken;
  const std::string& basePath = args.operands()[0];
  const ReportInput input = reportInput(args, 1);
  Base base;
  base.isHistory = looksLikeHistory(basePath);
  std::string stepSummary, error;
  std::vector<CommandInput> inputs = inputsOf(input);
  inputs.push_back({basePath, base.isHistory ? "the run history" : "the base report"});
  if (options.format == GateGithub && !stepSummaryPath(inputs, &stepSummary, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  LocatedRun now;
  std::string digest;
  const bool wantDigest = base.isHistory && runKeyOf(args).empty();
  std::vector<bool> quarantined;
  std::vector<FailureLine> stale;
  if (!readReportOnce(input, now, nullptr, wantDigest ? &digest : nullptr, &error) ||
      !quarantineOf(args, now.run.objects, &quarantined, &stale, &error) ||
      !readBase(args, basePath, now.run, digest, quarantined, &base, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  const ReportHistory& history = base.history;
  const GateView view = gateViewOf(history, base.isHistory,
                                   base.isHistory ? runName(history.base) : basePath, now, stale);
  if (!stepSummary.empty() &&
      !appendStepSummary(stepSummary, gateMarkdown(view, options), &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  // A comment on standard output lands in a CI log as much as lines do.
  if (!writeStandardOutput(runnerInert(gateText(view, options)))) return ExitBroken;
  bool passed = true;
  gateVerdict(gateCounts(history.diff), options.failOn, view.totals.failed, &passed);
  return passed ? ExitPassed : ExitFailedVerdict;
}
