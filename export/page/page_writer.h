// veldora-export html: one self-contained HTML page from a report file.
#pragma once

#include "export/xrd/report_reader.h"

#include <cstdio>
#include <functional>
#include <string>

// "html REPORT [-o OUT] [--history FILE | --header FILE]"; returns the exit status.
int runHtmlCommand(int argc, char** argv);

// Reads the whole report and writes the page to out, with the history
// section (history_markup.h), which history gives once the report was
// read, ahead of the failures. False when the report is broken
// (reader.error() tells why); *failedVerdict tells whether the report holds
// a failed verdict.
bool writePage(ReportReader& reader, FILE* out, bool* failedVerdict,
               const std::function<std::string()>& history = nullptr);
