// The content of one test driver section (nested test containers with their
// check tables, trace lines and notes) and the rows of class member tables.
#pragma once

#include "model/model.h"
#include "report/report_context.h"

#include <QString>
#include <cstdio>

struct TestNodeContext {
  ReportContext* report;
  const char* linkFile;  // driver path of the tree, may be null; not owned
  int level;             // LEVEL of the titles written with this context
};

struct ClassRowContext {
  const ReportContext* report;
  int32_t kind;  // only children of this kind give rows
};

// forEachChild callbacks; `user` is a TestNodeContext or a ClassRowContext.
void writeTestNode(TestNode* node, void* user);
void writeClassItemRow(TestNode* node, void* user);

// Translated status words: "VELDORA status", "VELDORA state status",
// "VELDORA trans status".
QString statusWord(int status);
QString stateStatusWord(int status);
QString transitionStatusWord(int status);
