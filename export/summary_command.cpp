// The summary command: its options parsed once, the report read, the lines
// written to standard output and, with --format github, the Markdown
// appended to the file GITHUB_STEP_SUMMARY names (never a file it reads).
//
//   veldora-export summary report.xrd --format github --max 20
#include "export/summary_command.h"

#include "export/ci/step_summary.h"
#include "export/ci/summary_writer.h"
#include "export/command_line.h"
#include "support/decimal.h"
#include "export/history/report_history.h"
#include "support/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool parseOptions(const ReportAndOutput& args, SummaryOptions* options, std::string* history) {
  bool maxGiven = false;
  for (const auto& option : args.options) {
    const std::string& value = option.second;
    if (option.first == "--history") {
      *history = value;
    } else if (option.first == "--max") {
      if (!parseDecimal(value, 0, 1000000000, &options->maxFailures)) {
        printErrorLine("summary: --max needs a number, not " + value);
        return false;
      }
      maxGiven = true;
    } else if (value == "plain") {
      options->format = SummaryPlain;
    } else if (value == "github") {
      options->format = SummaryGithub;
    } else {
      printErrorLine("summary: unknown format " + value + " (plain or github)");
      return false;
    }
  }
  // GitHub keeps 10 annotations of each kind per step.
  if (!maxGiven && options->format == SummaryGithub) options->maxFailures = 10;
  options->colour = isatty(STDOUT_FILENO) && getenv("NO_COLOR") == nullptr;
  return true;
}

}  // namespace

int runSummaryCommand(int argc, char** argv) {
  ReportAndOutput args;
  SummaryOptions options;
  std::string history;
  if (!parseArguments(argc, argv, {"summary", nullptr, {"--format", "--max", "--history"}}, &args) ||
      !parseOptions(args, &options, &history))
    return ExitBroken;
  const char* stepSummary = nullptr;
  if (options.format == SummaryGithub &&
      !stepSummaryPath({{args.report, "the report"}, {history, "the run history"}}, &stepSummary))
    return ExitBroken;
  if (!history.empty() &&
      !readNewFailures(args.report, args.sourceRoot, history, &options.newFailures, &options.changes))
    return ExitBroken;
  ReportReader reader;
  if (!openReport(args, reader)) return ExitBroken;
  SummaryOutput output;
  ReportErrorInfo error;
  if (!writeSummary(reader, options, &output, &error)) {
    printReportError(args.report, error);
    return ExitBroken;
  }
  if (stepSummary && !appendStepSummary(stepSummary, output.markdown)) return ExitBroken;
  if (fwrite(output.text.data(), 1, output.text.size(), stdout) != output.text.size() ||
      fflush(stdout) != 0) {
    printOutputError("standard output", strerror(errno));
    return ExitBroken;
  }
  return output.failedVerdict ? ExitFailedVerdict : ExitPassed;
}
