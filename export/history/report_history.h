// A report seen against the run history, for the page and the summary:
// the trend of the last runs' totals, the changes against the run before
// the report, and for every failed object of the report a badge and its
// last statuses.
//
//   runs 1..7 recorded, the report is run 7 (or not recorded: it comes after 7)
//   base: run 6      failed object "overflow": failed in 4, 5, 6, 7 -> failing since run 4
//   strip: the last 10 statuses, oldest first: "ppfpfpffff" -> flaky (changed twice or more)
#pragma once

#include "export/history/run_diff.h"

#include <string>
#include <vector>

constexpr size_t kTrendRuns = 50;
constexpr size_t kStripRuns = 10;

enum BadgeKind { BadgeNew, BadgeFailingSince, BadgeFlaky };

struct FailureBadge {
  size_t object = 0;  // index into the report's objects
  BadgeKind kind = BadgeNew;
  RunInfo since;  // the first run of its streak of failures (BadgeFailingSince)
  // Up to kStripRuns statuses, oldest first, the report's last.
  std::vector<ResultStatus> strip;
};

struct ReportHistory {
  // Up to kTrendRuns runs, oldest first; the report last (with id 0 when it
  // is not recorded).
  std::vector<RunInfo> trend;
  RunDiff diff;  // against the run before the report (nothing: all new)
  std::vector<FailureBadge> badges;  // one per failed object, in report order
};

// Reads what the history at path says about report, read from reportPath.
// False, with the error line's text, when the history cannot be read.
bool loadReportHistory(const std::string& path, const std::string& reportPath,
                       const NewRun& report, ReportHistory* history, std::string* error);

// For summary --history: per failed object of the report, in report order,
// whether it is new, and the changes line ("New 2, Fixed 1, ..."). False,
// after the error line, when the report or the history cannot be read.
bool readNewFailures(const std::string& reportPath, const std::string& sourceRoot,
                     const std::string& historyPath,
                     std::vector<bool>* isNew, std::string* changes);
