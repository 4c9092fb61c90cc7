// The report's totals against what its objects give. Verdicts that the
// report counts but lists in no table (an observation state left by an
// illegal or a multiple exit in a class without states, a check directly
// under a test suite) are the difference; a report whose totals its own
// nodes and rows cannot hold is refused, so that no export writes one
// item per verdict that a report merely claims.
//
//   Passed 6, Inconclusive 2, Failed 2    the objects give 6, 2, 1
//   unlisted: failed 1
#pragma once

#include "export/xrd/report_reader.h"

#include <cstdint>
#include <string>

struct VerdictCounts {
  int64_t passed = 0;
  int64_t inconclusive = 0;
  int64_t failed = 0;
};

struct VerdictAccount {
  VerdictCounts unlisted;  // the totals beyond what the objects give
  // Empty, or why the totals are below what the objects give (a warning:
  // the objects are written as they are).
  std::string below;
};

// capacity: the report's nodes and rows (TestObjectVisitor::finish). False,
// with a located error, when a total is negative or the totals need more
// unlisted verdicts than the capacity.
bool accountVerdicts(const ReportTotals& totals, const VerdictCounts& objects, int64_t capacity,
                     VerdictAccount* account, ReportErrorInfo* error);
