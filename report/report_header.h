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
void writeGlobalInformation(FILE* file);
// The rows of the table, then the test summary appended to the header text
// file. False when the summary could not be appended completely.
bool writeReportInformation(ReportContext& report, const char* headerPath, const char* reportPath,
                            int32_t passed, int32_t failed, int32_t notExecuted);
