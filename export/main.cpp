// veldora-export: turns a report file of veldora into other forms. Each
// export is one row of the command table, with the options it takes.
#include "export/command_inputs.h"
#include "export/ci_command.h"
#include "export/command_line.h"
#include "export/diff_command.h"
#include "export/html_command.h"
#include "export/junit_command.h"
#include "export/record_command.h"
#include "export/summary_command.h"

namespace {

const OptionSpec kHistory = {"--history", "FILE", "the run history to read"};
const OptionSpec kRunKey = {
    "--run-key", "KEY",
    "the CI run of REPORT in the history (default: CI_PIPELINE_ID, else GITHUB_RUN_ID)"};
const OptionSpec kQuarantine = {
    "--quarantine", "FILE",
    "objects whose failures never gate: a path a line (\"drv > Suite > test\"), # comments"};

const CommandSpec kCommands[] = {
    {"html", "REPORT",
     "one self-contained HTML page",
     {{"-o", "OUT", "the page (default: REPORT as .html; - for standard output)"},
      kHistory,
      {"--header", "FILE", "plot the test summaries of this header text file instead"},
      kRunKey,
      kQuarantine,
      kSourceRootOption,
      kSymbolFilesOption},
     runHtmlCommand},
    {"junit", "REPORT",
     "JUnit XML for CI",
     {{"-o", "OUT", "the JUnit file (default: REPORT as .junit.xml; - for standard output)"},
      {"--system-out", "none|failures|all",
       "prints and notes of which test cases (default: failures)"},
      kSourceRootOption,
      kSymbolFilesOption},
     runJunitCommand},
    {"summary", "REPORT",
     "the failures as FILE:LINE: lines, then the totals",
     {{"--format", "plain|github", "lines, or GitHub workflow commands (default: plain)"},
      {"--max", "N", "at most N failure lines (default: 50, 10 for github)"},
      kHistory,
      kRunKey,
      kQuarantine,
      kSourceRootOption,
      kSymbolFilesOption},
     runSummaryCommand},
    {"record", "REPORT",
     "adds the report to the run history as a run, or as another attempt of its CI run",
     {{"--history", "FILE", "the run history (made when missing)"},
      {"--run-key", "KEY",
       "the CI run: a key recorded again adds an attempt (default: CI_PIPELINE_ID, else "
       "GITHUB_RUN_ID, else none: a run of its own)"},
      {"--label", "TEXT",
       "the run's label, at most 200 bytes (default: CI_COMMIT_SHORT_SHA, else GITHUB_SHA's "
       "first 8 characters)"},
      {"--keep", "N", "keep only the newest N runs"},
      kSourceRootOption},
     runRecordCommand},
    {"diff", "BASE REPORT",
     "what REPORT changed against BASE, a report or a run history, and the merge gate",
     {{"--format", "plain|github|markdown",
       "lines, GitHub workflow commands, or a merge request comment (default: plain)"},
      {"--fail-on", "LIST",
       "exit 3 when these are above 0: new, lost, flaky, or any or none (default: new,lost)"},
      {"--run", "ID", "the history's run to compare with (default: the newest before REPORT)"},
      kRunKey,
      kQuarantine,
      {"--page-url", "URL", "the page of this run, linked from the merge request comment"},
      {"--max", "N", "at most N lines of each kind (default: 50, 10 for github)"},
      kSourceRootOption,
      kSymbolFilesOption},
     runDiffCommand},
    {"ci", "REPORT",
     "the whole CI job in one read: page, JUnit, summary, comment, record and the gate",
     {{"--history", "FILE", "the run history: gate on it, record into it on the default branch"},
      {"--page", "FILE", "the page (default: REPORT as .html)"},
      {"--junit", "FILE", "the JUnit file (default: REPORT as .junit.xml)"},
      {"--comment", "FILE", "the merge request comment (default: REPORT as .comment.md)"},
      {"--format", "plain|github",
       "the summary's lines (default: github under GitHub Actions, else plain)"},
      {"--max", "N", "at most N failure lines (default: 50, 10 for github)"},
      {"--system-out", "none|failures|all",
       "prints and notes of which test cases, in JUnit (default: failures)"},
      {"--fail-on", "LIST",
       "exit 3 when these are above 0: new, lost, flaky, or any or none (default: new,lost)"},
      kQuarantine,
      {"--page-url", "URL", "the page of this run, linked from the comment"},
      {"--run-key", "KEY",
       "the CI run (default: CI_PIPELINE_ID, else GITHUB_RUN_ID; a key recorded again is an "
       "attempt)"},
      {"--label", "TEXT",
       "the run's label (default: CI_COMMIT_SHORT_SHA, else GITHUB_SHA's first 8 characters)"},
      {"--keep", "N", "keep only the newest N runs when recording"},
      {"--branch", "NAME", "the run's branch (default: CI_COMMIT_BRANCH, else GITHUB_REF_NAME of a push)"},
      {"--default-branch", "NAME",
       "record only when the branch is this one (default: CI_DEFAULT_BRANCH)"},
      kSourceRootOption,
      kSymbolFilesOption},
     runCiCommand},
};

}  // namespace

int main(int argc, char** argv) {
  return runExport(argc, argv, kCommands, sizeof kCommands / sizeof kCommands[0]);
}
