// The JUnit writer. Every suite's start tag carries its counts, so the test
// cases go to a scratch file first and the document is put together at the
// end: header, then per suite its start tag (the first with the report
// information as properties), its test cases copied from the scratch file
// (markers expanded, see junit_markers.h), then the suite "unlisted" for
// verdicts that the report counts but lists nowhere.
//
//   <testcase classname="stack_test" name="fill" file="src/stack_test.cpp" line="50"/>
#include "export/ci/junit_writer.h"

#include "export/ci/junit_markers.h"
#include "export/ci/stub_kinds.h"
#include "export/ci/verdict_accounting.h"
#include "export/xrd/object_identity.h"
#include "export/xrd/test_objects.h"
#include "support/output_file.h"
#include "support/xml_escape.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kCopyBlock = 1 << 20;

void appendAttribute(std::string* out, const char* name, std::string_view value) {
  out->push_back(' ');
  out->append(name);
  out->append("=\"");
  appendEscapedXml(out, value, XmlAttribute);
  out->push_back('"');
}

void appendCount(std::string* out, const char* name, int64_t value) {
  appendAttribute(out, name, std::to_string(value));
}

// The document's stream, counting what it takes for the size warning.
struct Sink {
  FILE* file;
  int64_t bytes = 0;
  void put(std::string_view text) {
    fwrite(text.data(), 1, text.size(), file);
    bytes += static_cast<int64_t>(text.size());
  }
};

// A file nobody else sees: created in the scratch folder and unlinked at
// once, so it goes with the process whatever happens.
class ScratchFile {
 public:
  ~ScratchFile() {
    if (file_) fclose(file_);
  }
  bool open(const std::string& dir, std::string* error) {
    std::string pattern = dir + "/veldora-export-junit.XXXXXX";
    const int fd = createTemporaryFile(&pattern);
    if (fd < 0) {
      *error = dir + ": cannot create a scratch file: " + strerror(errno);
      return false;
    }
    unlink(pattern.c_str());
    file_ = fdopen(fd, "w+b");
    if (!file_) {
      *error = dir + ": cannot create a scratch file: " + strerror(errno);
      close(fd);
      return false;
    }
    setvbuf(file_, nullptr, _IOFBF, kCopyBlock);
    return true;
  }
  FILE* file() const { return file_; }

 private:
  FILE* file_ = nullptr;
};

struct SuiteRecord {
  std::string name;
  int64_t tests = 0;
  int64_t failures = 0;
  int64_t skipped = 0;                     // certain ones
  std::vector<int64_t> notExecutedByKind;  // cases with a marker, per kind name
  int64_t bodyBytes = 0;
  // Test cases of the classes that may hold a violation no table shows,
  // written only when they account for the unlisted failed verdicts.
  std::string possible;
  int64_t possibleCount = 0;
};

class JunitCollector : public TestObjectVisitor {
 public:
  JunitCollector(FILE* scratch, SystemOut systemOut) : scratch_(scratch), systemOut_(systemOut) {}

  void document(const ReportDocumentInfo& info) override { title_ = info.title; }
  void summary(const ReportTotals& totals) override { totals_ = totals; }
  void property(const std::string& name, const std::string& value) override;
  void suiteStart(const TestSuiteInfo& suite) override;
  void object(const TestObject& object) override;
  void possibleViolation(const TestObject& object) override;
  void suiteEnd(const TestSuiteInfo& suite) override { stubKinds_.suiteEnd(suite); }
  void finish(int64_t capacity) override { capacity_ = capacity; }

  // Decides the stub kind, accounts for the totals and writes the document.
  // False when the totals are refused (result->reportError) or the scratch
  // file could not be read back (result->error empty).
  bool write(Sink& out, const std::string& hostname, JunitResult* result);

 private:
  void startCase(const TestObject& object);
  void appendFailure(const TestObject& object);
  void appendNotes(const TestObject& object);
  std::string suiteStartTag(const SuiteRecord& suite, const std::string& hostname);
  void putUnlistedSuite(Sink& out, const SuiteRecord& rest, const VerdictCounts& unlisted,
                        const std::string& hostname);

  FILE* scratch_;
  SystemOut systemOut_;
  std::string title_;
  ReportTotals totals_;
  int64_t capacity_ = 0;
  std::string properties_;  // the <property> elements, written into the first suite
  std::string timestamp_;
  std::vector<SuiteRecord> suites_;
  ObjectIdentities identities_;
  StubKinds stubKinds_;
  int64_t classNotExecuted_ = 0;
  std::string text_;  // the test case being written
};

void JunitCollector::property(const std::string& name, const std::string& value) {
  ReportTime time;
  if (timestamp_.empty() && parseReportTime(value, &time)) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month, time.day,
             time.hour, time.minute, time.second);
    timestamp_ = text;
  }
  properties_ += "<property";
  appendAttribute(&properties_, "name", name);
  appendAttribute(&properties_, "value", value);
  properties_ += "/>\n";
}

