// The content of one test driver section and the rows of class member
// tables. A Test Case with a check and a comment:
//
//   <XROD:NODE name="push_pop" type="Test Case" state="ok" sum="1" icone="method.xpm"><TITLE LEVEL="2" TAG="nodex12" STYLE="Title3 Passed">
//   <LINK TARGET="src/stack line 20">
//   <TEXT>Test Case push_pop</TEXT>
//   </LINK>
//   </TITLE>
//   <TABLE BORDER="1" WIDTH="40,15,15,15,15">
//   <ROW>  (header: Expression, Status, Executed, Failed, Passed)  </ROW>
//   <ROW>  (top == 3, Passed, 1, 0, 1)  </ROW>
//   </TABLE>
//   <TABLE BORDER="1" WIDTH="55,45">
//   <ROW>
//   <CELL STYLE="Array">
//   <IMAGE NAME="arrow10.xpm"/><LINK TARGET="src/stack line 22">
//   <TEXT>Comment:after push</TEXT>
//   </LINK>
//   </CELL>
//   <CELL STYLE="Array">
//   <TEXT>(x1)</TEXT>
//   </CELL>
//   </ROW>
//   </TABLE>
//   <TABLE BORDER="1" WIDTH="40,15,15,15,15">
//   </TABLE>
//   (nested container nodes)
//   </XROD:NODE>
//
// Names and notes are bytes from the input files, decoded with the locale's
// codec wherever they become text; translated words stay QString.
#include "report/test_node_section.h"

#include "model/kinds.h"
#include "model/model_report.h"
#include "report/xml_writer.h"

#include <QCoreApplication>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace format = report_format;

namespace {

const char kCheckTable[] = "TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\"";
const char kTraceLineTable[] = "TABLE BORDER=\"1\" WIDTH=\"55,45\"";
const char kNoteTable[] = "TABLE BORDER=\"0\" WIDTH=\"5,95\"";

void writeNumberCell(FILE* file, int32_t value, int style) {
  std::array<char, 16> text{};
  std::to_chars(text.data(), text.data() + text.size() - 1, value);
  writeTextCell(file, text.data(), style);
}

// The Executed, Failed and Passed cells. A node without a counter record (a
// Method Contract child that is not a check) shows 0 in each.
void writeCountCells(FILE* file, const TestNode* node, int style) {
  static const CheckCounts kNoCounts = {};
  const CheckCounts* counts = checkCountsOf(node);
  if (!counts)
    counts = &kNoCounts;
  writeNumberCell(file, counts->executions, style);
  writeNumberCell(file, counts->failed, style);
  writeNumberCell(file, counts->passed, style);
}

void writeCheckRow(FILE* file, const TestNode* check) {
  const int style = cellStyleOf(check->status);
  writeTag(file, format::kRow, false);
  writeTextCell(file, check->name, style);
  writeTextCell(file, statusWord(check->status), style);
  writeCountCells(file, check, style);
  writeTag(file, format::kRow, true);
}

// The row of a check table that holds no check: only the node's status.
void writeSummaryRow(FILE* file, const TestNode* node) {
  const int style = cellStyleOf(node->status);
  writeTag(file, format::kRow, false);
  writeTextCell(file, " ", style);
  writeTextCell(file, statusWord(node->status), style);
  writeTextCell(file, " ", style);
  writeTextCell(file, " ", style);
  writeTextCell(file, " ", style);
  writeTag(file, format::kRow, true);
}

// A Print or Comment interrupts the check table: its linked trace line and
// notes get tables of their own, then a check table without header goes on.
// A note may hold byte 0, which becomes U+FFFD like other characters that
// XML cannot hold.
void writeNoteText(FILE* file, const NoteText* note) {
  if (strlen(note->text) == note->length)
    writeEscapedLocal(file, note->text);
  else
    writeEscaped(file, QString::fromLocal8Bit(note->text, static_cast<int>(note->length)));
}

void writeTraceLine(const ReportContext& report, const TestNode* trace) {
  FILE* file = report.file;
  writeTag(file, format::kTable, true);
  writeTag(file, kTraceLineTable, false);
  writeTag(file, format::kRow, false);
  writeCellStart(file, format::kCell, StylePlain);
  fputs("\n<IMAGE NAME=\"arrow10.xpm\"/>", file);
  char* path = driverPath(report.model, trace->fileIndex);
  writeLinkStart(file, path, trace->line);
  free(path);
  fputs("\n<TEXT>", file);
  QString text = kindDisplayName(trace->kind);
  if (trace->kind == KindComment)
    text += QLatin1Char(':');
  text += QString::fromLocal8Bit(trace->name);
  writeEscaped(file, text);
  fputs("</TEXT>\n</LINK>\n</CELL>\n", file);
  const CheckCounts* counts = checkCountsOf(trace);
  writeCellStart(file, format::kCell, StylePlain);
  fprintf(file, "\n<TEXT>(x%d)</TEXT>\n</CELL>\n", counts ? counts->executions : 0);
  writeTag(file, format::kRow, true);
  writeTag(file, format::kTable, true);
  if (trace->firstNote) {
    writeTag(file, kNoteTable, false);
    for (const NoteText* note = trace->firstNote; note; note = note->next) {
      writeTag(file, format::kRow, false);
      writeCellStart(file, format::kCell, StylePlain);
      fputs("\n</CELL>\n", file);
      writeCellStart(file, format::kCell, StylePlain);
      fputs("\n<TEXT>", file);
      writeNoteText(file, note);
      fputs("</TEXT>\n</CELL>\n", file);
      writeTag(file, format::kRow, true);
    }
    writeTag(file, format::kTable, true);
  }
  writeTag(file, kCheckTable, false);
}

void writeCheckTable(const ReportContext& report, const TestNode* node) {
  FILE* file = report.file;
  writeTag(file, kCheckTable, false);
  writeCheckHeaderRow(file, StyleTitle, false);
  bool wroteCheck = false;
  for (const TestNode* child = node->firstChild; child; child = child->nextSibling) {
    if (!isCheckKind(child->kind))
      continue;
    wroteCheck = true;
    if (child->kind == KindPrint || child->kind == KindComment)
      writeTraceLine(report, child);
    else
      writeCheckRow(file, child);
  }
  if (!wroteCheck)
    writeSummaryRow(file, node);
  writeTag(file, format::kTable, true);
}

// Everything of a container before its nested children: node start, linked
// title with the next tag, and the check table where the kind has one.
void writeContainerStart(ReportContext& report, const TestNode* node, const char* linkFile,
                         int level) {
  FILE* file = report.file;
  const QString name = QString::fromLocal8Bit(node->name);
  const QString kindName = kindDisplayName(node->kind);
  writeNodeOpen(file, name, kindName, nodeStateCode(node->status), carriesSum(node->kind) ? 1 : 0,
                kindIcon(node->kind));
  writeLinkedTitle(file, kindName + QLatin1Char(' ') + name, level, cellStyleOf(node->status),
                   nextTag(report), linkFile, node->line);
  if (hasCheckTable(node->kind))
    writeCheckTable(report, node);
}

}  // namespace

