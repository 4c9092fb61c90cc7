// The JUnit writer. Every suite's start tag carries its counts, so the test
// cases go to a scratch file first and the document is put together at the
// end: header, then per suite its start tag, its properties and its test
// cases copied from the scratch file.
//
//   <testcase classname="stack_test" name="fill" file="src/stack_test.cpp" line="50" time="0"/>
//
// One thing is known only at the end: which of the report's kind names is
// that of stubs (a stub that was never called counts as passed, a test case
// or procedure as inconclusive, and both look alike in the report). A test
// case of a tracked kind name that was not executed is therefore written
// with a two-byte marker, \x01 or \x02 and the kind's number, which the copy
// expands into nothing (a stub) or the skipped element. Marker bytes cannot
// occur otherwise: the escaping writes every control character as U+FFFD.
#include "export/ci/junit_writer.h"

#include "export/command_line.h"
#include "export/xrd/test_objects.h"
#include "support/output_file.h"
#include "support/xml_escape.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

constexpr size_t kTrackedKinds = 64;
constexpr size_t kCopyBlock = 1 << 20;

const char kSkipped[] = "      <skipped message=\"not executed\"/>\n";
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

// Classname components: a dot inside a name would make consumers that split
// at the last dot take part of a name for the class.
std::string classNameOf(const std::vector<std::string>& path) {
  std::string name;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    if (i > 0) name.push_back('.');
    for (const char c : path[i]) name.push_back(c == '.' ? '_' : c);
  }
  return name;
}

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

}  // namespace

bool copyTestCases(FILE* scratch, int64_t bytes, int stubKind, size_t blockSize, FILE* out) {
  std::vector<char> block(blockSize);
  bool markerPending = false;  // a marker byte ended the last block
  char marker = 0;
  while (bytes > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(bytes, blockSize));
    const size_t got = fread(block.data(), 1, want, scratch);
    if (got != want) return false;
    bytes -= static_cast<int64_t>(got);
    size_t run = 0;
    for (size_t i = 0; i < got; ++i) {
      if (!markerPending) {
        if (block[i] != kMarkerEmpty && block[i] != kMarkerInner) continue;
        fwrite(block.data() + run, 1, i - run, out);
        marker = block[i];
        markerPending = true;
        run = i + 1;
        continue;
      }
      markerPending = false;
      run = i + 1;
      const bool stub = static_cast<unsigned char>(block[i]) == stubKind;
      if (marker == kMarkerEmpty)
        put(out, stub ? "/>" : ">\n" + std::string(kSkipped) + "    </testcase>");
      else if (!stub)
        put(out, kSkipped);
    }
    fwrite(block.data() + run, 1, got - run, out);
  }
  return !markerPending;
}

namespace {

struct KindName {
  std::string name;
  int64_t notExecuted = 0;
  bool stubCounts = true;  // its number in every driver so far equals the driver's stubs
};

struct SuiteRecord {
  std::string name;
  int64_t tests = 0;
  int64_t failures = 0;
  int64_t skipped = 0;                   // certain ones
  std::vector<int64_t> notExecutedByKind;  // cases with a marker, per kind name
  int64_t bodyBytes = 0;
};

class JunitCollector : public TestObjectVisitor {
 public:
  explicit JunitCollector(FILE* scratch) : scratch_(scratch) {}

  void document(const ReportDocumentInfo& info) override { title_ = info.title; }
  void summary(const ReportTotals& totals) override { totals_ = totals; }
  void property(const std::string& name, const std::string& value) override;
  void suiteStart(const TestSuiteInfo& suite) override;
  void object(const TestObject& object) override;
  void suiteEnd(const TestSuiteInfo& suite) override;

  // Decides the stub kind and writes the document. False when the scratch
  // file could not be read back.
  bool write(FILE* out, const std::string& hostname, JunitResult* result);

 private:
  int kindIndex(const std::string& name);
  std::string uniqueName(const std::string& className, const std::string& name);
  void appendFailure(const TestObject& object);
  void appendNotes(const TestObject& object);
  int chooseStubKind() const;
  std::string suiteStartTag(const SuiteRecord& suite, const std::string& hostname);

  FILE* scratch_;
  std::string title_;
  ReportTotals totals_;
  std::string properties_;  // the <properties> element, written into every suite
  std::string timestamp_;
  std::vector<SuiteRecord> suites_;
  std::vector<KindName> kinds_;
  std::vector<int64_t> kindsInSuite_;
  bool stubsSeen_ = false;  // a finished driver had stubs
  int64_t classNotExecuted_ = 0;
  std::unordered_set<size_t> names_;  // hashes of the suite's classname + name
  std::string text_;                  // the test case being written
};

void JunitCollector::property(const std::string& name, const std::string& value) {
  ReportTime time;
  if (timestamp_.empty() && parseReportTime(value, &time)) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month, time.day,
             time.hour, time.minute, time.second);
    timestamp_ = text;
  }
  properties_ += "      <property";
  appendAttribute(&properties_, "name", name);
  appendAttribute(&properties_, "value", value);
  properties_ += "/>\n";
}

