// The walk from report items to test objects. A node's rows come before its
// child nodes, so an object is complete when the next node starts or when it
// ends; only that one object is held at a time.
//
//   <XROD:NODE name="stack_test" ...><SECTION TAG="rootx7">   depth 1: a suite
//   <TABLE BORDER="1"> four count rows, the stubs in row 4 </TABLE>
//   <XROD:NODE name="push_pop" ... sum="1">                   depth 2 or more: an object
//   <TABLE ...> check rows </TABLE><TABLE BORDER="1" WIDTH="55,45"> trace line </TABLE>
//   <TABLE BORDER="0" WIDTH="5,95"> notes </TABLE> </XROD:NODE>
#include "export/xrd/test_objects.h"

#include "support/decimal.h"

const char kStateChartViolations[] = "State Chart Violations";

class TestObjectWalk {
 public:
  explicit TestObjectWalk(TestObjectVisitor& visitor) : visitor_(visitor) {}
  void item(const ReportReader& reader, ReportItemKind kind);

 private:
  void nodeStart(const ReportNodeInfo& node);
  void nodeEnd(int depth);
  void tableStart(int depth);
  void row(const ReportRowInfo& row, int depth);
  void overviewRow(const ReportRowInfo& row);
  void takeFailure();
  void finishPending();

  TestObjectVisitor& visitor_;
  FailureCollector failures_;
  int nextId_ = 0;
  std::vector<std::string> names_;  // of the open nodes from depth 1

  bool inSuite_ = false;
  TestSuiteInfo suite_;
  int driverTables_ = 0;    // tables of the driver node itself so far
  int driverCountRows_ = 0;  // data rows of its first table

  bool pending_ = false;
  int pendingId_ = 0;
  int pendingDepth_ = 0;
  TestObject object_;

  bool inClass_ = false;
  int classId_ = 0;
  SourceLink classLink_;
  std::string classTitle_;
  bool classFailed_ = false;
  bool classBlockFailed_ = false;

  std::string tableTitle_;  // of the overview's current table
};

void TestObjectWalk::item(const ReportReader& reader, ReportItemKind kind) {
  const int depth = reader.depth();
  switch (kind) {
    case ReportDocument: visitor_.document(reader.document()); break;
    case ReportSummary: visitor_.summary(reader.summary()); break;
    case ReportTitle:
      if (depth == 0) tableTitle_ = reader.title().text;
      break;
    case ReportNodeStart:
      if (depth > 0) nodeStart(reader.node());
      break;
    case ReportTableStart:
      if (depth > 0) tableStart(depth);
      break;
    case ReportRow:
      if (depth == 0) overviewRow(reader.row());
      else row(reader.row(), depth);
      break;
    case ReportNodeEnd:
      if (depth > 0) nodeEnd(depth);
      break;
    default: break;
  }
}

void TestObjectWalk::takeFailure() {
  if (!failures_.ready() || !pending_ || failures_.failure().nodeId != pendingId_) return;
  object_.checks = failures_.failure().checks;
  // Class blocks have unlinked titles: their rows fall back to the class.
  for (FailedCheck& check : object_.checks)
    if (!check.link.present) check.link = object_.location;
}

void TestObjectWalk::finishPending() {
  if (!pending_) return;
  pending_ = false;
  visitor_.object(object_);
}

void TestObjectWalk::nodeStart(const ReportNodeInfo& node) {
  const int id = nextId_++;
  failures_.nodeStart(id, node);
  takeFailure();
  finishPending();
  names_.resize(node.depth - 1);
  names_.push_back(node.name);
  if (node.depth == 1) {
    inSuite_ = node.section == SectionDriver || node.section == SectionContracts;
    if (!inSuite_) return;
    suite_ = TestSuiteInfo();
    suite_.name = node.name;
    suite_.contracts = node.section == SectionContracts;
    driverTables_ = 0;
    driverCountRows_ = 0;
    visitor_.suiteStart(suite_);
    return;
  }
  if (!inSuite_) return;
  if (suite_.contracts && node.depth == 2) {
    inClass_ = true;
    classId_ = id;
    classLink_ = node.title.link;
    classTitle_ = node.title.text;
    classFailed_ = node.state == StateFailed;
    classBlockFailed_ = false;
    return;
  }
  const bool block = suite_.contracts && node.depth == 3 && inClass_;
  if (node.sum <= 0 || (suite_.contracts && !block)) return;
  pending_ = true;
  pendingId_ = id;
  pendingDepth_ = node.depth;
  object_.kind = !block                               ? ObjectTest
                 : node.name == kStateChartViolations ? ObjectStateChart
                                                      : ObjectClassBlock;
  object_.nodeId = id;
  object_.path = names_;
  object_.type = node.type;
  object_.title = node.title.text;
  object_.location = block && !node.title.link.present ? classLink_ : node.title.link;
  object_.state = node.state;
  object_.checks.clear();
  object_.notes.clear();
  if (block && node.state == StateFailed) classBlockFailed_ = true;
}

