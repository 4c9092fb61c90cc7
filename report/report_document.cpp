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
#include "model/model_report.h"
#include "model/status.h"
#include "report/contracts_section.h"
#include "support/output_file.h"
#include "report/report_header.h"
#include "report/test_node_section.h"
#include "report/xml_writer.h"

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <string>

namespace format = report_format;

namespace {

struct VerdictTotals {
  int32_t passed = 0;
  int32_t failed = 0;
  int32_t notExecuted = 0;
};

VerdictTotals countAllVerdicts(const Model& model) {
  VerdictTotals totals;
  for (int i = 0; i < fileTreeCount(model); ++i) {
    const TestNode* root = fileTreeAt(model, i);
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
  writeTag(file, format::kRow, false);
  writeTextCell(file, label, style);
  writeTextCell(file, QString::number(value), style);
  writeTag(file, format::kRow, true);
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
  writeTag(file, format::kTable, true);
}

void writeCountsRow(FILE* file, const QString& label1, int32_t value1, const QString& label2,
                    const QString& value2) {
  writeTag(file, format::kRow, false);
  writeTextCell(file, label1, StylePlain);
  writeTextCell(file, QString::number(value1), StylePlain);
  writeTextCell(file, label2, StylePlain);
  writeTextCell(file, value2, StylePlain);
  writeTag(file, format::kRow, true);
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
  writeTag(file, format::kTable, true);
}

// One section per tree with test content.
void writeDriverSection(ReportContext& report, int treeIndex) {
  FILE* file = report.file;
  TestNode* root = fileTreeAt(report.model, treeIndex);
  if (!hasDriverSection(root))
    return;
  const DriverCounts* c = driverCountsOf(root);

  QString driverType = kindDisplayName(KindTestDriver);
  QString name = QString::fromLocal8Bit(root->name);
  writeNodeOpen(file, name, driverType, nodeStateCode(root->status), 0,
                kindIcon(KindTestDriver));
  writeSectionStart(file, format::kDriverTag, nextTag(report));
  writeTitle(file, driverType + QLatin1Char(' ') + name, 0, cellStyleOf(root->status),
             nextTag(report));
  writeCountsTable(file, *c);  // every root is a Test Driver

  char* path = driverPathAt(report.model, treeIndex);
  TestNodeContext context = {&report, path, 1};
  forEachChild(root, writeTestNode, &context);
  free(path);
  writeTag(file, format::kSection, true);
  writeTag(file, format::kNode, true);
}

// Returns the test summary due to the header text file.
HeaderSummary writeDocument(ReportContext& report, const char* headerPath, const char* reportPath,
                            const VerdictTotals& totals) {
  FILE* file = report.file;
  // Without a "$NAME" line the project information names nothing.
  const char* nodeName =
      report.hasProject && report.project.testNodeName ? report.project.testNodeName->c_str() : nullptr;

  fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", file);
  writeTag(file, format::kXrod, false);
  writeTag(file, format::kApidoc, false);
  const std::string prefix =
      nodeName ? escapedUtf8(QString::fromLocal8Bit(nodeName), ReportAttribute) : "Test";
  const std::string document =
      std::string(format::kDocument) + ' ' + format::kDocumentTitle + "=\"" +
      escapedUtf8(QString::fromLocal8Bit(reportPath), ReportAttribute) + "\" " + format::kTag +
      "=\"" + prefix + 'x' + std::to_string(nextTag(report)) + '"';
  writeTag(file, document.c_str(), false);

  QString global = QCoreApplication::translate("VELDORA global information", "Global Report");
  writeNodeOpen(file, global, global, totals.failed == 0 ? format::kPassed : format::kFailed, 0, IconTestScript);
  writeSectionStart(file, format::kOverviewTag, nextTag(report));
  QString title =
      nodeName ? QString::fromLocal8Bit(nodeName)
               : QCoreApplication::translate("VELDORA global information", "Component testing C++ report");
  writeTitle(file, title, 0, StylePlain, nextTag(report));
  writeTitle(file, QCoreApplication::translate("VELDORA global information", "Report summary"), 1,
             StylePlain, nextTag(report));
  writeSummaryTable(file, totals);

  writeTitle(file, QCoreApplication::translate("VELDORA global information", "Report Information"),
             1, StylePlain, nextTag(report));
  writeTag(file, "TABLE BORDER=\"1\"", false);
  HeaderSummary summary = writeReportInformation(report, headerPath, reportPath);
  writeTag(file, format::kTable, true);
  writeTag(file, format::kSection, true);
  releaseProjectInfo(report);

  int treeCount = fileTreeCount(report.model);
  for (int i = 0; i < treeCount; ++i) writeDriverSection(report, i);
  if (treeCount > 0) writeContractsSection(report);

  writeTag(file, format::kNode, true);
  writeTag(file, format::kDocument, true);
  writeTag(file, format::kApidoc, true);
  writeTag(file, format::kXrod, true);
  return summary;
}

}  // namespace

// A tree of classes only shows up in the contracts section.
bool hasDriverSection(const TestNode* root) {
  const DriverCounts* c = root ? driverCountsOf(root) : nullptr;
  return c && (c->testClasses || c->testSuites || c->testCases || c->procedures || c->stubs);
}

int writeReport(const Model& model, const char* reportPath, const char* headerPath) {
  OutputFile output;
  if (!output.open(reportPath)) return ReportCannotCreate;
  ReportContext report(model, output.file());
  // The project information file is read only once the report can be
  // created, and the summary goes to the header text file only once the
  // report is complete and in place: a run without a report neither reads
  // the one nor changes the other.
  loadProjectInfo(report);
  VerdictTotals totals = countAllVerdicts(model);
  HeaderSummary summary = writeDocument(report, headerPath, reportPath, totals);
  if (!output.commit()) return ReportWriteFailed;
  if (!appendTestSummary(headerPath, summary, totals.passed, totals.failed, totals.notExecuted))
    return ReportSummaryLost;
  return totals.failed;
}
