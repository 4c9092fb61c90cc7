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
  // A part of a run of several: its name before each path and its totals.
  std::string part;
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

// The summary built as the report's objects stream: the first failure
// lines kept, the rest counted; finish() writes them once the report has
// been read (and the history has judged its objects).
class SummaryBuilder : public TestObjectVisitor {
 public:
  explicit SummaryBuilder(int64_t maxFailures) : keep_(maxFailures) {}

  void document(const ReportDocumentInfo& info) override { title_ = info.title; }
  void summary(const ReportTotals& report) override { totals_ = report; }
  void object(const TestObject& object) override;
  void possibleViolation(const TestObject& object) override;
  void finish(int64_t nodesAndRows) override { capacity_ = nodesAndRows; }

  // False when the totals are refused; *error tells why and where.
  bool finish(const SummaryOptions& options, SummaryOutput* output, ReportErrorInfo* error);

 private:
  void add(FailureLine line, int64_t object, size_t index);
  bool account(ReportErrorInfo* error);
  std::string markdown() const;

  int64_t keep_;
  int64_t capacity_ = 0;
  std::string title_;
  ReportTotals totals_;
  std::vector<FailureLine> lines_;
  // Beside lines_: the failed object's number and its line's (-1: none).
  std::vector<std::pair<int64_t, size_t>> origins_;
  int64_t count_ = 0;  // all failure lines, kept or not
  int64_t failedObjects_ = 0;
  int64_t otherObjects_ = 0;  // passed or not executed
  std::vector<FailureLine> possible_;  // the first of the possible violations
  int64_t possibleCount_ = 0;
};
std::string plainLine(const FailureLine& line, bool colour);
std::string githubLine(const FailureLine& line);
// "Passed 6, Inconclusive 2, Failed 1, Total 9" and a line feed.
std::string totalsLine(const VerdictTotals& totals, bool colour);
// "FILE:LINE", "FILE", or empty.
std::string placeText(const SourceLink& link);
// Markdown table cell text; workflow command data (property: also ":", ",").
std::string markdownEscaped(const std::string& text);
std::string githubEscaped(const std::string& text, bool property);
