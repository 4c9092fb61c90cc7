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

#include <algorithm>
#include <cstring>
#include "support/decimal.h"

const char kStateChartViolations[] = "State Chart Violations";
const char kReplacementCharacter[] = "\xEF\xBF\xBD";

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
  void visitObject(bool possibleViolation = false);

  TestObjectVisitor& visitor_;
  FailureCollector failures_;
  int nextId_ = 0;
  int64_t nodesAndRows_ = 0;
  // The open nodes from depth 1. A finished object borrows them as its path
  // for the call, so that deep nesting costs no copies.
  std::vector<std::string> names_;
  std::vector<int> nodes_;

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
  bool classViolationShown_ = false;

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
      if (depth > 0) ++nodesAndRows_;
      if (depth > 0) nodeStart(reader.node());
      break;
    case ReportTableStart:
      if (depth > 0) tableStart(depth);
      break;
    case ReportRow:
      ++nodesAndRows_;
      if (depth == 0) overviewRow(reader.row());
      else row(reader.row(), depth);
      break;
    case ReportNodeEnd:
      if (depth > 0) nodeEnd(depth);
      break;
    case ReportEnd: visitor_.finish(nodesAndRows_); break;
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

// The open nodes end with the object's own when it is finished.
void TestObjectWalk::finishPending() {
  if (!pending_) return;
  pending_ = false;
  visitObject();
}

void TestObjectWalk::visitObject(bool possibleViolation) {
  object_.path.swap(names_);
  object_.nodes.swap(nodes_);
  if (possibleViolation) visitor_.possibleViolation(object_);
  else visitor_.object(object_);
  object_.path.swap(names_);
  object_.nodes.swap(nodes_);
}

void TestObjectWalk::nodeStart(const ReportNodeInfo& node) {
  const int id = nextId_++;
  failures_.nodeStart(id, node);
  takeFailure();
  finishPending();
  names_.resize(node.depth - 1);
  names_.push_back(node.name);
  nodes_.resize(node.depth - 1);
  nodes_.push_back(id);
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
    classFailed_ = node.state == StatusFailed;
    classBlockFailed_ = false;
    classViolationShown_ = false;
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
  object_.type = node.type;
  object_.title = node.title.text;
  object_.location = block && !node.title.link.present ? classLink_ : node.title.link;
  object_.classLink = block ? classLink_ : SourceLink();
  object_.columns = 0;
  object_.state = node.state;
  object_.checks.clear();
  object_.notes.clear();
  if (block && node.state == StatusFailed) classBlockFailed_ = true;
  if (object_.kind == ObjectStateChart) classViolationShown_ = true;
}