void JunitCollector::suiteStart(const TestSuiteInfo& suite) {
  suites_.emplace_back();
  suites_.back().name = suite.name;
  kindsInSuite_.assign(kinds_.size(), 0);
  names_.clear();
}

int JunitCollector::kindIndex(const std::string& name) {
  for (size_t i = 0; i < kinds_.size(); ++i)
    if (kinds_[i].name == name) return static_cast<int>(i);
  if (kinds_.size() == kTrackedKinds) return -1;
  kinds_.push_back({name, 0, !stubsSeen_});
  kindsInSuite_.push_back(0);
  return static_cast<int>(kinds_.size() - 1);
}

std::string JunitCollector::uniqueName(const std::string& className, const std::string& name) {
  std::string key = className + '\x1f' + name;
  const std::hash<std::string> hash;
  if (names_.insert(hash(key)).second) return name;
  for (int n = 2;; ++n) {
    const std::string candidate = name + " (" + std::to_string(n) + ")";
    if (names_.insert(hash(className + '\x1f' + candidate)).second) return candidate;
  }
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
  text_ += "      <failure";
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
  text_ += "      <system-out>";
  appendEscapedXml(&text_, text, XmlContent);
  text_ += "</system-out>\n";
}

void JunitCollector::object(const TestObject& object) {
  SuiteRecord& suite = suites_.back();
  const std::string className = classNameOf(object.path);
  text_ = "    <testcase";
  appendAttribute(&text_, "classname", className);
  appendAttribute(&text_, "name", uniqueName(className, object.path.back()));
  if (object.location.present && !object.location.file.empty())
    appendAttribute(&text_, "file", object.location.file);
  appendCount(&text_, "line", object.location.line);
  text_ += " time=\"0\"";

  int kind = -1;
  if (object.kind == ObjectTest) {
    kind = kindIndex(object.type);
    if (kind >= 0) ++kindsInSuite_[kind];
  }
  ++suite.tests;
  const bool notes = !object.notes.empty();
  if (object.state == StateFailed) {
    ++suite.failures;
    text_ += ">\n";
    appendFailure(object);
  } else if (object.state == StateNotExecuted && kind >= 0) {
    ++kinds_[kind].notExecuted;
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
    text_ += kSkipped;
  } else {
    text_ += notes ? ">\n" : "/>\n";
  }
  if (notes) appendNotes(object);
  if (object.state == StateFailed || notes ||
      (object.state == StateNotExecuted && kind < 0))
    text_ += "    </testcase>\n";
  put(scratch_, text_);
  suite.bodyBytes += static_cast<int64_t>(text_.size());
}

void JunitCollector::suiteEnd(const TestSuiteInfo& suite) {
  if (suite.contracts || suite.stubs < 0) return;
  for (size_t i = 0; i < kinds_.size(); ++i)
    if (kindsInSuite_[i] != suite.stubs) kinds_[i].stubCounts = false;
  if (suite.stubs > 0) stubsSeen_ = true;
}

// The stub kind: the number of not executed objects beyond the report's
// inconclusive total is the number of never called stubs; of the kind names
// with exactly that many, the one whose count in every driver equals the
// driver's stubs, else the first.
int JunitCollector::chooseStubKind() const {
  int64_t notExecuted = classNotExecuted_;
  for (const KindName& k : kinds_) notExecuted += k.notExecuted;
  const int64_t stubs = notExecuted - totals_.inconclusive;
  if (stubs <= 0) return -1;
  int first = -1;
  for (size_t i = 0; i < kinds_.size(); ++i) {
    if (kinds_[i].notExecuted != stubs) continue;
    if (kinds_[i].stubCounts) return static_cast<int>(i);
    if (first < 0) first = static_cast<int>(i);
  }
  return first;
}

std::string JunitCollector::suiteStartTag(const SuiteRecord& suite, const std::string& hostname) {
  std::string tag = "  <testsuite";
  appendAttribute(&tag, "name", suite.name);
  appendCount(&tag, "tests", suite.tests);
  appendCount(&tag, "failures", suite.failures);
  tag += " errors=\"0\"";
  appendCount(&tag, "skipped", suite.skipped);
  tag += " time=\"0\"";
  if (!timestamp_.empty()) appendAttribute(&tag, "timestamp", timestamp_);
  appendAttribute(&tag, "hostname", hostname);
  tag += ">\n";
  if (!properties_.empty()) tag += "    <properties>\n" + properties_ + "    </properties>\n";
  return tag;
}

