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

#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The names of the open nodes below the node of the whole run, outermost
// first. A deque, so that a name stays where it is while its node is open
// and the items of the nodes inside can point at it.
using OpenNames = std::deque<std::string>;

// The path an item carries: the names from the top down, at most
// kPathNames of them; a deeper path keeps its first and last kPathEnd names
// with "…" between. So an item costs the same at any depth, and nothing is
// copied: the names stay in the OpenNames they come from.
constexpr size_t kPathNames = 12;
constexpr size_t kPathEnd = 4;
void boundedPath(const OpenNames& names, std::vector<std::string_view>* path);

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
  // failed node itself (see boundedPath); valid until the next call.
  std::vector<std::string_view> path;
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
  // The names of the open nodes, the one that just ended included until
  // the next call.
  const OpenNames& openNames() const { return names_; }

 private:
  void finishPending();
  void dropEnded();

  OpenNames names_;                 // of the open nodes
  bool ended_ = false;              // names_.back() is of a node that ended
  bool pendingFailed_ = false;      // the innermost open node's rows are still coming
  bool pendingCarries_ = false;
  bool ready_ = false;
  Failure pending_;
  Failure done_;
  std::vector<std::string> header_;
};
