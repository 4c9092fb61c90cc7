// The report file as a whole.
#pragma once

#include "model/model.h"

// Results of writeReport besides the failed total (0 or more).
enum {
  ReportCannotCreate = -1,  // the file could not be opened for writing
  ReportWriteFailed = -2,   // opened, but a write or the close failed; the earlier report stays
  ReportSummaryLost = -3,   // the report is written, the test summary not appended whole
};

// Writes the report of the settled model; once the report is in place, the
// test summary is appended to the header text file.
int writeReport(const Model& model, const char* reportPath, const char* headerPath);

// True when the tree gets a driver section: it has test content.
bool hasDriverSection(const TestNode* root);
