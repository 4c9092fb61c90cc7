// What changed from one run to the next, object by object, matched by
// identity key, and at the check within a failed object:
//
//   base: a passed, b failed {x}, c failed {x}, d passed, f passed, g passed
//   now:  a failed {y}, b passed, c failed {x, y}, e passed, f not executed,
//         g failed {z} (flaky), h failed {w} (quarantined)
//   -> new {a, c (only y is new)}, flaky {g}, quarantined {h}, fixed {b},
//      lost {f}, added {e, h}, removed {d}
//
// A failed check that did not fail in the base is a new failure, also when
// its object failed already; a check is known by its expression, so when
// more checks of one expression fail than did, the extra ones are new. An
// object that failed without a failed row (a state chart violation, a
// verdict no table shows) is new when it did not fail in the base. An
// object executed in the base and not executed now is lost: a test program
// that stopped early leaves exactly this. A new failure of a flaky object
// is flaky instead, and every failure of a quarantined object quarantined.
// Failed verdicts that a report counts beyond its failed objects have no
// identity: only a growth of their number is new.
#pragma once

#include "export/history/history_store.h"

#include <string>
#include <vector>

enum FailureClass : uint8_t {
  FailureNew,
  FailureFlaky,
  FailureQuarantined,
  FailureStill  // failed in the base as it fails now
};

struct FailedObject {
  size_t object = 0;  // index into the new run's objects
  FailureClass kind = FailureStill;
  // Beside each check line of the object (RunObject::checks): whether it
  // failed anew. A flaky or quarantined object keeps the marks it would
  // have had.
  std::vector<bool> newChecks;
  int64_t failingSince = 0;  // the run its streak began in; 0 when unknown or new
};

struct RunDiff {
  std::vector<FailedObject> failed;  // every failed object of the new run, in its order
  // Indices into the new run's objects.
  std::vector<size_t> lost, fixed, added;
  // Indices into the base run's objects: what went, and beside fixed and
  // lost what they were in the base.
  std::vector<size_t> removed, fixedBefore, lostBefore;
  // Failed verdicts that the new report counts but lists in no table,
  // beyond those of the base: new failures without an object.
  int64_t unlistedNew = 0;
};

// The words the object's failure line (of its check lines, or its one line)
// begins with: "new failure", "flaky", "quarantined", or "" for one that
// failed before as it fails now.
const char* failureMark(const FailedObject& failed, size_t line);

// Objects whose failures do not gate, by their flags beside the new run's
// objects (empty: none): flaky ones and quarantined ones.
struct FailureExcuses {
  std::vector<bool> flaky;
  std::vector<bool> quarantined;
};

RunDiff diffRuns(const VerdictTotals& baseTotals, const std::vector<RunObject>& base,
                 const VerdictTotals& nowTotals, const std::vector<RunObject>& now,
                 const FailureExcuses& excuses);

// The counts of the gate, in the order the totals line gives them.
struct GateCounts {
  int64_t fresh = 0, lost = 0, flaky = 0, quarantined = 0, fixed = 0, still = 0, added = 0,
          removed = 0;

  GateCounts& operator+=(const GateCounts& more);
};
GateCounts gateCounts(const RunDiff& diff);

// "New 1, Lost 0, Flaky 1, Quarantined 0, Fixed 0, Still failing 1,
// Added 0, Removed 0" and a line feed.
std::string gateLine(const GateCounts& counts);

// What the gate fails on (--fail-on): a comma list of new, lost, flaky, or
// any or none.
struct FailOn {
  bool fresh = true, lost = true, flaky = false;
  bool any = false;  // every failed verdict of the report
};
// False, with why, for another list.
bool parseFailOn(const std::string& list, FailOn* failOn, std::string* error);
// The kinds above 0 that the gate fails on, in words: "1 new failure",
// "2 lost"; empty when the gate passes. reportFailed: the report's failed
// total, for any.
std::vector<std::string> gateReasons(const GateCounts& counts, const FailOn& failOn,
                                     int64_t reportFailed);
