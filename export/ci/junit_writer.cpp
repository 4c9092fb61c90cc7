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

// "shard_1." for the part "shard.1": the part before the names of its
// suites and classnames, a dot in it made "_" as in the classnames.
std::string partPrefix(const std::string& part) {
  if (part.empty()) return part;
  std::string prefix = part;
  for (char& c : prefix)
    if (c == '.') c = '_';
  return prefix + ".";
}

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
  JunitCollector(FILE* scratch, const JunitOptions& options)
      : scratch_(scratch), systemOut_(options.systemOut), prefix_(partPrefix(options.part)) {}

  void document(const ReportDocumentInfo& info) override { title_ = info.title; }
  void summary(const ReportTotals& totals) override { totals_ = totals; }
  void property(const std::string& name, const std::string& value) override;
  void suiteStart(const TestSuiteInfo& suite) override;
  void object(const TestObject& object) override;
  void possibleViolation(const TestObject& object) override;
  void suiteEnd(const TestSuiteInfo& suite) override { stubKinds_.suiteEnd(suite); }
  void finish(int64_t capacity) override { capacity_ = capacity; }

  struct Account {
    int stubKind = -1;
    SuiteRecord all, rest;
    VerdictCounts unlisted;
    bool attributed = false;  // the classes that may hold a violation take the unlisted
    std::string mismatch;
  };
  // Decides the stub kind and accounts for the totals. False when the
  // totals are refused.
  bool account(Account* account, ReportErrorInfo* error);
  // Writes the suites. False when the scratch file cannot be read back.
  bool writeSuites(Sink& out, const Account& account, const std::string& hostname);
  const ReportTotals& totals() const { return totals_; }
  const std::string& title() const { return title_; }

 private:
  void startCase(const TestObject& object);
  void appendFailure(const TestObject& object);
  void appendNotes(const TestObject& object);
  std::string suiteStartTag(const SuiteRecord& suite, const std::string& hostname);

  FILE* scratch_;
  SystemOut systemOut_;
  std::string prefix_;  // of suites and classnames: a part of a run of several
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
  suites_.back().name = prefix_ + suite.name;
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
  appendAttribute(&text_, "classname", prefix_ + identity.classname);
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
  const bool failed = object.state == StatusFailed;
  const bool notes = !object.notes.empty() &&
                     (systemOut_ == SystemOutAll || (systemOut_ == SystemOutFailures && failed));
  if (failed) {
    ++suite.failures;
    text_ += ">\n";
    appendFailure(object);
  } else if (object.state == StatusNotExecuted && kind >= 0) {
    stubKinds_.notExecuted(kind);
    if (suite.notExecutedByKind.size() <= static_cast<size_t>(kind))
      suite.notExecutedByKind.resize(kind + 1);
    ++suite.notExecutedByKind[kind];
    text_ += notes ? ">\n" : "";
    text_ += notes ? kMarkerInner : kMarkerEmpty;
    text_ += static_cast<char>(kind);
    if (!notes) text_ += '\n';
  } else if (object.state == StatusNotExecuted) {
    ++suite.skipped;
    if (object.kind == ObjectClassBlock) ++classNotExecuted_;
    text_ += ">\n";
    text_ += kSkippedElement;
  } else {
    text_ += notes ? ">\n" : "/>\n";
  }
  if (notes) appendNotes(object);
  if (failed || notes || (object.state == StatusNotExecuted && kind < 0))
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

// The document's counts: the suites' with the stub kind decided, against
// the report's totals, and the unlisted verdicts given to the classes that
// may hold them when their number matches, else to the suite "unlisted".
bool JunitCollector::account(JunitCollector::Account* account, ReportErrorInfo* error) {
  const int stubKind = stubKinds_.choose(classNotExecuted_, totals_.inconclusive);
  account->stubKind = stubKind;
  SuiteRecord& all = account->all;
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
  VerdictAccount verdicts;
  if (!accountVerdicts(totals_, objects, capacity_, &verdicts, error)) return false;
  account->mismatch = verdicts.below;
  account->unlisted = verdicts.unlisted;
  account->attributed = possible > 0 && verdicts.unlisted.failed == possible;
  if (account->attributed) {
    account->unlisted.failed = 0;
    for (SuiteRecord& suite : suites_) {
      suite.tests += suite.possibleCount;
      suite.failures += suite.possibleCount;
    }
    all.tests += possible;
    all.failures += possible;
  }
  SuiteRecord& rest = account->rest;
  const VerdictCounts& unlisted = account->unlisted;
  rest.name = "unlisted";
  rest.failures = unlisted.failed;
  rest.skipped = unlisted.inconclusive;
  rest.tests = unlisted.passed + unlisted.failed + unlisted.inconclusive;
  all.tests += rest.tests;
  all.failures += rest.failures;
  all.skipped += rest.skipped;
  return true;
}

