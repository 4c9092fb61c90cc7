// Accounting of the totals: every difference is computed in 64 bits from
// values first checked to be non-negative, so no claimed total overflows.
#include "export/ci/verdict_accounting.h"

namespace {

std::string totalsText(const ReportTotals& t) {
  return "Passed " + std::to_string(t.passed) + ", Inconclusive " +
         std::to_string(t.inconclusive) + ", Failed " + std::to_string(t.failed);
}

}  // namespace

bool accountVerdicts(const ReportTotals& totals, const VerdictCounts& objects, int64_t capacity,
                     VerdictAccount* account, ReportErrorInfo* error) {
  *account = VerdictAccount();
  if (totals.passed < 0 || totals.inconclusive < 0 || totals.failed < 0 || totals.total < 0) {
    *error = {"a total of the report summary is negative", totals.line, totals.column};
    return false;
  }
  VerdictCounts& u = account->unlisted;
  u.passed = totals.passed - objects.passed;
  u.inconclusive = totals.inconclusive - objects.inconclusive;
  u.failed = totals.failed - objects.failed;
  if (u.passed < 0 || u.inconclusive < 0 || u.failed < 0) {
    account->below = "the report's totals (" + totalsText(totals) + ") are below what its objects give";
    u = VerdictCounts();
    return true;
  }
  // Each at most the capacity, so the sum cannot overflow.
  if (u.passed > capacity || u.inconclusive > capacity || u.failed > capacity ||
      u.passed + u.inconclusive + u.failed > capacity) {
    *error = {"the report's totals (" + totalsText(totals) +
                  ") are more than its objects and tables can hold",
              totals.line, totals.column};
    return false;
  }
  return true;
}
