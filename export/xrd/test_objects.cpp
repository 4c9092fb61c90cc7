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

const char kStateChartViolations[] = "State Chart Violations";

namespace {

bool parseCount(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  int64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

class TestObjectWalk {
 public:
  explicit TestObjectWalk(TestObjectVisitor& visitor) : visitor_(visitor) {}
  bool run(ReportReader& reader);

 private:
  void nodeStart(const ReportNodeInfo& node);
  void nodeEnd(int depth);
  void tableStart(int depth);
  void row(const ReportRowInfo& row, int depth);
  void overviewRow(const ReportRowInfo& row);
  void takeFailure();
  void emit();
  void finishPending();

  TestObjectVisitor& visitor_;
  ObjectTally tally_;
  FailureCollector failures_;  // also holds the names of the open nodes
  int nextId_ = 0;

  bool inSuite_ = false;
  TestSuiteInfo suite_;
  int driverTables_ = 0;    // tables of the driver node itself so far
  int driverCountRows_ = 0;  // data rows of its first table

  bool pending_ = false;
  int pendingId_ = 0;
  int pendingDepth_ = 0;
  TestObject object_;

  bool inClass_ = false;
  SourceLink classLink_;
  std::string classTitle_;
  bool classFailed_ = false;
  bool classBlockFailed_ = false;

  std::string tableTitle_;  // of the overview's current table
};

bool TestObjectWalk::run(ReportReader& reader) {
  for (;;) {
    const ReportItemKind kind = reader.next();
    if (kind == ReportFailed) return false;
    if (kind == ReportEnd) {
      ReportErrorInfo error = checkTotals(reader.summary(), tally_);
      if (error.message.empty()) return true;
      reader.reject(std::move(error));
      return false;
    }
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
}

void TestObjectWalk::takeFailure() {
  if (!failures_.ready() || !pending_ || failures_.failure().nodeId != pendingId_) return;
  object_.checks = failures_.failure().checks;
  // Class blocks have unlinked titles: their rows fall back to the class.
  for (FailedCheck& check : object_.checks)
    if (!check.link.present) check.link = object_.location;
}

void TestObjectWalk::emit() {
  ++tally_.objects;
  if (object_.state == StateFailed) ++tally_.failed;
  visitor_.object(object_);
}

void TestObjectWalk::finishPending() {
  if (!pending_) return;
  pending_ = false;
  emit();
}

void TestObjectWalk::nodeStart(const ReportNodeInfo& node) {
  const int id = nextId_++;
  failures_.nodeStart(id, node);
  takeFailure();
  finishPending();
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
  boundedPath(failures_.openNames(), &object_.path);
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
    if (classFailed_) ++tally_.failedClasses;
    if (classFailed_ && !classBlockFailed_) {
      object_.kind = ObjectHiddenStateChart;
      boundedPath(failures_.openNames(), &object_.path);
      object_.path.push_back(kStateChartViolations);
      object_.type.clear();
      object_.title = classTitle_;
      object_.location = classLink_;
      object_.state = StateFailed;
      object_.checks.clear();
      object_.notes.clear();
      emit();
    }
  }
  if (depth == 1 && inSuite_) {
    inSuite_ = false;
    visitor_.suiteEnd(suite_);
  }
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
      if (parseCount(row.cells[1].text, &stubs)) suite_.stubs = stubs;
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

}  // namespace

ReportErrorInfo checkTotals(const ReportTotals& totals, const ObjectTally& tally) {
  // The reader bounds every total, so these sums cannot overflow.
  const int64_t listed = tally.objects + tally.failedClasses;
  const int64_t failed = tally.failed + tally.failedClasses;
  std::string message;
  if (totals.total > listed)
    message = "not a report: its totals count " + std::to_string(totals.total) +
              " verdicts, but it lists " + std::to_string(tally.objects) + " objects";
  else if (totals.failed > failed)
    message = "not a report: its totals count " + std::to_string(totals.failed) +
              " failed verdicts, but it lists " + std::to_string(tally.failed) + " failed objects";
  return {message, message.empty() ? 0 : totals.line, message.empty() ? 0 : totals.column};
}

bool readTestObjects(ReportReader& reader, TestObjectVisitor& visitor) {
  TestObjectWalk walk(visitor);
  return walk.run(reader);
}

std::string locationPrefix(const SourceLink& link) {
  if (!link.present || link.file.empty()) return std::string();
  return singleLine(link.file) + ":" + std::to_string(link.line) + ": ";
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
  // Sized once: a long name grown a byte at a time would take twice its
  // length.
  size_t lineFeeds = 0;
  for (const char c : text) lineFeeds += c == '\n';
  std::string line;
  line.reserve(text.size() + lineFeeds);
  for (const char c : text) {
    if (c == '\n') line += "\\n";
    else line += c;
  }
  return line;
}
