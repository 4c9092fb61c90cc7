// The report against its history: its own run, the base, the runs of the
// trend and the strip, the base's objects, the statuses of the report's
// failed objects over the strip's runs, and the streaks of what still
// fails.
#include "export/history/report_history.h"

#include "export/history/report_run.h"

#include <algorithm>

namespace {

// Changes between consecutive statuses, runs without the object skipped.
int changes(const std::vector<ObjectStatus>& strip) {
  int count = 0;
  ObjectStatus last = StatusAbsent;
  for (const ObjectStatus status : strip) {
    if (status == StatusAbsent) continue;
    if (last != StatusAbsent && status != last) ++count;
    last = status;
  }
  return count;
}

bool disagrees(const RunStatus& status) {
  const uint8_t both = (1 << StatusPassed) | (1 << StatusFailed);
  return (status.seen & both) == both;
}

// The report's own run: by its run key, else by its bytes (the digest of
// today, then the earlier one where the history holds runs made with it).
bool findOwnRun(HistoryStore& store, const HistoryQuery& query, RunInfo* own, bool* found,
                std::string* error) {
  *found = false;
  if (!query.runKey.empty()) return store.runWithKey(query.runKey, own, found) || (*error = store.error(), false);
  if (query.content.empty()) return true;
  if (!store.runWithContent(query.content, own, found)) {
    *error = store.error();
    return false;
  }
  bool untagged = false;
  if (*found || query.reportPath.empty()) return true;
  if (!store.holdsUntaggedContent(&untagged)) {
    *error = store.error();
    return false;
  }
  std::string legacy;
  if (!untagged) return true;
  if (!legacyReportDigest(query.reportPath, &legacy, error)) return false;
  return store.runWithContent(legacy, own, found) || (*error = store.error(), false);
}

// The base: the run asked for, else the newest before the report's.
bool findBase(HistoryStore& store, const HistoryQuery& query, const std::vector<RunInfo>& before,
              ReportHistory* history, std::string* error) {
  if (query.baseRun > 0) {
    if (!store.runWithId(query.baseRun, &history->base, &history->haveBase)) {
      *error = store.error();
      return false;
    }
    if (!history->haveBase) *error = "no run " + std::to_string(query.baseRun);
    return history->haveBase;
  }
  history->haveBase = !before.empty();
  if (history->haveBase) history->base = before.back();
  return true;
}

// The strips of the failed objects and whether each is flaky: its status
// changed twice or more in its last runs, or attempts of one run disagree.
bool readStrips(HistoryStore& store, const NewRun& report, const std::vector<RunInfo>& before,
                ReportHistory* history, std::vector<bool>* flaky, std::string* error) {
  std::vector<std::string> keys;
  std::vector<size_t> failed;
  for (size_t i = 0; i < report.objects.size(); ++i) {
    if (report.objects[i].status != StatusFailed) continue;
    keys.push_back(report.objects[i].key);
    failed.push_back(i);
  }
  std::vector<int64_t> ids;
  const size_t from = before.size() > kStripRuns - 1 ? before.size() - (kStripRuns - 1) : 0;
  for (size_t r = from; r < before.size(); ++r) ids.push_back(before[r].id);
  if (history->recorded) ids.push_back(history->own.id);
  std::vector<RunStatus> statuses;
  if (!store.statuses(keys, ids, &statuses)) {
    *error = store.error();
    return false;
  }
  const size_t width = ids.size();
  const size_t shown = width - (history->recorded ? 1 : 0);
  flaky->assign(report.objects.size(), false);
  for (size_t k = 0; k < keys.size(); ++k) {
    const RunStatus* row = statuses.data() + k * width;
    FailureStrip strip{failed[k], {}};
    bool mixed = false;
    for (size_t r = 0; r < width; ++r) mixed = mixed || disagrees(row[r]);
    for (size_t r = 0; r < shown; ++r) strip.strip.push_back(row[r].last);
    strip.strip.push_back(StatusFailed);
    // The report's run with an attempt that passed: attempts disagree.
    if (history->recorded) mixed = mixed || (row[width - 1].seen & (1 << StatusPassed));
    (*flaky)[failed[k]] = mixed || changes(strip.strip) >= 2;
    history->strips.push_back(std::move(strip));
  }
  return true;
}

// The first runs of the streaks of the failed objects (those that failed
// in the base too have one, also when a check of theirs is new).
bool readStreaks(HistoryStore& store, const NewRun& report, ReportHistory* history,
                 std::string* error) {
  std::vector<std::string> keys;
  std::vector<FailedObject*> streaks;
  for (FailedObject& failed : history->diff.failed) {
    keys.push_back(report.objects[failed.object].key);
    streaks.push_back(&failed);
  }
  std::vector<int64_t> since;
  if (!store.failingSince(keys, history->base.id, &since)) {
    *error = store.error();
    return false;
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    streaks[k]->failingSince = since[k];
    if (since[k] <= 0 || history->sinceRuns.count(since[k])) continue;
    RunInfo run;
    bool found = false;
    if (!store.runWithId(since[k], &run, &found)) {
      *error = store.error();
      return false;
    }
    if (found) history->sinceRuns[since[k]] = run;
  }
  return true;
}

}  // namespace

bool loadReportHistory(HistoryStore& store, const NewRun& report, const HistoryQuery& query,
                       ReportHistory* history, std::string* error) {
  if (!findOwnRun(store, query, &history->own, &history->recorded, error)) return false;
  if (!history->recorded) history->own = report.info;
  std::vector<RunInfo> before;
  if (!store.runsBefore(history->recorded ? history->own.id : 0, kTrendRuns - 1, &before)) {
    *error = store.error();
    return false;
  }
  if (!findBase(store, query, before, history, error)) return false;
  if (history->haveBase && !store.runObjects(history->base.id, &history->baseObjects)) {
    *error = store.error();
    return false;
  }
  FailureExcuses excuses;
  excuses.quarantined = query.quarantined;
  if (!readStrips(store, report, before, history, &excuses.flaky, error)) return false;
  history->diff = diffRuns(history->haveBase ? history->base.totals : VerdictTotals(), history->baseObjects,
                           report.info.totals, report.objects, excuses);
  if (history->haveBase && !readStreaks(store, report, history, error)) return false;
  history->trend = std::move(before);
  history->trend.push_back(history->own);
  if (!history->recorded) history->trend.back().id = 0;
  return true;
}

std::string runName(const RunInfo& run) { return runName(run, "run " + std::to_string(run.id)); }

std::string runName(const RunInfo& run, const std::string& numbered) {
  std::string details = singleLine(run.label);
  if (!details.empty() && !run.generated.empty()) details += ", ";
  details += run.generated;
  return numbered + (details.empty() ? "" : " (" + details + ")");
}

std::string stillFailingWords(const ReportHistory& history, const FailedObject& failed) {
  const auto since = history.sinceRuns.find(failed.failingSince);
  return since == history.sinceRuns.end() ? "still failing"
                                          : "still failing since " + runName(since->second);
}
