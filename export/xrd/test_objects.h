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

#include <functional>
#include <memory>
#include <string>
#include <string_view>
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
  // The node's number among the nodes below the run's, in document order
  // from 0 (for a hidden state chart violation, its class's).
  int nodeId = 0;
  // Names from the suite (a test driver or the contracts node) down to the
  // object itself, and the walk's numbers of their nodes (in report order;
  // -1 for the violation that no table shows), which tell containers of
  // equal names apart.
  std::vector<std::string> path;
  std::vector<int> nodes;
  std::string type;   // the report's (translated) kind name, to tell stubs apart
  std::string title;  // "Test Case overflow"
  SourceLink location;  // the object's own, for class blocks the class's
  SourceLink classLink;  // for the objects of a class, the class's
  int columns = 0;       // the header cells of its first table, 0 without
  ObjectStatus state = StatusNotExecuted;
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
  // A class that failed, with a failed block, but shows no state chart
  // violations: it may hold one that no table shows, which the totals count
  // but no object gives. As a "State Chart Violations" object.
  virtual void possibleViolation(const TestObject&) {}
  virtual void suiteEnd(const TestSuiteInfo&) {}
  // Once, at the end: the report's nodes below the node of the run and its
  // table rows, the most verdicts that it can hold besides its objects.
  virtual void finish(int64_t /*nodesAndRows*/) {}
};

// Every call to each of several visitors, in their order: one walk of the
// objects for several outputs.
class VisitorFanOut : public TestObjectVisitor {
 public:
  void add(TestObjectVisitor& visitor) { visitors_.push_back(&visitor); }

  void document(const ReportDocumentInfo& info) override;
  void summary(const ReportTotals& totals) override;
  void property(const std::string& name, const std::string& value) override;
  void suiteStart(const TestSuiteInfo& suite) override;
  void object(const TestObject& object) override;
  void possibleViolation(const TestObject& object) override;
  void suiteEnd(const TestSuiteInfo& suite) override;
  void finish(int64_t nodesAndRows) override;

 private:
  std::vector<TestObjectVisitor*> visitors_;
};

// What sees every item of a report as it streams, beside the walk of its
// objects (the page's tree does).
using ReportItems = std::function<void(const ReportReader& reader, ReportItemKind kind)>;

// Reads the whole report into the visitor (and items, when given). False
// when the report is broken; reader.error() tells why.
bool readTestObjects(ReportReader& reader, TestObjectVisitor& visitor,
                     const ReportItems& items = nullptr);

class TestObjectWalk;

// The same walk for a writer that reads the items itself: give it every
// item of the report, as reader.next() returns it.
class TestObjectStream {
 public:
  explicit TestObjectStream(TestObjectVisitor& visitor);
  ~TestObjectStream();
  void item(const ReportReader& reader, ReportItemKind kind);

 private:
  std::unique_ptr<TestObjectWalk> walk_;
};

// locationText and ": ", made one line; "" without a file.
std::string locationPrefix(const SourceLink& link);

// The counts of a failed check in words: "(failed 1 of 3 executions)" for a
// check, "(2 executions)" for a state or transition, "(1 multiple exits,
// 0 illegal exits)" for a state chart violation; "" without counts.
std::string checkCounts(const FailedCheck& check, TestObjectKind kind);

// A text for one line of output, never terminal control: a line feed
// becomes backslash and n, the form the symbol and trace files use for it
// (an expression with "a\nb" in its source reads like that again), a
// carriage return \r, a tab \t; other C0 and C1 controls and DEL become
// U+FFFD.
std::string singleLine(std::string_view text);

// A line for a CI log that GitHub's runner does not execute: it runs
// "##[command]" wherever it stands in a line, found by a culture-sensitive
// comparison (ICU) that passes over ignorable characters such as U+200B, so
// an invisible mark would not stop it. "[" after two "#" gets a backslash
// ("##\[", as the Markdown tables escape it), also when only non-ASCII
// characters stand between them. Lines without "##[" stay as they are.
std::string runnerInert(std::string_view line);

extern const char kReplacementCharacter[];  // U+FFFD in UTF-8

// The names path[first] .. path[end - 1] joined with separator, each dot in
// a name replaced by dotAs when that is not 0. Beyond budget bytes, path[first]
// and the innermost names that fit, with "…" between them, and names cut, so
// that the cost is at most the budget whatever the depth.
std::string shortPath(const std::vector<std::string>& path, size_t first, size_t end,
                      const char* separator, char dotAs, size_t budget);

// "stack_test > Stack > overflow", as the outputs name an object; deep
// paths keep their outer and inner names.
std::string joinedPath(const std::vector<std::string>& path);

// The fixed, untranslated name of a class's violation block.
extern const char kStateChartViolations[];