// The suites from the account and the scratch file's test cases. False
// when the scratch file cannot be read back.
bool JunitCollector::writeSuites(Sink& out, const Account& account, const std::string& hostname) {
  if (fflush(scratch_) != 0 || fseeko(scratch_, 0, SEEK_SET) != 0) return false;
  for (const SuiteRecord& suite : suites_) {
    out.put(suiteStartTag(suite, hostname));
    if (!copyTestCases(scratch_, suite.bodyBytes, account.stubKind, kCopyBlock, out.file, &out.bytes))
      return false;
    if (account.attributed) out.put(suite.possible);
    out.put("</testsuite>\n");
  }
  if (account.rest.tests > 0) {
    static const char kUnlistedFailure[] =
        "<failure message=\"a failed verdict that the report counts but lists in no "
        "table\" type=\"check\">a failed verdict that the report counts but lists in no "
        "table</failure>\n";
    out.put(suiteStartTag(account.rest, hostname));
    putUnlistedCases(out, "failed", account.unlisted.failed, kUnlistedFailure);
    putUnlistedCases(out, "inconclusive", account.unlisted.inconclusive, kSkippedElement);
    putUnlistedCases(out, "passed", account.unlisted.passed, "");
    out.put("</testsuite>\n");
  }
  return true;
}

std::string documentHead(const std::string& title, const SuiteRecord& all) {
  std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites";
  appendAttribute(&head, "name", title);
  appendCount(&head, "tests", all.tests);
  appendCount(&head, "failures", all.failures);
  head += " errors=\"0\"";
  appendCount(&head, "skipped", all.skipped);
  return head + " time=\"0\">\n";
}

}  // namespace

struct JunitBuilder::Parts {
  ScratchFile scratch;
  std::unique_ptr<JunitCollector> collector;
  JunitCollector::Account account;
};

JunitBuilder::JunitBuilder(const JunitOptions& options) : options_(options), parts_(new Parts) {}
JunitBuilder::~JunitBuilder() = default;

bool JunitBuilder::start(std::string* error) {
  if (!parts_->scratch.open(options_.scratchDir, error)) return false;
  parts_->collector = std::make_unique<JunitCollector>(parts_->scratch.file(), options_);
  return true;
}

TestObjectVisitor& JunitBuilder::objects() { return *parts_->collector; }

bool JunitBuilder::write(FILE* out, const std::string& reportPath, JunitResult* result,
                         std::string* error) {
  return writeJunitRun(out, {{this, reportPath}}, result, error);
}

bool writeJunitRun(FILE* out, const std::vector<JunitPart>& parts, JunitResult* result,
                   std::string* error) {
  SuiteRecord all;
  for (const JunitPart& part : parts) {
    JunitBuilder::Parts& p = *part.builder->parts_;
    ReportErrorInfo refused;
    if (!p.collector->account(&p.account, &refused)) {
      *error = errorLine(part.reportPath, refused);
      return false;
    }
    if (!p.account.mismatch.empty() && result->mismatch.empty()) result->mismatch = p.account.mismatch;
    result->failedVerdict = result->failedVerdict || p.collector->totals().failed > 0 ||
                            p.account.all.failures > 0;
    all.tests += p.account.all.tests;
    all.failures += p.account.all.failures;
    all.skipped += p.account.all.skipped;
  }
  result->testCases = all.tests;
  Sink sink{out};
  sink.put(documentHead(parts.front().builder->parts_->collector->title(), all));
  for (const JunitPart& part : parts) {
    JunitBuilder::Parts& p = *part.builder->parts_;
    if (ferror(p.scratch.file()) || !p.collector->writeSuites(sink, p.account, part.builder->options_.hostname)) {
      *error = part.builder->options_.scratchDir + ": the scratch file failed: " + strerror(errno);
      return false;
    }
  }
  sink.put("</testsuites>\n");
  result->bytes = sink.bytes;
  return true;
}

bool writeJunit(ReportReader& reader, FILE* out, const JunitOptions& options,
                const std::string& reportPath, JunitResult* result, std::string* error) {
  JunitBuilder junit(options);
  if (!junit.start(error)) return false;
  if (!readTestObjects(reader, junit.objects())) {
    *error = errorLine(reportPath, reader.error());
    return false;
  }
  return junit.write(out, reportPath, result, error);
}
