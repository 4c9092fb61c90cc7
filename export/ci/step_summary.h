// GitHub's job summary: with --format github, summary and diff append their
// Markdown to the file that GITHUB_STEP_SUMMARY names, never to a file the
// command reads (a report or the run history would be damaged by it).
//
//   GITHUB_STEP_SUMMARY=/home/runner/_temp/_runner_file_commands/step_summary_3f2a
//   veldora-export diff history.sqlite report.xrd --format github
//   -> "### Changes against run 12 (...)" and its tables appended there
#pragma once

#include <string>
#include <utility>
#include <vector>

// A file the command reads, and what it is: {"report.xrd", "the report"}.
using CommandInput = std::pair<std::string, const char*>;

// The file GITHUB_STEP_SUMMARY names in *path, or null when it is unset or
// empty. False, after the error line, when it names one of inputs.
bool stepSummaryPath(const std::vector<CommandInput>& inputs, const char** path);

// Appends markdown to the file. False after the error line.
bool appendStepSummary(const char* path, const std::string& markdown);