void TestObjectWalk::nodeEnd(int depth) {
  failures_.nodeEnd();
  takeFailure();
  finishPending();
  if (inSuite_ && suite_.contracts && depth == 2 && inClass_) {
    inClass_ = false;
    if (classFailed_ && !classBlockFailed_) {
      object_.kind = ObjectHiddenStateChart;
      object_.nodeId = classId_;
      object_.path = names_;
      object_.path.push_back(kStateChartViolations);
      object_.type.clear();
      object_.title = classTitle_;
      object_.location = classLink_;
      object_.state = StateFailed;
      object_.checks.clear();
      object_.notes.clear();
      visitor_.object(object_);
    }
  }
  if (depth == 1 && inSuite_) {
    inSuite_ = false;
    visitor_.suiteEnd(suite_);
  }
  names_.pop_back();
}

void TestObjectWalk::tableStart(int depth) {
  failures_.tableStart();
  if (depth == 1) ++driverTables_;
}

void TestObjectWalk::row(const ReportRowInfo& row, int depth) {
  failures_.row(row);
  if (depth == 1 && inSuite_ && !suite_.contracts && driverTables_ == 1 && row.role == RowData) {
    // The counts table: test suites, test cases, procedures, then stubs.
    if (++driverCountRows_ == 4 && row.cells.size() >= 2) {
      int64_t stubs;
      if (parseDecimal(row.cells[1].text, 0, INT64_MAX, &stubs)) suite_.stubs = stubs;
    }
    return;
  }
  if (!pending_ || depth != pendingDepth_) return;
  if (row.role == RowTrace && row.cells.size() >= 2) {
    object_.notes.emplace_back();
    TestNote& note = object_.notes.back();
    note.link = row.cells[0].link;
    note.trace = row.cells[0].text;
    note.count = row.cells[1].text;
  } else if (row.role == RowNote && !object_.notes.empty()) {
    object_.notes.back().notes.push_back(row.cells.back().text);
  }
}

void TestObjectWalk::overviewRow(const ReportRowInfo& row) {
  if (row.role == RowTitle && !row.cells.empty()) {
    visitor_.property(tableTitle_, row.cells[0].text);
  } else if (row.role == RowData && row.cells.size() == 2) {
    visitor_.property(row.cells[0].text, row.cells[1].text);
  }
}

TestObjectStream::TestObjectStream(TestObjectVisitor& visitor)
    : walk_(std::make_unique<TestObjectWalk>(visitor)) {}
TestObjectStream::~TestObjectStream() = default;

void TestObjectStream::item(const ReportReader& reader, ReportItemKind kind) {
  walk_->item(reader, kind);
}

bool readTestObjects(ReportReader& reader, TestObjectVisitor& visitor) {
  TestObjectStream stream(visitor);
  for (;;) {
    const ReportItemKind kind = reader.next();
    if (kind == ReportFailed) return false;
    if (kind == ReportEnd) return true;
    stream.item(reader, kind);
  }
}

std::string locationPrefix(const SourceLink& link) {
  const std::string place = locationText(link);
  return place.empty() ? place : singleLine(place) + ": ";
}

std::string checkCounts(const FailedCheck& check, TestObjectKind kind) {
  const auto& counts = check.counts;
  if (kind == ObjectStateChart && counts.size() == 2)
    return "(" + counts[0].second + " multiple exits, " + counts[1].second + " illegal exits)";
  // Check tables: executed, failed, passed.
  if (counts.size() == 3)
    return "(failed " + counts[1].second + " of " + counts[0].second + " executions)";
  // States and transitions: how often reached or fired.
  if (counts.size() == 1) return "(" + counts[0].second + " executions)";
  return std::string();
}

std::string singleLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n') line += "\\n";
    else line += c;
  }
  return line;
}
