// The objects of a report that add to its totals, one at a time, as the
// report streams: each test case, procedure and stub of a driver section,
// and per class each block that the report counts (method contracts,
// invariants, states, transitions) plus its state chart violations.
//
//   <XROD:NODE name="stack_test" ...><SECTION TAG="rootx7">         suite "stack_test"
//   <XROD:NODE name="Stack" type="Test Suite" icone="class.xpm">     (a container)
//   <XROD:NODE name="overflow" state="ko" sum="1" icone="method.xpm">
//   <LINK TARGET="src/stack_test.cpp line 30"> ... failed rows ...  object {stack_test, Stack,
//                                                                    overflow} at line 30
//   <XROD:NODE name="Contracts" ...><SECTION TAG="classx15">         suite "Contracts"
//   <XROD:NODE name="Stack" type="Class" state="ko" icone="class.xpm"><LINK ...line 5>
//   <XROD:NODE name="State Chart Violations" state="ko" sum="1">     object {Contracts, Stack,
//                                                                    State Chart Violations}
//
// A class that failed although none of its blocks did holds a violation the
// report shows in no table (an observation state left by an illegal or a
// multiple exit, counted as one failed verdict): it becomes an object of its
// own, with the fixed name of the violation block and no checks.
#pragma once

#include "export/xrd/failures.h"
#include "export/xrd/report_reader.h"

#include <string>
#include <vector>

enum TestObjectKind {
  ObjectTest,             // a test case, procedure or stub
  ObjectClassBlock,       // a class's method contracts, invariants, states or transitions
  ObjectStateChart,       // a class's "State Chart Violations" block
  ObjectHiddenStateChart  // a class failed by a violation that no table shows
};

// A print or comment of a test object: its trace line and notes.
struct TestNote {
  SourceLink link;
  std::string trace;  // "Comment:after three pushes"
  std::string count;  // "(x1)"
  std::vector<std::string> notes;
};

struct TestObject {
  TestObjectKind kind = ObjectTest;
  // Names from the suite (a test driver or the contracts node) down to the
  // object itself (see boundedPath).
  std::vector<std::string_view> path;
  std::string type;   // the report's (translated) kind name, to tell stubs apart
  std::string title;  // "Test Case overflow"
  SourceLink location;  // the object's own, for class blocks the class's
  NodeState state = StateNotExecuted;
  std::vector<FailedCheck> checks;  // the failed rows, when the object failed
  std::vector<TestNote> notes;
};

struct TestSuiteInfo {
  std::string name;
  bool contracts = false;  // the tested contracts, else a test driver
  // The driver's number of stubs from its counts table; -1 when unknown.
  // Known at suiteEnd.
  int64_t stubs = -1;
};

// What a writer does with the objects. Every call's data is valid only
// during the call.
class TestObjectVisitor {
 public:
  virtual ~TestObjectVisitor() = default;
  virtual void document(const ReportDocumentInfo&) {}
  virtual void summary(const ReportTotals&) {}
  // A report information row: a key and value row, or a title row (then the
  // key is the title of its table and the value the row's text).
  virtual void property(const std::string& /*name*/, const std::string& /*value*/) {}
  virtual void suiteStart(const TestSuiteInfo&) {}
  virtual void object(const TestObject&) = 0;
  virtual void suiteEnd(const TestSuiteInfo&) {}
};

// What the objects of a report account for, counted as they stream past.
// A failed class may count one failed verdict more than its blocks list:
// an observation state left by an illegal or a multiple exit in a class
// without states.
struct ObjectTally {
  int64_t objects = 0;
  int64_t failed = 0;
  int64_t failedClasses = 0;
};

// A located error ("not a report: ...", at the summary table) when the
// totals claim verdicts that the objects cannot account for; an empty
// message when they can. Every export that makes an item per verdict needs
// this, or a few bytes claiming 10^12 verdicts would make 10^12 items.
ReportErrorInfo checkTotals(const ReportTotals& totals, const ObjectTally& tally);

// Reads the whole report into the visitor. False when the report is broken
// or its totals fail checkTotals; reader.error() tells why.
bool readTestObjects(ReportReader& reader, TestObjectVisitor& visitor);

// "FILE:LINE: " of a source location, "" without a file.
std::string locationPrefix(const SourceLink& link);

// The counts of a failed check in words: "(failed 1 of 3 executions)" for a
// check, "(2 executions)" for a state or transition, "(1 multiple exits,
// 0 illegal exits)" for a state chart violation; "" without counts.
std::string checkCounts(const FailedCheck& check, TestObjectKind kind);

// A text for one line of output: a line feed becomes backslash and n, the
// form the symbol and trace files use for it (an expression with "a\nb"
// in its source reads like that again).
std::string singleLine(const std::string& text);

// The fixed, untranslated name of a class's violation block.
extern const char kStateChartViolations[];
