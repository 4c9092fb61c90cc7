// The report against its history: one read of the runs, one of the base
// run's objects, and the statuses of the report's failed objects over the
// runs before it.
#include "export/history/report_history.h"

#include "export/command_line.h"
#include "export/history/report_run.h"

namespace {

// Changes between consecutive statuses, runs without the object skipped.
int changes(const std::vector<ResultStatus>& strip) {
  int count = 0;
  ResultStatus last = ResultAbsent;
  for (const ResultStatus status : strip) {
    if (status == ResultAbsent) continue;
    if (last != ResultAbsent && status != last) ++count;
    last = status;
  }
  return count;
}

}  // namespace

bool loadReportHistory(const std::string& path, const std::string& reportPath,
                       const NewRun& report, ReportHistory* history, std::string* error) {
  std::unique_ptr<HistoryStore> store = openHistory(path, HistoryRead, error);
  std::vector<RunInfo> runs;
  std::vector<std::string> contents;
  auto fail = [&](const std::string& why) {
    *error = path + ": " + why;
    return false;
  };
  if (!store) return fail(*error);
  if (!store->runs(&runs, &contents)) return fail(store->error());
  // The runs before the report: all of them, or those before its own run.
  int64_t own = -1;
  if (!findOwnRun(runs, contents, reportPath, report.info, &own, error)) return false;
  RunInfo current = report.info;
  current.id = 0;
  if (own >= 0) {
    current = runs[own];
    runs.resize(own);
  }
  std::vector<RunObject> baseObjects;
  if (!runs.empty() && !store->runObjects(runs.back().id, &baseObjects)) return fail(store->error());
  history->diff = diffRuns(runs.empty() ? RunTotals() : runs.back().totals, baseObjects,
                           report.info.totals, report.objects);

  const size_t from = runs.size() > kTrendRuns - 1 ? runs.size() - (kTrendRuns - 1) : 0;
  history->trend.assign(runs.begin() + static_cast<std::ptrdiff_t>(from), runs.end());
  history->trend.push_back(current);

  std::vector<std::string> keys;
  std::vector<int64_t> ids;
  for (const RunInfo& run : runs) ids.push_back(run.id);
  for (size_t i = 0; i < report.objects.size(); ++i) {
    if (report.objects[i].status != ResultFailed) continue;
    keys.push_back(report.objects[i].key);
    history->badges.push_back({i, BadgeNew, RunInfo(), {}});
  }
  std::vector<ResultStatus> statuses;
  if (!store->statuses(keys, ids, &statuses)) return fail(store->error());
  const size_t width = ids.size();
  for (size_t k = 0; k < keys.size(); ++k) {
    FailureBadge& badge = history->badges[k];
    const ResultStatus* row = statuses.data() + k * width;
    const size_t stripFrom = width > kStripRuns - 1 ? width - (kStripRuns - 1) : 0;
    badge.strip.assign(row + stripFrom, row + width);
    badge.strip.push_back(ResultFailed);
    size_t streak = width;
    while (streak > 0 && row[streak - 1] == ResultFailed) --streak;
    if (changes(badge.strip) >= 2) badge.kind = BadgeFlaky;
    else if (streak < width) badge.kind = BadgeFailingSince;
    if (streak < width) badge.since = runs[streak];
  }
  return true;
}

bool readNewFailures(const std::string& reportPath, const std::string& sourceRoot,
                     const std::string& historyPath,
                     std::vector<bool>* isNew, std::string* changes) {
  RunCollector collector;
  ReportHistory history;
  std::string error;
  if (!readReportRun(reportPath, sourceRoot, collector, &error) ||
      !loadReportHistory(historyPath, reportPath, collector.run, &history, &error)) {
    printErrorLine(error);
    return false;
  }
  const std::vector<RunObject>& objects = collector.run.objects;
  std::vector<bool> byObject(objects.size(), false);
  for (const size_t i : history.diff.newFailures) byObject[i] = true;
  for (size_t i = 0; i < objects.size(); ++i)
    if (objects[i].status == ResultFailed) isNew->push_back(byObject[i]);
  *changes = changesLine(history.diff);
  return true;
}
