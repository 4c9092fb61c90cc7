// The failures of a report, gathered as its items stream past: each failed
// object (a node whose state is "ko" and that carries a verdict, sum="1", or
// failed table rows of its own) with its path and source location, and its
// failed rows as checks with their counts. Shared by the exports that list
// failures.
//
//   <XROD:NODE name="overflow" type="Test Case" state="ko" sum="1" ...> in
//   driver stack_test, suite Stack, at src/stack_test.cpp line 30, with the row
//   <CELL_TEXT STYLE="Array Failed">size() == capacity()</CELL_TEXT> Failed 1 1 0
//
// gives the failure: path {stack_test, Stack, overflow}, type "Test Case",
// link src/stack_test.cpp:30, one check "size() == capacity()" with the counts
// Executed 1, Failed 1, Passed 0 (labelled by the table's header row).
#pragma once

#include "export/xrd/report_reader.h"

#include <string>
#include <utility>
#include <vector>

struct FailedCheck {
  // The row's text cells before its status and counts, joined by spaces:
  // the expression of a check, the name of a state or transition.
  std::string expression;
  // (column title, value) of the row's trailing numbers; the title is empty
  // when the table has no header row of the same width.
  std::vector<std::pair<std::string, std::string>> counts;
  SourceLink link;  // the row's own link, else the node's
};

struct Failure {
  int nodeId = 0;  // the number given to nodeStart
  // Names from the top (a test driver or the contracts node) down to the
  // failed node itself.
  std::vector<std::string> path;
  std::string type;
  SourceLink link;  // of the node's title
  std::vector<FailedCheck> checks;  // may be empty: the object itself failed
};

// A source location as every export writes it: "FILE:LINE", "FILE" for a
// link without a line (line 0), "" without a file.
std::string locationText(const SourceLink& link);

// A data row of a check, state or transition table: its text cells (the
// expression, the name), then perhaps a status word, then its counts.
struct DataRowParts {
  size_t texts = 0;   // the leading cells that hold the row's text
  size_t counts = 0;  // the trailing cells that are numbers; 0: not such a row
};
// Trailing numbers are the counts; a status word may stand before them. A
// row that ends in no number (a node's own status row) has no parts.
DataRowParts splitDataRow(const ReportRowInfo& row);

class FailureCollector {
 public:
  // Feed the items of every node below the node of the whole run (depth 1
  // and more), in order. After each call, ready() tells whether a failure is
  // complete; take it with failure() before the next call.
  void nodeStart(int nodeId, const ReportNodeInfo& node);
  void tableStart();
  void row(const ReportRowInfo& row);
  void nodeEnd();

  bool ready() const { return ready_; }
  const Failure& failure() const { return done_; }

 private:
  void finishPending();

  std::vector<std::string> names_;  // of the open nodes
  bool pendingFailed_ = false;      // the innermost open node's rows are still coming
  bool pendingCarries_ = false;
  bool ready_ = false;
  Failure pending_;
  Failure done_;
  std::vector<std::string> header_;
};
