// A report seen against the run history: which run it is, the run it is
// compared with, what changed, and for the page the trend of the last runs
// and the last statuses of every failed object.
//
//   runs 1..7 recorded; the report is run 7 (by its run key, else by its
//   bytes) or not recorded (it comes after 7)
//   base: run 6 (or --run ID)    failed object "overflow": failed in 4, 5, 6 -> failing since run 4
//   strip: the last 10 statuses, oldest first, the report's last: "ppfpfpffff" -> flaky
//
// Only the runs it shows or needs are read: the trend's, the strip's, the
// base's objects and the streaks of what still fails, whatever the length
// of the history.
#pragma once

#include "export/history/run_diff.h"

#include <map>
#include <string>
#include <vector>

constexpr size_t kTrendRuns = 50;
constexpr size_t kStripRuns = 10;

// How the report's own run is found, and what it is compared with.
struct HistoryQuery {
  std::string runKey;      // the report's CI run; "" to find it by its bytes
  std::string content;     // the report's digest, when there is no run key
  std::string reportPath;  // for the earlier digest, when the history holds such runs
  int64_t baseRun = 0;     // --run ID; 0: the newest run before the report
  std::vector<bool> quarantined;  // beside the report's objects
};

struct FailureStrip {
  size_t object = 0;  // index into the report's objects
  // Up to kStripRuns statuses, oldest first, the report's last.
  std::vector<ObjectStatus> strip;
};

struct ReportHistory {
  bool recorded = false;  // the report is a run of the history: own
  RunInfo own;            // else the report as a run (id 0)
  bool haveBase = false;  // a run to compare with: base (else all is new)
  RunInfo base;
  std::vector<RunObject> baseObjects;
  // Up to kTrendRuns runs, oldest first, the report's last.
  std::vector<RunInfo> trend;
  RunDiff diff;
  std::vector<FailureStrip> strips;  // beside diff.failed
  std::map<int64_t, RunInfo> sinceRuns;  // the runs that streaks began in
};

// Reads what the history says about the report, read into report (its
// key, time and totals in report.info). False, with store.error() or why,
// when the history cannot be read or the base run asked for is missing.
bool loadReportHistory(HistoryStore& store, const NewRun& report, const HistoryQuery& query,
                       ReportHistory* history, std::string* error);

// "run 3 (3f2a9c1, 2026-12-07T09:30:12)"; without a label or a time,
// without it: "run 3 (2026-12-07T09:30:12)", "run 3".
std::string runName(const RunInfo& run);
// The same with the run's number as numbered says it: "Lauf 3 (...)".
std::string runName(const RunInfo& run, const std::string& numbered);

// The failing-since name of a failed object ("still failing since run 3
// (...)"), or "still failing" when its streak is unknown.
std::string stillFailingWords(const ReportHistory& history, const FailedObject& failed);
