// The report file as a whole: the frame, the overview section with the
// verdict summary and the report information, one section per test driver,
// and the tested contracts section.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <XROD>
//   <APIDOC>
//   <DOCUMENT TITLE="out.xrd" TAG="Testx1">
//   <XROD:NODE name="Global Report" ...><SECTION TAG="filex2">
//   ... report title, summary table, report information table
//   </SECTION>
//   <XROD:NODE name="stack" type="Test Driver" ...><SECTION TAG="rootx6">
//   ... driver title, counts table, test nodes
//   </SECTION>
//   </XROD:NODE>
//   ... contracts section
//   </XROD:NODE>
//   </DOCUMENT>
//   </APIDOC>
//   </XROD>
#include "report/report.h"

#include "model/kinds.h"
#include "model/model.h"
#include "report/contracts_section.h"
#include "report/report_header.h"
#include "report/test_node_section.h"
#include "report/xml_writer.h"

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <stdio_ext.h>

namespace {

struct VerdictTotals {
  int32_t passed = 0;
  int32_t failed = 0;
  int32_t notExecuted = 0;
};

// Attribute values of the DOCUMENT tag come from the command line and the
// project information file: escape the markup characters and keep white
// space; control characters that XML forbids become U+FFFD.
QString escapeAttribute(const char* bytes) {
  QString text;
  for (QChar c : QString::fromLocal8Bit(bytes)) {
    switch (c.unicode()) {
      case '&': text += QLatin1String("&amp;"); break;
      case '<': text += QLatin1String("&lt;"); break;
      case '>': text += QLatin1String("&gt;"); break;
      case '"': text += QLatin1String("&quot;"); break;
      case '\t': case '\n': case '\r': text += c; break;
      default: text += c.unicode() < 0x20 ? QChar(QChar::ReplacementCharacter) : c; break;
    }
  }
  return text;
}

VerdictTotals countAllVerdicts(int treeCount) {
  VerdictTotals totals;
  for (int i = 0; i < treeCount; ++i) {
    const TestNode* root = fileTreeAt(i);
    const DriverCounts* c = root ? driverCountsOf(root) : nullptr;
    if (!c) continue;
    // Prologues and epilogues alone carry no verdict.
    if (c->classes || c->testClasses || c->testSuites || c->testCases || c->procedures ||
        c->stubs)
      countVerdicts(root, &totals.passed, &totals.failed, &totals.notExecuted);
  }
  return totals;
}

void writeSummaryRow(FILE* file, const QString& label, int32_t value, int style) {
  writeTag(file, "ROW", false);
  writeTextCell(file, label, style);
  writeTextCell(file, QString::number(value), style);
  writeTag(file, "ROW", true);
}

void writeSummaryTable(FILE* file, const VerdictTotals& totals) {
  writeTag(file, "TABLE BORDER=\"1\"", false);
  QString product = QCoreApplication::translate("VOSKIdent", "Tessaloft") + QLatin1Char(' ') +
                    QCoreApplication::translate("VOSKIdent", "Component testing C++") +
                    QLatin1String(" 8.2.0.1");
  writeTitleRow(file, product.toLocal8Bit().constData());
  bool anyFailed = totals.failed != 0;
  writeSummaryRow(file, QCoreApplication::translate("VELDORA global information", "Passed"),
                  totals.passed, anyFailed ? StylePlain : StylePassed);
  writeSummaryRow(file, QCoreApplication::translate("VELDORA global information", "Inconclusive"),
                  totals.notExecuted, StylePlain);
  writeSummaryRow(file, QCoreApplication::translate("VELDORA global information", "Failed"),
                  totals.failed, anyFailed ? StyleFailed : StylePlain);
  writeSummaryRow(file, QCoreApplication::translate("VELDORA global information", "Total"),
                  totals.passed + totals.failed + totals.notExecuted, StylePlain);
  writeTag(file, "TABLE", true);
}

void writeCountsRow(FILE* file, const QString& label1, int32_t value1, const QString& label2,
                    const QString& value2) {
  writeTag(file, "ROW", false);
  writeTextCell(file, label1, StylePlain);
  writeTextCell(file, QString::number(value1), StylePlain);
  writeTextCell(file, label2, StylePlain);
  writeTextCell(file, value2, StylePlain);
  writeTag(file, "ROW", true);
}

void writeCountsTable(FILE* file, const DriverCounts& c) {
  writeTag(file, "TABLE BORDER=\"1\"", false);
  writeCountsRow(file, QCoreApplication::translate("VELDORA global information", "Number Of Test Suite"),
                 c.testSuites,
                 QCoreApplication::translate("VELDORA global information", "Number Of Test Class"),
                 QString::number(c.testClasses));
  writeCountsRow(file, QCoreApplication::translate("VELDORA global information", "Number Of Test Case"),
                 c.testCases,
                 QCoreApplication::translate("VELDORA global information", "Number Of Epilogue"),
                 QString::number(c.epilogues));
  writeCountsRow(file, QCoreApplication::translate("VELDORA global information", "Number Of Procedure"),
                 c.procedures,
                 QCoreApplication::translate("VELDORA global information", "Number Of Prologue"),
                 QString::number(c.prologues));
  // The last two cells are blank; escaping reduces the space to nothing.
  writeCountsRow(file, QCoreApplication::translate("VELDORA global information", "Number Of Stub"),
                 c.stubs, QStringLiteral(" "), QStringLiteral(" "));
  writeTag(file, "TABLE", true);
}

bool carriesSum(int32_t kind) {
  switch (kind) {
    case KindInvariant:
    case KindProc:
    case KindStub:
    case KindState:
    case KindTestCase:
    case KindTransition:
    case KindMethodContract:
      return true;
    default:
      return false;
  }
}

// One section per tree with test content; a tree of classes only shows up in
// the contracts section.
void writeDriverSection(FILE* file, int treeIndex) {
  TestNode* root = fileTreeAt(treeIndex);
  const DriverCounts* c = root ? driverCountsOf(root) : nullptr;
  if (!c || !(c->testClasses || c->testSuites || c->testCases || c->procedures || c->stubs))
    return;

  QString driverType = kindDisplayName(KindTestDriver);
  QString name = QString::fromLocal8Bit(root->name);
  writeNodeOpen(file, name, driverType, nodeStateCode(root->status), carriesSum(root->kind) ? 1 : 0,
                IconTestScript);
  writeSectionStart(file, "rootx", nextTag());
  writeTitle(file, driverType + QLatin1Char(' ') + name, 0, cellStyleOf(root->status), nextTag());
  if (root->kind == KindTestDriver) writeCountsTable(file, *c);

  char* path = driverPathAt(treeIndex);
  TestNodeContext context = {file, path, 1};
  forEachChild(root, writeTestNode, &context);
  free(path);
  writeTag(file, "SECTION", true);
  writeTag(file, "XROD:NODE", true);
}

void writeDocument(FILE* file, const char* headerPath, const char* reportPath, bool hasProject,
                   const VerdictTotals& totals) {
  // Without a "$NAME" line the project information names nothing.
  const char* nodeName = hasProject ? testNodeName() : nullptr;

  fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", file);
  writeTag(file, "XROD", false);
  writeTag(file, "APIDOC", false);
  QString prefix = nodeName ? escapeAttribute(nodeName) : QStringLiteral("Test");
  const QString document = QLatin1String("DOCUMENT TITLE=\"") + escapeAttribute(reportPath) +
                           QLatin1String("\" TAG=\"") + prefix + QLatin1Char('x') +
                           QString::number(nextTag()) + QLatin1Char('"');
  writeTag(file, document.toUtf8().constData(), false);

  QString global = QCoreApplication::translate("VELDORA global information", "Global Report");
  writeNodeOpen(file, global, global, totals.failed == 0 ? "ok" : "ko", 0, IconTestScript);
  writeSectionStart(file, "filex", nextTag());
  QString title =
      nodeName ? QString::fromLocal8Bit(nodeName)
               : QCoreApplication::translate("VELDORA global information", "Component testing C++ report");
  writeTitle(file, title, 0, StylePlain, nextTag());
  writeTitle(file, QCoreApplication::translate("VELDORA global information", "Report summary"), 1,
             StylePlain, nextTag());
  writeSummaryTable(file, totals);

  writeTitle(file, QCoreApplication::translate("VELDORA global information", "Report Information"),
             1, StylePlain, nextTag());
  writeTag(file, "TABLE BORDER=\"1\"", false);
  writeReportInformation(file, headerPath, reportPath, hasProject, totals.passed, totals.failed,
                         totals.notExecuted);
  writeTag(file, "TABLE", true);
  writeTag(file, "SECTION", true);
  if (hasProject) releaseProjectInfo();

  int treeCount = fileTreeCount();
  for (int i = 0; i < treeCount; ++i) writeDriverSection(file, i);
  if (treeCount > 0) writeContractsSection(file, treeCount);

  writeTag(file, "XROD:NODE", true);
  writeTag(file, "DOCUMENT", true);
  writeTag(file, "APIDOC", true);
  writeTag(file, "XROD", true);
}

}  // namespace

int writeReport(const char* reportPath, const char* headerPath) {
  FILE* file = fopen(reportPath, "w");
  if (!file) return ReportCannotCreate;
  // The report is written by one thread in many small pieces: stdio's lock
  // per call is skipped, and a large buffer makes few write calls.
  __fsetlocking(file, FSETLOCKING_BYCALLER);
  setvbuf(file, nullptr, _IOFBF, 1 << 20);
  bool hasProject = loadProjectInfo();
  VerdictTotals totals = countAllVerdicts(fileTreeCount());
  writeDocument(file, headerPath, reportPath, hasProject, totals);
  // A full disk shows up at the latest when the buffer is flushed on close.
  bool written = !ferror(file);
  if (fclose(file) != 0) written = false;
  return written ? totals.failed : ReportWriteFailed;
}
