// The page writer: one self-contained HTML page from a report.
#pragma once

#include "export/page/page_labels.h"
#include "export/xrd/report_reader.h"

#include <cstdio>
#include <string>

// Reads the whole report and writes the page to out. False when the report
// is broken (reader.error() tells why); *failedVerdict tells whether the
// report holds a failed verdict.
bool writePage(ReportReader& reader, const PageLabels& labels, FILE* out, bool* failedVerdict);