// Test cases for verdicts that the report counts but lists nowhere, so that
// the JUnit counts still equal its totals: a class's observation state left
// by an illegal or a multiple exit when the class has no states, a test case
// below an object that is not a test container.
std::string unlistedCases(const char* outcome, int64_t count, const char* content) {
  std::string cases;
  for (int64_t i = 1; i <= count; ++i) {
    cases += "    <testcase classname=\"unlisted\" name=\"";
    cases += outcome;
    cases += " verdict " + std::to_string(i) + "\" line=\"0\" time=\"0\"";
    cases += *content ? ">\n" + std::string(content) + "    </testcase>\n" : "/>\n";
  }
  return cases;
}

bool JunitCollector::write(FILE* out, const std::string& hostname, JunitResult* result) {
  const int stubKind = chooseStubKind();
  SuiteRecord all;
  for (SuiteRecord& suite : suites_) {
    for (size_t k = 0; k < suite.notExecutedByKind.size(); ++k)
      if (static_cast<int>(k) != stubKind) suite.skipped += suite.notExecutedByKind[k];
    all.tests += suite.tests;
    all.failures += suite.failures;
    all.skipped += suite.skipped;
  }
  SuiteRecord unlisted;
  unlisted.name = "unlisted";
  const int64_t passed = totals_.passed - (all.tests - all.failures - all.skipped);
  unlisted.failures = totals_.failed - all.failures;
  unlisted.skipped = totals_.inconclusive - all.skipped;
  unlisted.tests = passed + unlisted.failures + unlisted.skipped;
  if (passed < 0 || unlisted.failures < 0 || unlisted.skipped < 0) {
    result->mismatch = "the report's totals (Passed " + std::to_string(totals_.passed) +
                       ", Inconclusive " + std::to_string(totals_.inconclusive) + ", Failed " +
                       std::to_string(totals_.failed) + ") are below what its objects give";
    unlisted.tests = 0;
  }
  all.tests += unlisted.tests;
  all.failures += unlisted.tests ? unlisted.failures : 0;
  all.skipped += unlisted.tests ? unlisted.skipped : 0;

  std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites";
  appendAttribute(&head, "name", title_);
  appendCount(&head, "tests", all.tests);
  appendCount(&head, "failures", all.failures);
  head += " errors=\"0\"";
  appendCount(&head, "skipped", all.skipped);
  head += " time=\"0\">\n";
  put(out, head);

  if (fflush(scratch_) != 0 || fseeko(scratch_, 0, SEEK_SET) != 0) return false;
  for (const SuiteRecord& suite : suites_) {
    put(out, suiteStartTag(suite, hostname));
    if (!copyTestCases(scratch_, suite.bodyBytes, stubKind, kCopyBlock, out)) return false;
    put(out, "  </testsuite>\n");
  }
  if (unlisted.tests > 0) {
    put(out, suiteStartTag(unlisted, hostname));
    put(out, unlistedCases("failed", unlisted.failures,
                           "      <failure message=\"a failed verdict that the report counts but "
                           "lists in no table\" type=\"check\">a failed verdict that the report "
                           "counts but lists in no table</failure>\n"));
    put(out, unlistedCases("inconclusive", unlisted.skipped, kSkipped));
    put(out, unlistedCases("passed", passed, ""));
    put(out, "  </testsuite>\n");
  }
  put(out, "</testsuites>\n");
  return true;
}

std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

std::string scratchFolder() {
  const char* dir = getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

}  // namespace

bool writeJunit(ReportReader& reader, FILE* out, const std::string& hostname,
                const std::string& scratchDir, JunitResult* result) {
  ScratchFile scratch;
  if (!scratch.open(scratchDir, &result->error)) return false;
  JunitCollector collector(scratch.file());
  if (!readTestObjects(reader, collector)) return false;
  result->failedVerdict = reader.summary().failed > 0;
  if (ferror(scratch.file()) || !collector.write(out, hostname, result)) {
    result->error = scratchDir + ": the scratch file failed: " + strerror(errno);
    return false;
  }
  return true;
}

int runJunitCommand(int argc, char** argv) {
  ReportAndOutput args;
  if (!parseReportAndOutput(argc, argv, "junit", ".junit.xml", &args)) return ExitBroken;
  ReportReader reader;
  OutputFile output;
  if (!openReportAndOutput(args, reader, output)) return ExitBroken;
  JunitResult result;
  if (!writeJunit(reader, output.file(), hostName(), scratchFolder(), &result)) {
    if (result.error.empty()) printReportError(args.report, reader.error());
    else printErrorLine(result.error);
    return ExitBroken;
  }
  int status = finishOutput(args, output, result.failedVerdict);
  if (status != ExitBroken && !result.mismatch.empty())
    printErrorLine(args.report + ": warning: " + result.mismatch);
  return status;
}
