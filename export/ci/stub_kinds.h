// Which of the report's kind names (the translated `type` of a node) is that
// of stubs. A stub that was never called counts as passed, a test case or
// procedure not executed as inconclusive, and in the report both are nodes
// of state "NE"; the totals and the drivers' stub counts tell them apart:
//
//   not executed: Kind T 1, Kind S 2;  Inconclusive 1  ->  2 never called stubs: Kind S
#pragma once

#include "export/xrd/test_objects.h"

#include <cstdint>
#include <string>
#include <vector>

class StubKinds {
 public:
  // The number of a kind name, -1 beyond the first kTracked.
  int kindOf(const std::string& type);
  void suiteStart();
  void counted(int kind) { ++inSuite_[kind]; }  // an object of a tracked kind
  void notExecuted(int kind) { ++kinds_[kind].notExecuted; }
  void suiteEnd(const TestSuiteInfo& suite);
  // The stub kind, -1 for none, given the not executed objects of no
  // tracked kind and the report's inconclusive total: the not executed
  // objects beyond that total are the never called stubs; of the kind names
  // with exactly that many, the one whose count in every driver equals the
  // driver's stubs, else the first.
  int choose(int64_t otherNotExecuted, int64_t inconclusive) const;

  static constexpr size_t kTracked = 64;

 private:
  struct Kind {
    std::string name;
    int64_t notExecuted = 0;
    bool stubCounts = true;  // its number in every driver so far equals the driver's stubs
  };
  std::vector<Kind> kinds_;
  std::vector<int64_t> inSuite_;
  bool stubsSeen_ = false;  // a finished driver had stubs
};
