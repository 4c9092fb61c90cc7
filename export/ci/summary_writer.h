// The summary export: the failures of a report in the form compilers use,
// so that editors and log parsers jump to them, then the totals.
//
//   src/stack_test.cpp:30: error: check failed: size() == capacity() [stack_test > Stack > overflow]
//   Passed 6, Inconclusive 2, Failed 1, Total 9
//
// With --format github, workflow commands that GitHub shows as annotations,
// and a Markdown table for the step summary:
//
//   ::error file=src/stack_test.cpp,line=30,title=stack_test > Stack > overflow::size() == capacity()
#pragma once

#include "export/history/run_diff.h"
#include "export/xrd/test_objects.h"

#include <string>
#include <vector>

enum SummaryFormat { SummaryPlain, SummaryGithub };

struct SummaryOptions {
  SummaryFormat format = SummaryPlain;
  int64_t maxFailures = 50;  // failure lines before "and K more"
  bool colour = false;       // plain format only
  // With a history: its failed objects in report order, whose lines begin
  // with their marks ("new failure: ..."), and the gate's line after the
  // totals.
  const RunDiff* history = nullptr;
  std::string changes;
};

struct SummaryOutput {
  std::string text;      // for standard output
  std::string markdown;  // for the step summary (github format)
  bool failedVerdict = false;  // the failed total is above 0, or a failure was listed
};

// Reads the whole report. False when it is broken or its totals are
// refused; *error tells why and where.
bool writeSummary(ReportReader& reader, const SummaryOptions& options, SummaryOutput* output,
                  ReportErrorInfo* error);

// The summary's lines, shared with the history's diff:
//
//   FILE:LINE: SEVERITY: WHAT: DETAIL [PATH]                       plain
//   ::error file=FILE,line=LINE,title=PATH::DETAIL                 github
enum LineSeverity { SeverityError, SeverityWarning, SeverityNote };
extern const char* const kSeverityWords[];  // "error", "warning", "note"

struct FailureLine {
  SourceLink location;
  std::string what;    // "check failed", "state chart violation", "failed"
  std::string detail;  // the expression, the state, the object
  std::string path;    // "stack_test > Stack > overflow"
  LineSeverity severity = SeverityError;
};

// One line per failed check of a failed object, or one for the object.
std::vector<FailureLine> failureLines(const TestObject& object);
std::string plainLine(const FailureLine& line, bool colour);
std::string githubLine(const FailureLine& line);
// "Passed 6, Inconclusive 2, Failed 1, Total 9" and a line feed.
std::string totalsLine(const ReportTotals& totals, bool colour);
// "FILE:LINE", "FILE", or empty.
std::string placeText(const SourceLink& link);
// Markdown table cell text; workflow command data (property: also ":", ",").
std::string markdownEscaped(const std::string& text);
std::string githubEscaped(const std::string& text, bool property);
