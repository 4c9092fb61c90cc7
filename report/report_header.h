// The report information table: rows from the header text file or from the
// project information file, the global information rows, and the test
// summary appended to the header text file.
#pragma once

#include "report/report_context.h"

#include <cstdint>
#include <cstdio>

// Reads the project information file named by VOSK_STUDIO_HEADER_FILE into
// report.project; false (and hasProject false) when it cannot be opened.
bool loadProjectInfo(ReportContext& report);
void releaseProjectInfo(ReportContext& report);

// One line of at most 2046 bytes, cut at its last line feed, tab and
// carriage return; null at the end of the file. Valid until the next call.
const char* readHeaderLine(FILE* file, HeaderLine& line);
// The value after the first "=" of a line that contains key; a new text the
// caller frees, or null.
char* extractKeyValue(const char* line, const char* key);

void writeTitleRow(FILE* file, const char* text);
void writeGlobalInformation(const ReportContext& report);

// What the table's rows leave for the end of the run: whether a test summary
// goes to the header text file, and whether its last line still lacks its
// line feed.
struct HeaderSummary {
  bool due = false;
  bool needsLineFeed = false;
};
// The rows of the table, from the header text file when there is one.
HeaderSummary writeReportInformation(ReportContext& report, const char* headerPath,
                                     const char* reportPath);
// Appends the test summary when one is due. False when a write of it failed
// (a full file system, a file size limit), so that it did not reach the file
// whole.
bool appendTestSummary(const char* headerPath, const HeaderSummary& summary, int32_t passed,
                       int32_t failed, int32_t notExecuted);
