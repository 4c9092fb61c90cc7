// The tested contracts section: every class of every tree, sorted by name,
// with its method contracts, invariants, states and transitions.
//
//   <XROD:NODE name="Contracts" type="Contracts" state="ok" icone="testscript.xpm"><SECTION TAG="classx9">
//   <TITLE LEVEL="0" TAG="nodex10" STYLE="Title1 Passed"> ... </TITLE>
//   <XROD:NODE name="Stack" type="Class" state="ok" icone="class.xpm"><TITLE LEVEL="1" ...>
//   <LINK TARGET="src/stack line 3"> ... </TITLE>
//   <XROD:NODE name="State" type="State" state="ok" sum="1" icone="method.xpm"><TITLE ...>
//   <TABLE BORDER="1" WIDTH="40,30,30">
//   <ROW> three header cells </ROW>
//   <ROW> one row per state </ROW>
//   </TABLE>
//   </XROD:NODE>
//   </XROD:NODE>
//   </SECTION>
//   </XROD:NODE>
#include "report/contracts_section.h"

#include "model/kinds.h"
#include "model/model_report.h"
#include "model/status.h"
#include "report/test_node_section.h"
#include "report/xml_writer.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace format = report_format;

namespace {

bool nameBefore(const TestNode& a, const TestNode& b) {
  // strcmp compares as unsigned char: upper case sorts before lower case.
  return strcmp(a.name ? a.name : "", b.name ? b.name : "") < 0;
}

const char kThreeColumnTable[] = "TABLE BORDER=\"1\" WIDTH=\"40,30,30\"";

// The XROD:NODE and level-2 title that open the block of a member kind.
void openBlock(ReportContext& report, int32_t kind, int status) {
  const QString name = kindDisplayName(kind);
  writeNodeOpen(report.file, name, name, nodeStateCode(status), carriesSum(kind) ? 1 : 0,
                kindIcon(kind));
  writeTitle(report.file, name, 2, cellStyleOf(status), nextTag(report));
}

void writeHeaderRow(FILE* file, const QString& first, const QString& second,
                    const QString& third) {
  writeTag(file, format::kRow, false);
  writeTextCell(file, first, StyleTitle);
  writeTextCell(file, second, StyleTitle);
  writeTextCell(file, third, StyleTitle);
  writeTag(file, format::kRow, true);
}

// The rows of one member kind, then the end of its table and block.
void writeMemberRows(const ReportContext& report, TestNode* classNode, int32_t kind) {
  FILE* file = report.file;
  ClassRowContext context = {&report, kind};
  forEachChild(classNode, writeClassItemRow, &context);
  writeTag(file, format::kTable, true);
  writeTag(file, format::kNode, true);
}

// Method contracts and invariants: a check table with the usual header row.
void writeCheckBlock(ReportContext& report, TestNode* classNode, int32_t kind, int status,
                     const char* tableTag, bool withMethod) {
  FILE* file = report.file;
  openBlock(report, kind, status);
  writeTag(file, tableTag, false);
  writeCheckHeaderRow(file, StyleTitle, withMethod);
  writeMemberRows(report, classNode, kind);
}

// States and transitions: a name, a status word and how often it was reached.
void writeReachBlock(ReportContext& report, TestNode* classNode, int32_t kind, int status,
                     const QString& nameHeader, const QString& countHeader) {
  FILE* file = report.file;
  openBlock(report, kind, status);
  writeTag(file, kThreeColumnTable, false);
  writeHeaderRow(file, nameHeader, QCoreApplication::translate("VELDORA class report", "Status"),
                 countHeader);
  writeMemberRows(report, classNode, kind);
}

// The states and observation states that left by an illegal or a multiple
// exit. The block title is a fixed, untranslated name.
void writeViolationBlock(ReportContext& report, TestNode* classNode, int status) {
  FILE* file = report.file;
  const QString title = QStringLiteral("State Chart Violations");
  writeNodeOpen(file, title, kindDisplayName(KindState), format::kFailed, carriesSum(KindState) ? 1 : 0,
                kindIcon(KindState));
  writeTitle(file, title, 2, cellStyleOf(status), nextTag(report));
  writeTag(file, kThreeColumnTable, false);
  writeHeaderRow(file, QCoreApplication::translate("VELDORA State chart violations", "State Name"),
                 QCoreApplication::translate("VELDORA State chart violations", "Multiple Exits"),
                 QCoreApplication::translate("VELDORA State chart violations", "Illegal Exits"));
  for (TestNode* state = classNode->firstChild; state; state = state->nextSibling) {
    if (state->kind != KindState && state->kind != KindObservationState) continue;
    const CheckCounts* counts = checkCountsOf(state);
    if (!counts || (counts->multipleExits <= 0 && counts->illegalExits <= 0)) continue;
    writeTag(file, format::kRow, false);
    if (state->kind == KindState) {
      char* path = driverPath(report.model, state->fileIndex);
      writeLinkCell(file, state->name, StyleFailed, path, state->line);
      free(path);
    } else {
      writeTextCell(file, state->name, StyleFailed);
    }
    writeTextCell(file, QString::number(counts->multipleExits), StyleFailed);
    writeTextCell(file, QString::number(counts->illegalExits), StyleFailed);
    writeTag(file, format::kRow, true);
  }
  writeTag(file, format::kTable, true);
  writeTag(file, format::kNode, true);
}

void writeClass(ReportContext& report, TestNode* classNode) {
  FILE* file = report.file;
  QString kindName = kindDisplayName(classNode->kind);
  QString name = QString::fromLocal8Bit(classNode->name);
  writeNodeOpen(file, name, kindName, nodeStateCode(classNode->status),
                carriesSum(classNode->kind) ? 1 : 0, kindIcon(classNode->kind));
  QString title = kindName + QLatin1Char(' ') + name;
  int style = cellStyleOf(classNode->status);
  if (char* path = driverPath(report.model, classNode->fileIndex)) {
    writeLinkedTitle(file, title, 1, style, nextTag(report), path, classNode->line);
    free(path);
  } else {
    writeTitle(file, title, 1, style, nextTag(report));
  }

  if (const ClassCounts* counts = classCountsOf(classNode)) {
    if (counts->contracts != 0)
      writeCheckBlock(report, classNode, KindMethodContract, counts->contractStatus,
                      "TABLE BORDER=\"1\" WIDTH=\"20,20,15,15,15,15\"", true);
    if (counts->invariants != 0)
      writeCheckBlock(report, classNode, KindInvariant, counts->invariantStatus,
                      "TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\"", false);
    if (counts->states != 0) {
      writeReachBlock(report, classNode, KindState, counts->stateStatus,
                      QCoreApplication::translate("VELDORA class report", "State Name"),
                      QCoreApplication::translate("VELDORA class report", "Reached"));
      if (counts->stateChartStatus == Failed)
        writeViolationBlock(report, classNode, counts->stateChartStatus);
    }
    if (counts->transitions != 0)
      writeReachBlock(report, classNode, KindTransition, counts->transitionStatus,
                      QCoreApplication::translate("VELDORA class report", "Transition Name"),
                      QCoreApplication::translate("VELDORA class report", "Fired"));
  }
  writeTag(file, format::kNode, true);
}

}  // namespace

