// The report information table: rows from the header text file or from the
// project information file, the global information rows, and the test
// summary appended to the header text file.
#pragma once

#include <cstdint>
#include <cstdio>

bool loadProjectInfo();
void releaseProjectInfo();
const char* projectName();
const char* projectFile();
const char* testNodeName();
const char* workspaceName();
const char* configurationName();

// One line of at most 2046 bytes, cut at its last line feed, tab and
// carriage return; null at the end of the file. Valid until the next call.
const char* readHeaderLine(FILE* file);
// The value after the first "=" of a line that contains key; a new text the
// caller frees, or null.
char* extractKeyValue(const char* line, const char* key);

void writeTitleRow(FILE* file, const char* text);
void writeGlobalInformation(FILE* file);
void writeReportInformation(FILE* file, const char* headerPath, const char* reportPath,
                            bool hasProject, int32_t passed, int32_t failed,
                            int32_t notExecuted);
