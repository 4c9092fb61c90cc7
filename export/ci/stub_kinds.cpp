// The stub kind, decided from counts gathered as the report streams.
#include "export/ci/stub_kinds.h"

int StubKinds::kindOf(const std::string& type) {
  for (size_t i = 0; i < kinds_.size(); ++i)
    if (kinds_[i].name == type) return static_cast<int>(i);
  if (kinds_.size() == kTracked) return -1;
  kinds_.push_back({type, 0, !stubsSeen_});
  inSuite_.push_back(0);
  return static_cast<int>(kinds_.size() - 1);
}

void StubKinds::suiteStart() { inSuite_.assign(kinds_.size(), 0); }

void StubKinds::suiteEnd(const TestSuiteInfo& suite) {
  if (suite.contracts || suite.stubs < 0) return;
  for (size_t i = 0; i < kinds_.size(); ++i)
    if (inSuite_[i] != suite.stubs) kinds_[i].stubCounts = false;
  if (suite.stubs > 0) stubsSeen_ = true;
}

int StubKinds::choose(int64_t otherNotExecuted, int64_t inconclusive) const {
  int64_t notExecuted = otherNotExecuted;
  for (const Kind& k : kinds_) notExecuted += k.notExecuted;
  const int64_t stubs = notExecuted - inconclusive;
  if (stubs <= 0) return -1;
  int first = -1;
  for (size_t i = 0; i < kinds_.size(); ++i) {
    if (kinds_[i].notExecuted != stubs) continue;
    if (kinds_[i].stubCounts) return static_cast<int>(i);
    if (first < 0) first = static_cast<int>(i);
  }
  return first;
}