void JunitCollector::suiteStart(const TestSuiteInfo& suite) {
  suites_.emplace_back();
  suites_.back().name = suite.name;
  identities_.suiteStart(suite);
  stubKinds_.suiteStart();
}

void JunitCollector::appendFailure(const TestObject& object) {
  const std::string place = locationPrefix(object.location);
  std::string message;
  std::string text;
  if (object.checks.empty()) {
    message = place + singleLine(object.title);
    text = object.kind == ObjectHiddenStateChart
               ? message + ": an observation state left by an illegal or a multiple exit"
               : message + " failed";
  }
  for (const FailedCheck& check : object.checks) {
    const std::string line = locationPrefix(check.link) + singleLine(check.expression);
    const std::string counts = checkCounts(check, object.kind);
    if (message.empty()) message = line;
    if (!text.empty()) text += '\n';
    text += counts.empty() ? line : line + " " + counts;
  }
  const bool chart = object.kind == ObjectStateChart || object.kind == ObjectHiddenStateChart;
  text_ += "<failure";
  appendAttribute(&text_, "message", message);
  appendAttribute(&text_, "type", chart ? "state-chart" : "check");
  text_ += '>';
  appendEscapedXml(&text_, text, XmlContent);
  text_ += "</failure>\n";
}

void JunitCollector::appendNotes(const TestObject& object) {
  std::string text;
  for (const TestNote& note : object.notes) {
    text += locationPrefix(note.link) + note.trace + " " + note.count + "\n";
    for (const std::string& lines : note.notes) {
      size_t start = 0;
      for (;;) {
        const size_t end = lines.find('\n', start);
        text += "  " + lines.substr(start, end - start) + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
      }
    }
  }
  text_ += "<system-out>";
  appendEscapedXml(&text_, text, XmlContent);
  text_ += "</system-out>\n";
}

// The start tag up to its last attribute, in text_.
void JunitCollector::startCase(const TestObject& object) {
  const ObjectIdentity& identity = identities_.identify(object);
  text_ = "<testcase";
  appendAttribute(&text_, "classname", identity.classname);
  appendAttribute(&text_, "name", identity.name);
  if (object.location.present && !object.location.file.empty())
    appendAttribute(&text_, "file", object.location.file);
  appendCount(&text_, "line", object.location.line);
}

void JunitCollector::object(const TestObject& object) {
  SuiteRecord& suite = suites_.back();
  startCase(object);
  int kind = -1;
  if (object.kind == ObjectTest) {
    kind = stubKinds_.kindOf(object.type);
    if (kind >= 0) stubKinds_.counted(kind);
  }
  ++suite.tests;
  const bool failed = object.state == StateFailed;
  const bool notes = !object.notes.empty() &&
                     (systemOut_ == SystemOutAll || (systemOut_ == SystemOutFailures && failed));
  if (failed) {
    ++suite.failures;
    text_ += ">\n";
    appendFailure(object);
  } else if (object.state == StateNotExecuted && kind >= 0) {
    stubKinds_.notExecuted(kind);
    if (suite.notExecutedByKind.size() <= static_cast<size_t>(kind))
      suite.notExecutedByKind.resize(kind + 1);
    ++suite.notExecutedByKind[kind];
    text_ += notes ? ">\n" : "";
    text_ += notes ? kMarkerInner : kMarkerEmpty;
    text_ += static_cast<char>(kind);
    if (!notes) text_ += '\n';
  } else if (object.state == StateNotExecuted) {
    ++suite.skipped;
    if (object.kind == ObjectClassBlock) ++classNotExecuted_;
    text_ += ">\n";
    text_ += kSkippedElement;
  } else {
    text_ += notes ? ">\n" : "/>\n";
  }
  if (notes) appendNotes(object);
  if (failed || notes || (object.state == StateNotExecuted && kind < 0))
    text_ += "</testcase>\n";
  fwrite(text_.data(), 1, text_.size(), scratch_);
  suite.bodyBytes += static_cast<int64_t>(text_.size());
}

void JunitCollector::possibleViolation(const TestObject& object) {
  SuiteRecord& suite = suites_.back();
  startCase(object);
  text_ += ">\n";
  appendFailure(object);
  text_ += "</testcase>\n";
  suite.possible += text_;
  ++suite.possibleCount;
}

std::string JunitCollector::suiteStartTag(const SuiteRecord& suite, const std::string& hostname) {
  std::string tag = "<testsuite";
  appendAttribute(&tag, "name", suite.name);
  appendCount(&tag, "tests", suite.tests);
  appendCount(&tag, "failures", suite.failures);
  tag += " errors=\"0\"";
  appendCount(&tag, "skipped", suite.skipped);
  tag += " time=\"0\"";
  if (!timestamp_.empty()) appendAttribute(&tag, "timestamp", timestamp_);
  appendAttribute(&tag, "hostname", hostname);
  tag += ">\n";
  // Once in the document: every suite of it shares them.
  if (!properties_.empty()) tag += "<properties>\n" + properties_ + "</properties>\n";
  properties_.clear();
  return tag;
}

