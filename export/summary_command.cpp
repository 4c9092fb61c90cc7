// The summary command: its options, the reports read, the lines written to
// standard output and, with --format github, the Markdown appended to the
// file GITHUB_STEP_SUMMARY names (never a file it reads); with --history,
// each failure marked as the merge gate sees it and the gate's line. A run
// of several reports gives each part's lines and totals, then the run's.
//
//   veldora-export summary report.xrd --format github --max 20
//   veldora-export summary shard1/stack_test.xrd shard2/queue_test.xrd --history history.sqlite
#include "export/summary_command.h"

#include "export/ci/step_summary.h"
#include "export/ci/summary_writer.h"
#include "export/history_inputs.h"

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

bool readOptions(const CommandArguments& args, SummaryOptions* options, std::string* error) {
  int format = SummaryPlain;
  const bool ok = args.choice("--format", &format, error);
  options->format = static_cast<SummaryFormat>(format);
  // GitHub keeps 10 annotations of each kind per step.
  if (options->format == SummaryGithub) options->maxFailures = 10;
  options->colour = isatty(STDOUT_FILENO) && getenv("NO_COLOR") == nullptr;
  return ok && args.number("--max", 0, 1000000000, &options->maxFailures, error);
}

// The parts read once each, into their runs and their summaries.
bool readParts(const CommandArguments& args, bool history, bool digest, std::vector<PartReport>* parts,
               std::vector<std::unique_ptr<SummaryBuilder>>* summaries, int64_t maxFailures,
               std::string* error) {
  if (!partReports(args, 0, parts, error)) return false;
  for (PartReport& part : *parts) {
    summaries->push_back(std::make_unique<SummaryBuilder>(maxFailures));
    if (!readPart(&part, summaries->back().get(), nullptr, {history, digest && &part == &parts->front()},
                  error))
      return false;
  }
  return true;
}

}  // namespace

bool writeSummaries(const std::vector<PartReport>& parts,
                    const std::vector<std::unique_ptr<SummaryBuilder>>& summaries,
                    const RunHistory* history, SummaryOptions options, SummaryOutput* output,
                    std::string* error) {
  const std::string changes = options.changes;
  VerdictTotals all;
  for (size_t p = 0; p < parts.size(); ++p) {
    SummaryOptions part = options;
    part.history = history ? &history->parts[p].diff : nullptr;
    part.changes = parts.size() > 1 ? "" : changes;
    if (parts.size() > 1) part.part = parts[p].run.run.part;
    SummaryOutput written;
    ReportErrorInfo refused;
    if (!summaries[p]->finish(part, &written, &refused)) {
      *error = errorLine(parts[p].input.path, refused);
      return false;
    }
    output->text += written.text;
    output->markdown += written.markdown;
    output->failedVerdict = output->failedVerdict || written.failedVerdict;
    all += parts[p].run.run.info.totals;
  }
  if (parts.size() > 1)
    output->text += totalsLine(all, options.colour && options.format == SummaryPlain) + changes;
  return true;
}

int runSummaryCommand(const CommandArguments& args) {
  SummaryOptions options;
  std::string stepSummary, error;
  const std::string history = historyOf(args);
  std::vector<CommandInput> inputs;
  for (const std::string& report : args.operands()) inputs.push_back({report, "a report"});
  for (const std::string& file : args.files("--ots")) inputs.push_back({file, "a symbol file"});
  inputs.push_back({history, "the run history"});
  std::vector<PartReport> parts;
  std::vector<std::unique_ptr<SummaryBuilder>> summaries;
  std::vector<FailureLine> stale;
  RunHistory judged;
  SummaryOutput output;
  const bool ok =
      readOptions(args, &options, &error) &&
      (options.format != SummaryGithub || stepSummaryPath(inputs, &stepSummary, &error)) &&
      readParts(args, !history.empty(), !history.empty() && runKeyOf(args).empty(), &parts, &summaries,
                options.maxFailures, &error) &&
      (history.empty() || (quarantineOf(args, &parts, &stale, &error) &&
                           judgeRun(args, history, parts, &judged, &error)));
  if (ok && !history.empty()) {
    for (const FailureLine& line : stale)
      options.changes += options.format == SummaryGithub ? githubLine(line) : plainLine(line, false);
    options.changes += gateLine(gateCounts(gateReportOf(judged, true, "", parts, stale)));
  }
  if (!ok || !writeSummaries(parts, summaries, history.empty() ? nullptr : &judged, options, &output, &error) ||
      (!stepSummary.empty() && !appendStepSummary(stepSummary, output.markdown, &error))) {
    printErrorLine(error);
    return ExitBroken;
  }
  if (!writeStandardOutput(output.text)) return ExitBroken;
  return output.failedVerdict ? ExitFailedVerdict : ExitPassed;
}
