// A run of reports seen against the run history: which run it is, the run
// each of its parts is compared with, what changed, and for the page the
// trend of its branch's last runs and the last statuses of every failed
// object.
//
//   runs 1..7 recorded; the reports are run 7 (by their run key, else by
//   the first one's bytes) or not recorded (they come after 7)
//   part "stack_test": base run 6, the newest run of the base branch before
//   7 that holds the part (or --run ID)
//     failed object "overflow": failed in 4, 5, 6 -> failing since run 4
//     strip: its branch's last 10 statuses, oldest first, the report's
//     last; flaky when the last 10 of every branch changed twice or more
//   part "queue_test": in run 6, not in this run -> missing
//
// Only the runs it shows or needs are read: the trend's, the strips', the
// bases' objects and the streaks of what still fails, whatever the length
// of the history.
#pragma once

#include "export/history/run_diff.h"

#include <map>
#include <string>
#include <vector>

constexpr size_t kTrendRuns = 50;
constexpr size_t kStripRuns = 10;

// How the reports' own run is found, and what their parts are compared with.
struct RunHistoryQuery {
  std::string runKey;      // the reports' CI run; "" to find it by the first one's bytes
  std::string content;     // the first report's digest, when there is no run key
  std::string reportPath;  // for the earlier digest, when the history holds such runs
  int64_t baseRun = 0;     // --run ID; 0: the newest run of the base branch before the reports
  std::string branch;      // the reports' branch: the trend's and the streaks'
  std::string baseBranch;  // whose runs a part is compared with
};

struct FailureStrip {
  size_t object = 0;  // index into the report's objects
  // Up to kStripRuns statuses of the branch's runs, oldest first, the report's last.
  std::vector<ObjectStatus> strip;
};

// One part: its report against the run of the base branch that holds it.
struct ReportHistory {
  std::string part;
  bool haveBase = false;  // a run to compare with: base (else all is new)
  RunInfo base;
  std::vector<RunObject> baseObjects;
  RunDiff diff;
  std::vector<FailureStrip> strips;      // beside diff.failed
  std::map<int64_t, RunInfo> sinceRuns;  // the runs that streaks began in
};

// A report of a part as the history judges it.
struct PartRun {
  const NewRun* run = nullptr;  // run->part names the part
  const std::vector<bool>* quarantined = nullptr;  // beside its objects
};

struct RunHistory {
  bool recorded = false;  // the reports are a run of the history: own
  RunInfo own;            // else their run to be (id 0), with their summed totals
  // Up to kTrendRuns runs of the branch, oldest first, the reports' last.
  std::vector<RunInfo> trend;
  std::vector<ReportHistory> parts;  // beside the reports
  // Parts of the base branch's newest run before this one that this run
  // does not hold: a shard that did not report.
  std::vector<std::string> missingParts;
};

// Reads what the history says about the parts (own.totals their sum).
// False, with store.error() or why, when the history cannot be read or the
// base run asked for is missing.
bool loadRunHistory(HistoryStore& store, const std::vector<PartRun>& parts, const RunHistoryQuery& query,
                    RunHistory* history, std::string* error);

// The run's own run alone: by its run key, else by its bytes. False, with
// why, when the history cannot be read.
bool findOwnRun(HistoryStore& store, const RunHistoryQuery& query, RunInfo* own, bool* found,
                std::string* error);

// "run 3 (3f2a9c1, 2026-12-07T09:30:12)"; without a label or a time,
// without it: "run 3 (2026-12-07T09:30:12)", "run 3".
std::string runName(const RunInfo& run);
// The same with the run's number as numbered says it: "Lauf 3 (...)".
std::string runName(const RunInfo& run, const std::string& numbered);

// The failing-since name of a failed object ("still failing since run 3
// (...)"), or "still failing" when its streak is unknown.
std::string stillFailingWords(const ReportHistory& history, const FailedObject& failed);
