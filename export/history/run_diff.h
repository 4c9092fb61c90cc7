// What changed from one run to the next, object by object, matched by
// identity key:
//
//   base: a passed, b failed, c failed, d passed     new: a failed, b passed, c failed, e passed
//   -> new failures {a}, fixed {b}, still failing {c}, added {e}, removed {d}
//
// A failed object that the base did not hold is a new failure and added.
// Failed verdicts that a report counts beyond its failed objects have no
// identity: only a growth of their number is new.
// "Failing since" is the first run of the streak of failed runs that ends
// with the base.
#pragma once

#include "export/history/history_store.h"

#include <string>
#include <vector>

struct RunDiff {
  // Indices into the new run's objects.
  std::vector<size_t> newFailures, fixed, stillFailing, added;
  // Indices into the base run's objects: what went, and beside fixed what
  // failed before.
  std::vector<size_t> removed, fixedBefore;
  // Beside stillFailing: the run whose streak it continues (0 when the base
  // is no recorded run).
  std::vector<int64_t> failingSince;
  // Failed verdicts that the new report counts but lists in no table,
  // beyond those of the base: new failures without an object.
  int64_t unlistedNew = 0;
};

RunDiff diffRuns(const RunTotals& baseTotals, const std::vector<RunObject>& base,
                 const RunTotals& nowTotals, const std::vector<RunObject>& now);

// Fills diff->failingSince from the history, whose runs up to and with
// baseRun are given oldest first. False, with store.error(), when the
// history cannot be read.
bool findFailingSince(HistoryStore& store, const std::vector<RunInfo>& runs, int64_t baseRun,
                      const std::vector<RunObject>& now, RunDiff* diff);

// "run 3 (3f2a9c1, 2026-12-07T09:30:12)"; without a label or a time,
// without it: "run 3 (2026-12-07T09:30:12)", "run 3".
std::string runName(const RunInfo& run);
// The same with the run's number as numbered says it: "Lauf 3 (...)".
std::string runName(const RunInfo& run, const std::string& numbered);

// "New 2, Fixed 1, Still failing 7, Added 3, Removed 0" and a line feed.
std::string changesLine(const RunDiff& diff);

// The run of that number among runs (ascending ids), or null.
const RunInfo* findRun(const std::vector<RunInfo>& runs, int64_t id);

// The position among runs of the run recorded from the report at path, or
// -1. Only a run of the report's time and totals can be it, so the report's
// digest is taken only when there is such a run (digest: the report's, when
// known), and the earlier digest only for such a run recorded with it.
// False, with the error line's text, when the report cannot be read for it.
bool findOwnRun(const std::vector<RunInfo>& runs, const std::vector<std::string>& contents,
                const std::string& path, const RunInfo& report, int64_t* own, std::string* error,
                std::string digest = std::string());

// The run to compare a report with: the newest run that is not the report
// itself (own, from findOwnRun: recording first and comparing after finds
// the run before), or the given one. Null, with *error, when there is none.
const RunInfo* baseRun(const std::vector<RunInfo>& runs, int64_t own, int64_t wanted,
                       std::string* error);