// Walks the container subtree with its own stack instead of the call stack,
// so a tree a million levels deep is written like a flat one. The order is
// that of a nested walk: a node's start, its children nested in order, its
// end tag.
void writeTestNode(TestNode* node, void* user) {
  const TestNodeContext& context = *static_cast<const TestNodeContext*>(user);
  if (!isTestContainer(node->kind))
    return;
  ReportContext& report = *context.report;
  writeContainerStart(report, node, context.linkFile, context.level);
  // One entry per open element: the next child of that node to look at.
  std::vector<const TestNode*> pending{node->firstChild};
  while (!pending.empty()) {
    const TestNode* child = pending.back();
    while (child && !isTestContainer(child->kind))
      child = child->nextSibling;
    if (!child) {
      writeTag(report.file, format::kNode, true);
      pending.pop_back();
      continue;
    }
    pending.back() = child->nextSibling;
    writeContainerStart(report, child, context.linkFile,
                        context.level + static_cast<int>(pending.size()));
    pending.push_back(child->firstChild);
  }
}

void writeClassItemRow(TestNode* node, void* user) {
  const ClassRowContext& context = *static_cast<const ClassRowContext*>(user);
  if (node->kind != context.kind)
    return;
  FILE* file = context.report->file;
  char* path = driverPath(context.report->model, node->fileIndex);
  const int style = cellStyleOf(node->status);
  switch (node->kind) {
    case KindMethodContract:
      for (const TestNode* child = node->firstChild; child; child = child->nextSibling) {
        const int rowStyle = cellStyleOf(child->status);
        writeTag(file, format::kRow, false);
        if (child == node->firstChild)
          writeLinkCell(file, node->name, rowStyle, path, node->line);
        else
          writeTextCell(file, " ", rowStyle);
        if (child->kind == KindPreCondition || child->kind == KindPostCondition)
          writeTextCell(file, child->name, rowStyle);
        writeTextCell(file, statusWord(child->status), rowStyle);
        writeCountCells(file, child, rowStyle);
        writeTag(file, format::kRow, true);
      }
      break;
    case KindInvariant:
      writeTag(file, format::kRow, false);
      writeLinkCell(file, node->name, style, path, node->line);
      writeTextCell(file, statusWord(node->status), style);
      writeCountCells(file, node, style);
      writeTag(file, format::kRow, true);
      break;
    case KindState:
    case KindTransition: {
      writeTag(file, format::kRow, false);
      writeLinkCell(file, node->name, style, path, node->line);
      writeTextCell(file,
                    node->kind == KindState ? stateStatusWord(node->status)
                                            : transitionStatusWord(node->status),
                    style);
      const CheckCounts* counts = checkCountsOf(node);
      writeNumberCell(file, counts ? counts->executions : 0, style);
      writeTag(file, format::kRow, true);
      break;
    }
    default:
      break;
  }
  free(path);
}

QString statusWord(int status) {
  switch (status) {
    case Passed: return QCoreApplication::translate("VELDORA status", "Passed");
    case Failed: return QCoreApplication::translate("VELDORA status", "Failed");
    default: return QCoreApplication::translate("VELDORA status", "Not Executed");
  }
}

QString stateStatusWord(int status) {
  switch (status) {
    case Passed: return QCoreApplication::translate("VELDORA state status", "Reached");
    case Failed: return QCoreApplication::translate("VELDORA state status", "Failed");
    default: return QCoreApplication::translate("VELDORA state status", "Not Reached");
  }
}

QString transitionStatusWord(int status) {
  switch (status) {
    case Passed: return QCoreApplication::translate("VELDORA trans status", "Fired");
    case Failed: return QCoreApplication::translate("VELDORA trans status", "Failed");
    default: return QCoreApplication::translate("VELDORA trans status", "Not Fired");
  }
}
