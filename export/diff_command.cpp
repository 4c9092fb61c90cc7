// veldora-export diff: what a report changed against an earlier one or
// against the run history, and the merge gate's verdict; with --format
// github also the comment into the job's step summary.
//
//   veldora-export diff history.sqlite run/report.xrd
//   veldora-export diff history.sqlite --run-key 4711     (the run as the shards recorded it)
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

// The parts to compare: the reports named after BASE, or against a
// history the run of --run-key as the history holds it.
bool readParts(const CommandArguments& args, bool againstHistory, std::vector<PartReport>* parts,
               std::string* error) {
  const std::string& base = args.operands()[0];
  if (args.operands().size() == 1) {
    if (againstHistory && args.has("--run-key")) return storedParts(args, base, parts, error);
    *error = "diff: needs BASE and REPORT, or a history and --run-key (see --help)";
    return false;
  }
  if (!partReports(args, 1, parts, error)) return false;
  if (!againstHistory && parts->size() > 1) {
    *error = "diff: a report as BASE takes one REPORT (see --help)";
    return false;
  }
  // The first report's bytes find the run when it has no key.
  const bool digest = againstHistory && runKeyOf(args).empty();
  for (PartReport& part : *parts)
    if (!readPart(&part, nullptr, nullptr, {true, digest && &part == &parts->front()}, error)) return false;
  return true;
}

// The run against a history: each part with its base, one at least.
bool judgeAgainstHistory(const CommandArguments& args, const std::vector<PartReport>& parts,
                         RunHistory* history, std::string* error) {
  const std::string& base = args.operands()[0];
  if (!judgeRun(args, base, parts, history, error)) return false;
  for (const ReportHistory& part : history->parts)
    if (part.haveBase) return true;
  *error = shownLocation(base) + ": " +
           (history->recorded ? "no run recorded before this report" : "no run recorded yet");
  return false;
}

// The report against another report.
bool judgeAgainstReport(const CommandArguments& args, const std::vector<PartReport>& parts,
                        RunHistory* history, std::string* error) {
  const std::string& base = args.operands()[0];
  if (args.has("--run") || args.has("--run-key")) {
    *error = base + ": " + (args.has("--run") ? "--run" : "--run-key") +
             " needs a history file as BASE, not a report";
    return false;
  }
  RunCollector collector;
  if (!readReportOnce({base, reportInput(args, 0).sourceRoot, {}}, collector, nullptr, nullptr, error))
    return false;
  const NewRun& now = parts.front().run.run;
  history->parts.emplace_back();
  ReportHistory& part = history->parts.back();
  part.baseObjects = std::move(collector.run.objects);
  FailureExcuses excuses;
  excuses.quarantined = parts.front().quarantined;
  part.diff = diffRuns(collector.run.info.totals, part.baseObjects, now.info.totals, now.objects, excuses);
  return true;
}

// What the run was compared with: the first part's base run, or the report.
std::string againstName(const RunHistory& history, bool againstHistory, const std::string& base) {
  if (!againstHistory) return base;
  for (const ReportHistory& part : history.parts)
    if (part.haveBase) return runName(part.base);
  return base;
}

}  // namespace

int runDiffCommand(const CommandArguments& args) {
  GateOptions options;
  if (!readOptions(args, &options)) return ExitBroken;
  const std::string& base = args.operands()[0];
  const bool againstHistory = looksLikeHistory(base);
  std::vector<CommandInput> inputs;
  for (size_t i = 1; i < args.operands().size(); ++i) inputs.push_back({args.operands()[i], "a report"});
  for (const std::string& file : args.files("--ots")) inputs.push_back({file, "a symbol file"});
  inputs.push_back({base, againstHistory ? "the run history" : "the base report"});
  std::string stepSummary, error;
  std::vector<PartReport> parts;
  std::vector<FailureLine> stale;
  RunHistory history;
  const bool judged =
      (options.format != GateGithub || stepSummaryPath(inputs, &stepSummary, &error)) &&
      readParts(args, againstHistory, &parts, &error) && quarantineOf(args, &parts, &stale, &error) &&
      (againstHistory ? judgeAgainstHistory(args, parts, &history, &error)
                      : judgeAgainstReport(args, parts, &history, &error));
  if (!judged) {
    printErrorLine(error);
    return ExitBroken;
  }
  const GateReport report =
      gateReportOf(history, againstHistory, againstName(history, againstHistory, base), parts, stale);
  if (!stepSummary.empty() && !appendStepSummary(stepSummary, gateMarkdown(report, options), &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  // A comment on standard output lands in a CI log as much as lines do.
  if (!writeStandardOutput(runnerInert(gateText(report, options)))) return ExitBroken;
  bool passed = true;
  gateVerdict(gateCounts(report), options.failOn, report.totals.failed, &passed);
  return passed ? ExitPassed : ExitFailedVerdict;
}
