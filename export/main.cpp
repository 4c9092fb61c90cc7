// veldora-export: turns report files of veldora into other forms. Each
// command is one row of the command table, with the options it takes.
#include "export/ci_command.h"
#include "export/command_inputs.h"
#include "export/command_line.h"
#include "export/diff_command.h"
#include "export/history_command.h"
#include "export/html_command.h"
#include "export/junit_command.h"
#include "export/record_command.h"
#include "export/summary_command.h"

namespace {

const OptionEntry kHistory = {"--history", "H",
                             "the run history: a file, or postgresql://USER@HOST:PORT/DB "
                             "(default: VELDORA_HISTORY)"};
const OptionEntry kProject = {"--project", "KEY",
                             "the project in a history server (default: CI_PROJECT_PATH, else "
                             "GITHUB_REPOSITORY; a file holds one)"};
const OptionEntry kRunKey = {
    "--run-key", "KEY",
    "the CI run of the reports (default: CI_PIPELINE_ID, else GITHUB_RUN_ID)"};
const OptionEntry kBranch = {"--branch", "NAME",
                            "the run's branch (default: CI_MERGE_REQUEST_SOURCE_BRANCH_NAME, "
                            "CI_COMMIT_BRANCH, GITHUB_HEAD_REF or GITHUB_REF_NAME)"};
const OptionEntry kBaseBranch = {"--base-branch", "NAME",
                                "compare with this branch's runs (default: "
                                "CI_MERGE_REQUEST_TARGET_BRANCH_NAME, CI_DEFAULT_BRANCH or "
                                "GITHUB_BASE_REF, else the run's own)"};
const OptionEntry kPart = {"--part", "NAME",
                          "the part of one report (default: its file name without its extension)"};
const OptionEntry kQuarantine = {
    "--quarantine", "FILE",
    "objects whose failures never gate: a path a line (\"drv > Suite > test\"), # comments"};
const OptionEntry kLabel = {
    "--label", "TEXT",
    "the run's label, at most 200 bytes (default: CI_COMMIT_SHORT_SHA, else GITHUB_SHA's first 8 "
    "characters)"};
const OptionEntry kKeep = {"--keep", "N", "keep only the newest N runs of the branch"};
const OptionEntry kFailOn = {
    "--fail-on", "LIST",
    "exit 3 when these are above 0: new, lost, flaky, or any or none (default: new,lost)"};
const OptionEntry kPageUrl = {"--page-url", "URL", "the page of this run, linked from the comment"};
const OptionEntry kSystemOut = {"--system-out", "none|failures|all",
                               "prints and notes of which test cases (default: failures)"};

const CommandEntry kCommands[] = {
    {"html", "REPORT...",
     "one self-contained HTML page; several reports: a level per part",
     {{"-o", "OUT", "the page (default: the first REPORT as .html; - for standard output)"},
      kHistory,
      {"--header", "FILE", "plot the test summaries of this header text file instead"},
      kProject, kRunKey, kBranch, kBaseBranch, kPart, kQuarantine, kSourceRootOption,
      kSymbolFilesOption},
     runHtmlCommand},
    {"junit", "REPORT...",
     "JUnit XML for CI; several reports: one file with the suites of every part",
     {{"-o", "OUT", "the JUnit file (default: the first REPORT as .junit.xml; - for standard output)"},
      kSystemOut, kPart, kSourceRootOption, kSymbolFilesOption},
     runJunitCommand},
    {"summary", "REPORT...",
     "the failures as FILE:LINE: lines, then the totals",
     {{"--format", "plain|github", "lines, or GitHub workflow commands (default: plain)"},
      {"--max", "N", "at most N failure lines (default: 50, 10 for github)"},
      kHistory, kProject, kRunKey, kBranch, kBaseBranch, kPart, kQuarantine, kSourceRootOption,
      kSymbolFilesOption},
     runSummaryCommand},
    {"record", "REPORT...",
     "adds the reports to the run history as the parts of a run, or as other attempts of them",
     {kHistory,
      {"--run-key", "KEY",
       "the CI run: a key recorded again adds parts or attempts (default: CI_PIPELINE_ID, else "
       "GITHUB_RUN_ID, else none: a run of its own)"},
      kPart, kBranch, kProject, kLabel, kKeep, kSourceRootOption},
     runRecordCommand},
    {"diff", "BASE [REPORT...]",
     "what the reports changed against BASE, a report or a run history, and the merge gate",
     {{"--format", "plain|github|markdown",
       "lines, GitHub workflow commands, or a merge request comment (default: plain)"},
      kFailOn,
      {"--run", "ID", "the history's run to compare with (default: the base branch's newest)"},
      {"--run-key", "KEY",
       "the CI run of the reports; without REPORT, the run as the history holds it (default: "
       "CI_PIPELINE_ID, else GITHUB_RUN_ID)"},
      kBranch, kBaseBranch, kProject, kPart, kQuarantine, kPageUrl,
      {"--max", "N", "at most N lines of each kind (default: 50, 10 for github)"},
      kSourceRootOption, kSymbolFilesOption},
     runDiffCommand},
    {"ci", "REPORT...",
     "the whole CI job in one read: page, JUnit, summary, comment, record and the gate",
     {kHistory,
      {"--page", "FILE", "the page (default: the first REPORT as .html)"},
      {"--junit", "FILE", "the JUnit file (default: the first REPORT as .junit.xml)"},
      {"--comment", "FILE", "the merge request comment (default: the first REPORT as .comment.md)"},
      {"--format", "plain|github",
       "the summary's lines (default: github under GitHub Actions, else plain)"},
      {"--max", "N", "at most N failure lines (default: 50, 10 for github)"},
      kSystemOut, kFailOn, kQuarantine, kPageUrl, kProject,
      {"--run-key", "KEY",
       "the CI run (default: CI_PIPELINE_ID, else GITHUB_RUN_ID; a key recorded again adds parts "
       "or attempts)"},
      kBranch, kBaseBranch, kPart, kLabel, kKeep,
      {"--no-record", nullptr,
       "judge the run without recording it (a final job over the reports its shards recorded)"},
      kSourceRootOption, kSymbolFilesOption},
     runCiCommand},
    {"history", "copy FROM TO",
     "copies a run history between a file and a server, every run kept",
     {},
     runHistoryCommand},
};

}  // namespace

int main(int argc, char** argv) {
  return runExport(argc, argv, kCommands, sizeof kCommands / sizeof kCommands[0]);
}