void TestObjectWalk::nodeEnd(int depth) {
  failures_.nodeEnd();
  takeFailure();
  finishPending();
  if (inSuite_ && suite_.contracts && depth == 2 && inClass_) {
    inClass_ = false;
    if (classFailed_ && !classViolationShown_) {
      object_.kind = ObjectHiddenStateChart;
      object_.nodeId = classId_;
      object_.type.clear();
      object_.title = classTitle_;
      object_.location = classLink_;
      object_.classLink = classLink_;
      object_.columns = 0;
      object_.state = StatusFailed;
      object_.checks.clear();
      object_.notes.clear();
      names_.push_back(kStateChartViolations);
      nodes_.push_back(-1);
      visitObject(classBlockFailed_);
      names_.pop_back();
      nodes_.pop_back();
    }
  }
  if (depth == 1 && inSuite_) {
    inSuite_ = false;
    visitor_.suiteEnd(suite_);
  }
  names_.pop_back();
  nodes_.pop_back();
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
  if (row.role == RowHeader && object_.columns == 0) {
    object_.columns = static_cast<int>(row.cells.size());
  } else if (row.role == RowTrace && row.cells.size() >= 2) {
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

bool readTestObjects(ReportReader& reader, TestObjectVisitor& visitor, const ReportItems& items) {
  TestObjectStream stream(visitor);
  for (;;) {
    const ReportItemKind kind = reader.next();
    if (kind == ReportFailed) return false;
    stream.item(reader, kind);
    if (items) items(reader, kind);
    if (kind == ReportEnd) return true;
  }
}

void VisitorFanOut::document(const ReportDocumentInfo& info) {
  for (TestObjectVisitor* v : visitors_) v->document(info);
}
void VisitorFanOut::summary(const ReportTotals& totals) {
  for (TestObjectVisitor* v : visitors_) v->summary(totals);
}
void VisitorFanOut::property(const std::string& name, const std::string& value) {
  for (TestObjectVisitor* v : visitors_) v->property(name, value);
}
void VisitorFanOut::suiteStart(const TestSuiteInfo& suite) {
  for (TestObjectVisitor* v : visitors_) v->suiteStart(suite);
}
void VisitorFanOut::object(const TestObject& object) {
  for (TestObjectVisitor* v : visitors_) v->object(object);
}
void VisitorFanOut::possibleViolation(const TestObject& object) {
  for (TestObjectVisitor* v : visitors_) v->possibleViolation(object);
}
void VisitorFanOut::suiteEnd(const TestSuiteInfo& suite) {
  for (TestObjectVisitor* v : visitors_) v->suiteEnd(suite);
}
void VisitorFanOut::finish(int64_t nodesAndRows) {
  for (TestObjectVisitor* v : visitors_) v->finish(nodesAndRows);
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

std::string singleLine(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else if (c == '\t') line += "\\t";
    else if (c < 0x20 || c == 0x7F) line += kReplacementCharacter;
    else if (c == 0xC2 && i + 1 < text.size() && (text[i + 1] & 0xE0) == 0x80)
      line += kReplacementCharacter, ++i;  // U+0080 to U+009F
    else line += static_cast<char>(c);
  }
  return line;
}

std::string runnerInert(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  int hashes = 0;  // "#" in a row, counting past non-ASCII bytes
  for (const char c : line) {
    if (c == '[' && hashes >= 2) out += '\\';
    if (c == '#') ++hashes;
    else if (static_cast<unsigned char>(c) < 0x80) hashes = 0;
    out += c;
  }
  return out;
}

namespace {

const char kEllipsis[] = "\xE2\x80\xA6";  // U+2026

// Appends text, cut to at most limit bytes (at a character boundary, then
// "…") when longer.
void appendName(std::string* out, const std::string& text, char dotAs, size_t limit) {
  size_t size = text.size();
  const bool cut = size > limit;
  if (cut) {
    size = limit;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  }
  const size_t start = out->size();
  out->append(text, 0, size);
  if (dotAs)
    for (size_t i = start; i < out->size(); ++i)
      if ((*out)[i] == '.') (*out)[i] = dotAs;
  if (cut) out->append(kEllipsis);
}

}  // namespace

std::string joinedPath(const std::vector<std::string>& path) {
  constexpr size_t kPathBudget = 512;
  return shortPath(path, 0, path.size(), " > ", 0, kPathBudget);
}

std::string shortPath(const std::vector<std::string>& path, size_t first, size_t end,
                      const char* separator, char dotAs, size_t budget) {
  std::string text;
  if (first >= end) return text;
  appendName(&text, path[first], dotAs, budget / 2);
  // The innermost names that fit, found from the inside, so that the walk
  // stops at the budget whatever the depth.
  const size_t gap = strlen(separator);
  size_t used = text.size();
  size_t from = end;
  while (from > first + 1 && used + gap + path[from - 1].size() <= budget) {
    --from;
    used += gap + path[from].size();
  }
  if (from > first + 1) {
    // Room for the mark of what is left out.
    const size_t mark = gap + strlen(kEllipsis);
    while (from < end && used + mark > budget) used -= gap + path[from++].size();
    text += separator;
    text += kEllipsis;
    if (from == end) {  // not even the innermost name fits: it is cut
      text += separator;
      appendName(&text, path[end - 1], dotAs, budget - used - mark - gap - strlen(kEllipsis));
      return text;
    }
  }
  for (size_t i = from; i < end; ++i) {
    text += separator;
    appendName(&text, path[i], dotAs, path[i].size());
  }
  return text;
}
