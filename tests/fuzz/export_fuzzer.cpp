// veldora-export over any bytes taken as a report: the tokenizer, the report
// reader and the three writers (page, JUnit, summary). Every token has a
// place; the writers agree with the reader and with each other on whether
// the report reads and whether a verdict failed; the JUnit file and the
// page's markup are well-formed for libxml2; the JUnit counts and the
// summary's totals line are the report's totals.
#include "fuzz_support.h"

#include "export/ci/junit_writer.h"
#include "export/ci/summary_writer.h"
#include "export/page/page_labels.h"
#include "export/page/page_writer.h"
#include "export/xml/xml_tokenizer.h"
#include "export/xrd/report_reader.h"

#include <QTranslator>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
  fprintf(stderr, "%s: %s\n", what, detail.c_str());
  abort();
}

// Aborts unless libxml2 reads the document; returns it for inspection.
xmlDocPtr parsed(const std::string& document, const char* what) {
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), what, nullptr,
                                XML_PARSE_HUGE | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                    XML_PARSE_NOWARNING);
  if (!doc) fail(what, "not well-formed for libxml2:\n" + document.substr(0, 4000));
  return doc;
}

int64_t countOf(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!value) fail("junit", std::string("no ") + name + " on <testsuites>");
  const int64_t count = strtoll(reinterpret_cast<const char*>(value), nullptr, 10);
  xmlFree(value);
  return count;
}

// Tokens until End or Error, each with a place, and the last repeated.
void checkTokens(std::string_view bytes) {
  XmlTokenizer tokenizer;
  tokenizer.openBytes(bytes);
  for (;;) {
    const XmlToken& t = tokenizer.next();
    if (t.line < 1 || t.column < 1) fail("tokenizer", "a token without a place");
    if (t.kind != XmlEnd && t.kind != XmlError) continue;
    const XmlTokenKind last = t.kind;
    if (tokenizer.next().kind != last) fail("tokenizer", "the last token changed");
    return;
  }
}

// The reader's outcome: true when the report reads to its end.
bool readsWhole(std::string_view bytes, ReportTotals* totals) {
  ReportReader reader;
  reader.openBytes(bytes);
  for (;;) {
    const ReportItemKind kind = reader.next();
    if (kind == ReportSummary) *totals = reader.summary();
    if (kind == ReportEnd) return true;
    if (kind == ReportFailed) {
      if (reader.error().message.empty()) fail("reader", "a failure without a message");
      return false;
    }
  }
}

std::string written(const std::function<bool(FILE*)>& write, bool* ok) {
  char* bytes = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&bytes, &size);
  *ok = write(out);
  fclose(out);
  std::string text(bytes, size);
  free(bytes);
  return text;
}

// The page's own markup: from the body up to the tree of objects, whose
// controls are HTML void elements.
void checkPageMarkup(const std::string& page) {
  const std::string bodyStart = "<body>\n";
  const size_t from = page.find(bodyStart);
  const size_t to = page.find("<section id=\"objects\"");
  if (from == std::string::npos || to == std::string::npos || to < from)
    fail("page", "no body or no tree section");
  xmlFreeDoc(parsed("<body>" + page.substr(from + bodyStart.size(), to - from - bodyStart.size()) +
                        "</body>",
                    "page markup"));
  const size_t title = page.find("<title>");
  const size_t titleEnd = page.find("</title>");
  if (title == std::string::npos || titleEnd == std::string::npos) fail("page", "no title");
  xmlFreeDoc(parsed(page.substr(title, titleEnd + 8 - title), "page title"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  xmlInitParser();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string scratch = scratchPath("");
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkTokens(bytes);
  ReportTotals totals;
  const bool reads = readsWhole(bytes, &totals);

  static const QTranslator english;
  static const PageLabels labels = pageLabels(english);
  ReportReader pageReader;
  pageReader.openBytes(bytes);
  bool pageFailed = false, pageOk = false;
  const std::string page = written(
      [&](FILE* out) { return writePage(pageReader, labels, out, &pageFailed); }, &pageOk);
  if (pageOk != reads) fail("page", "the page and the reader disagree on the report");

  ReportReader junitReader;
  junitReader.openBytes(bytes);
  JunitResult junit;
  std::string junitError;
  bool junitOk = false;
  const std::string junitXml = written(
      [&](FILE* out) {
        JunitOptions options;
        options.hostname = "host";
        options.scratchDir = scratch;
        return writeJunit(junitReader, out, options, "report", &junit, &junitError);
      },
      &junitOk);
  if (junitError.find("scratch file") != std::string::npos) fail("junit", junitError);

  ReportReader summaryReader;
  summaryReader.openBytes(bytes);
  SummaryOutput summary;
  ReportErrorInfo summaryError;
  const bool summaryOk = writeSummary(summaryReader, SummaryOptions(), &summary, &summaryError);

  // JUnit and summary refuse the same reports: those that do not read, and
  // those whose totals the objects cannot account for.
  if (junitOk != summaryOk) fail("exports", "junit and summary disagree on the report");
  if (junitOk && !reads) fail("junit", "wrote a report that the reader refuses");
  if (!reads) return 0;
  checkPageMarkup(page);
  if (!junitOk) return 0;
  if (pageFailed != junit.failedVerdict || pageFailed != summary.failedVerdict)
    fail("exports", "they disagree on a failed verdict");

  xmlDocPtr doc = parsed(junitXml, "junit");
  xmlNodePtr suites = xmlDocGetRootElement(doc);
  if (junit.mismatch.empty() &&
      (countOf(suites, "tests") != totals.total || countOf(suites, "failures") != totals.failed ||
       countOf(suites, "skipped") != totals.inconclusive))
    fail("junit", "counts other than the report's totals");
  xmlFreeDoc(doc);

  const std::string line = "Passed " + std::to_string(totals.passed) + ", Inconclusive " +
                           std::to_string(totals.inconclusive) + ", Failed " +
                           std::to_string(totals.failed) + ", Total " +
                           std::to_string(totals.total) + "\n";
  if (summary.text.size() < line.size() ||
      summary.text.compare(summary.text.size() - line.size(), line.size(), line) != 0)
    fail("summary", "a totals line other than the report's: " + summary.text);
  return 0;
}
