// The summary export: the failures of a report in the form compilers use,
// so that editors and log parsers jump to them, then the totals.
//
//   src/stack_test.cpp:30: error: check failed: size() == capacity() [stack_test > Stack > overflow]
//   Passed 6, Inconclusive 2, Failed 1, Total 9
//
// With --format github, workflow commands that GitHub shows as annotations,
// and a Markdown table for the step summary:
//
//   ::error file=src/stack_test.cpp,line=30,title=stack_test > Stack > overflow::size() == capacity()
#pragma once

#include "export/xrd/report_reader.h"

#include <string>

enum SummaryFormat { SummaryPlain, SummaryGithub };

struct SummaryOptions {
  SummaryFormat format = SummaryPlain;
  int64_t maxFailures = 50;  // failure lines before "and K more"
  bool colour = false;       // plain format only
};

struct SummaryOutput {
  std::string text;      // for standard output
  std::string markdown;  // for the step summary (github format)
  bool failedVerdict = false;  // the failed total is above 0, or a failure was listed
};

// Reads the whole report. False when it is broken or its totals are
// refused; *error tells why and where.
bool writeSummary(ReportReader& reader, const SummaryOptions& options, SummaryOutput* output,
                  ReportErrorInfo* error);