void writeContractsSection(ReportContext& report) {
  const Model& model = report.model;
  const int treeCount = fileTreeCount(model);
  FILE* file = report.file;
  // Sized by the driver counts; the collector never fills more slots than
  // that, even when stub relinking moved classes between trees.
  int64_t total = 0;
  for (int i = 0; i < treeCount; ++i) {
    const TestNode* root = fileTreeAt(model, i);
    if (const DriverCounts* counts = root ? driverCountsOf(root) : nullptr) total += counts->classes;
  }
  if (total <= 0) return;
  total = std::min<int64_t>(total, INT32_MAX);

  std::vector<TestNode> copies(static_cast<size_t>(total));  // zeroed: every kind 0, free
  ClassNodeList list = {copies.data(), static_cast<int32_t>(total), 0};
  for (int i = 0; i < treeCount; ++i) {
    if (TestNode* root = fileTreeAt(model, i)) walkTree(root, collectClassNodes, &list);
  }
  auto end = copies.begin() + std::min<int64_t>(std::max(list.used, 0), total);
  std::sort(copies.begin(), end, nameBefore);

  int32_t combined = Executed;
  for (auto it = copies.begin(); it != end; ++it) combined = combineStatus(it->status, combined);

  const QString contracts = QCoreApplication::translate("VELDORA global information", "Contracts");
  writeNodeOpen(file, contracts, contracts, nodeStateCode(combined), 0, IconTestScript);
  writeSectionStart(file, format::kContractsTag, nextTag(report));
  writeTitle(file, QCoreApplication::translate("VELDORA global information", "Tested Contracts"), 0,
             cellStyleOf(combined), nextTag(report));
  for (auto it = copies.begin(); it != end; ++it) writeClass(report, &*it);
  writeTag(file, format::kSection, true);
  writeTag(file, format::kNode, true);
}