// Test cases for verdicts that the report counts but lists nowhere, so that
// the JUnit counts still equal its totals; at most as many as the report has
// nodes and rows (see verdict_accounting.h).
void putUnlistedCases(Sink& out, const char* outcome, int64_t count, const char* content) {
  for (int64_t i = 1; i <= count; ++i) {
    std::string text = "<testcase classname=\"unlisted\" name=\"";
    text += outcome;
    text += " verdict " + std::to_string(i) + "\"";
    text += *content ? ">\n" + std::string(content) + "</testcase>\n" : "/>\n";
    out.put(text);
  }
}

// The XML declaration and <testsuites> with the document's counts.
std::string documentStart(const std::string& title, const SuiteRecord& all) {
  std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites";
  appendAttribute(&head, "name", title);
  appendCount(&head, "tests", all.tests);
  appendCount(&head, "failures", all.failures);
  head += " errors=\"0\"";
  appendCount(&head, "skipped", all.skipped);
  head += " time=\"0\">\n";
  return head;
}

bool JunitCollector::write(Sink& out, const std::string& hostname, JunitResult* result) {
  const int stubKind = stubKinds_.choose(classNotExecuted_, totals_.inconclusive);
  SuiteRecord all;
  int64_t possible = 0;
  for (SuiteRecord& suite : suites_) {
    for (size_t k = 0; k < suite.notExecutedByKind.size(); ++k)
      if (static_cast<int>(k) != stubKind) suite.skipped += suite.notExecutedByKind[k];
    all.tests += suite.tests;
    all.failures += suite.failures;
    all.skipped += suite.skipped;
    possible += suite.possibleCount;
  }
  VerdictCounts objects;
  objects.passed = all.tests - all.failures - all.skipped;
  objects.failed = all.failures;
  objects.inconclusive = all.skipped;
  VerdictAccount account;
  if (!accountVerdicts(totals_, objects, capacity_, &account, &result->reportError)) return false;
  result->mismatch = account.below;
  VerdictCounts& unlisted = account.unlisted;
  // The classes that may hold a hidden violation are those verdicts when
  // their number matches; else nothing tells which of them do.
  const bool attributed = possible > 0 && unlisted.failed == possible;
  if (attributed) {
    unlisted.failed = 0;
    for (SuiteRecord& suite : suites_) {
      suite.tests += suite.possibleCount;
      suite.failures += suite.possibleCount;
    }
    all.tests += possible;
    all.failures += possible;
  }
  SuiteRecord rest;
  rest.name = "unlisted";
  rest.failures = unlisted.failed;
  rest.skipped = unlisted.inconclusive;
  rest.tests = unlisted.passed + unlisted.failed + unlisted.inconclusive;
  all.tests += rest.tests;
  all.failures += rest.failures;
  all.skipped += rest.skipped;
  result->failedVerdict = totals_.failed > 0 || all.failures > 0;
  result->testCases = all.tests;

  out.put(documentStart(title_, all));

  if (fflush(scratch_) != 0 || fseeko(scratch_, 0, SEEK_SET) != 0) return false;
  for (const SuiteRecord& suite : suites_) {
    out.put(suiteStartTag(suite, hostname));
    if (!copyTestCases(scratch_, suite.bodyBytes, stubKind, kCopyBlock, out.file, &out.bytes))
      return false;
    if (attributed) out.put(suite.possible);
    out.put("</testsuite>\n");
  }
  if (rest.tests > 0) putUnlistedSuite(out, rest, unlisted, hostname);
  out.put("</testsuites>\n");
  return true;
}

void JunitCollector::putUnlistedSuite(Sink& out, const SuiteRecord& rest,
                                      const VerdictCounts& unlisted, const std::string& hostname) {
  static const char kUnlistedFailure[] =
      "<failure message=\"a failed verdict that the report counts but lists in no "
      "table\" type=\"check\">a failed verdict that the report counts but lists in no "
      "table</failure>\n";
  out.put(suiteStartTag(rest, hostname));
  putUnlistedCases(out, "failed", unlisted.failed, kUnlistedFailure);
  putUnlistedCases(out, "inconclusive", unlisted.inconclusive, kSkippedElement);
  putUnlistedCases(out, "passed", unlisted.passed, "");
  out.put("</testsuite>\n");
}

}  // namespace

bool writeJunit(ReportReader& reader, FILE* out, const JunitOptions& options, JunitResult* result) {
  ScratchFile scratch;
  if (!scratch.open(options.scratchDir, &result->error)) return false;
  JunitCollector collector(scratch.file(), options.systemOut);
  if (!readTestObjects(reader, collector)) {
    result->reportError = reader.error();
    return false;
  }
  Sink sink{out};
  const bool written = !ferror(scratch.file()) && collector.write(sink, options.hostname, result);
  result->bytes = sink.bytes;
  if (written) return true;
  if (result->reportError.message.empty())
    result->error = options.scratchDir + ": the scratch file failed: " + strerror(errno);
  return false;
}
