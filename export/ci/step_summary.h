// GitHub's job summary: with --format github, summary and diff append their
// Markdown to the file that GITHUB_STEP_SUMMARY names.
//
//   GITHUB_STEP_SUMMARY=/home/runner/_temp/_runner_file_commands/step_summary_3f2a
//   veldora-export diff history.sqlite report.xrd --format github
//   -> "### Changes against run 12 (...)" and its tables appended there
#pragma once

#include <string>

// Appends markdown to the file. False, with the error line's text, when it
// cannot be written.
bool appendStepSummary(const std::string& path, const std::string& markdown, std::string* error);
