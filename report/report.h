// The report file as a whole.
#pragma once

// Results of writeReport besides the failed total (0 or more).
enum {
  ReportCannotCreate = -1,  // the file could not be opened for writing
  ReportWriteFailed = -2,   // opened, but a write or the close failed; the earlier report stays
  ReportSummaryLost = -3,   // the report is written, the test summary not appended whole
};

int writeReport(const char* reportPath, const char* headerPath);
