// The page writer: one self-contained HTML page from a report.
#pragma once

#include "export/page/page_badges.h"
#include "export/page/page_labels.h"
#include "export/xrd/report_reader.h"

#include <cstdio>
#include <functional>
#include <string>

// Reads the whole report and writes the page to out, with the history's
// part (history_markup.h), which history gives once the report was read:
// its section ahead of the failures, its badges on the failed objects. False when the report is broken
// (reader.error() tells why); *failedVerdict tells whether the report holds
// a failed verdict.
bool writePage(ReportReader& reader, const PageLabels& labels, FILE* out, bool* failedVerdict,
               const std::function<PageHistory()>& history = nullptr);
