// The reports against their history: their own run, the trend of their
// branch, and per part its base, the base's objects, the statuses of the
// failed objects over the strips' runs, and the streaks of what still
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

bool disagrees(uint8_t seen) {
  const uint8_t both = (1 << StatusPassed) | (1 << StatusFailed);
  return (seen & both) == both;
}

// What one part's judgement reads, beside the store.
struct PartQuery {
  const RunHistoryQuery& query;
  const RunHistory& run;
  const PartRun& part;
  const std::string& name() const { return part.run->part; }
  int64_t before() const { return run.recorded ? run.own.id : 0; }
};

// The newest count runs of branch (every branch when null) before the
// reports' run that hold the part.
bool partRuns(HistoryStore& store, const PartQuery& q, const std::string* branch, size_t count,
              std::vector<RunInfo>* runs, std::string* error) {
  RunFilter filter;
  filter.branch = branch;
  filter.part = &q.name();
  return store.runsBefore(filter, q.before(), count, runs) || (*error = store.error(), false);
}

// The base: the run asked for, else the newest run of the base branch
// that holds the part, else one recorded before runs had branches.
bool findBase(HistoryStore& store, const PartQuery& q, ReportHistory* part, std::string* error) {
  if (q.query.baseRun > 0) {
    if (!store.runWithId(q.query.baseRun, &part->base, &part->haveBase)) {
      *error = store.error();
      return false;
    }
    if (!part->haveBase) *error = "no run " + std::to_string(q.query.baseRun);
    return part->haveBase;
  }
  static const std::string kNoBranch;
  std::vector<RunInfo> base;
  if (!partRuns(store, q, &q.query.baseBranch, 1, &base, error) ||
      (base.empty() && !q.query.baseBranch.empty() && !partRuns(store, q, &kNoBranch, 1, &base, error)))
    return false;
  part->haveBase = !base.empty();
  if (part->haveBase) part->base = base.back();
  return true;
}

// Per failed object (keys beside failed): the statuses over the last runs
// before the reports', those of the reports' own run appended when it is
// recorded.
bool lastStatuses(HistoryStore& store, const PartQuery& q, const std::string* branch,
                  const std::vector<std::string>& keys, std::vector<int64_t>* ids,
                  std::vector<RunStatus>* statuses, std::string* error) {
  std::vector<RunInfo> runs;
  if (!partRuns(store, q, branch, kStripRuns - 1, &runs, error)) return false;
  for (const RunInfo& run : runs) ids->push_back(run.id);
  if (q.run.recorded) ids->push_back(q.run.own.id);
  return store.statuses(q.name(), keys, *ids, statuses) || (*error = store.error(), false);
}

// The strips of the failed objects (their branch's runs) and whether each
// is flaky: its status changed twice or more in the last runs of every
// branch, or attempts of one run disagree.
bool readStrips(HistoryStore& store, const PartQuery& q, ReportHistory* part,
                std::vector<bool>* flaky, std::string* error) {
  const NewRun& report = *q.part.run;
  std::vector<std::string> keys;
  std::vector<size_t> failed;
  for (size_t i = 0; i < report.objects.size(); ++i) {
    if (report.objects[i].status != StatusFailed) continue;
    keys.push_back(report.objects[i].key);
    failed.push_back(i);
  }
  std::vector<int64_t> branchIds, allIds;
  std::vector<RunStatus> branchRows, allRows;
  if (!lastStatuses(store, q, &q.query.branch, keys, &branchIds, &branchRows, error) ||
      !lastStatuses(store, q, nullptr, keys, &allIds, &allRows, error))
    return false;
  const size_t shown = branchIds.size() - (q.run.recorded ? 1 : 0);
  flaky->assign(report.objects.size(), false);
  for (size_t k = 0; k < keys.size(); ++k) {
    FailureStrip strip{failed[k], {}};
    for (size_t r = 0; r < shown; ++r) strip.strip.push_back(branchRows[k * branchIds.size() + r].last);
    strip.strip.push_back(StatusFailed);
    std::vector<ObjectStatus> every;
    bool mixed = false;
    for (size_t r = 0; r < allIds.size(); ++r) {
      const RunStatus& status = allRows[k * allIds.size() + r];
      mixed = mixed || disagrees(status.seen);
      if (allIds[r] != q.run.own.id || !q.run.recorded) every.push_back(status.last);
    }
    every.push_back(StatusFailed);
    // The reports' run with an attempt of the part that passed: attempts disagree.
    if (q.run.recorded) mixed = mixed || (allRows[k * allIds.size() + allIds.size() - 1].seen & (1 << StatusPassed));
    (*flaky)[failed[k]] = mixed || changes(every) >= 2;
    part->strips.push_back(std::move(strip));
  }
  return true;
}

// The first runs of the streaks of the failed objects (those that failed
// in the base too have one, also when a check of theirs is new).
bool readStreaks(HistoryStore& store, const PartQuery& q, ReportHistory* part,
                 std::string* error) {
  std::vector<std::string> keys;
  for (const FailedObject& failed : part->diff.failed) keys.push_back(q.part.run->objects[failed.object].key);
  std::vector<int64_t> since;
  if (!store.failingSince(q.name(), keys, part->base.id, part->base.branch, &since)) {
    *error = store.error();
    return false;
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    part->diff.failed[k].failingSince = since[k];
    if (since[k] <= 0 || part->sinceRuns.count(since[k])) continue;
    RunInfo run;
    bool found = false;
    if (!store.runWithId(since[k], &run, &found)) {
      *error = store.error();
      return false;
    }
    if (found) part->sinceRuns[since[k]] = run;
  }
  return true;
}

bool loadPart(HistoryStore& store, const PartQuery& q, ReportHistory* part, std::string* error) {
  const NewRun& report = *q.part.run;
  part->part = report.part;
  if (!findBase(store, q, part, error)) return false;
  if (part->haveBase && !store.runObjects(part->base.id, report.part, &part->baseObjects)) {
    *error = store.error();
    return false;
  }
  FailureExcuses excuses;
  if (q.part.quarantined) excuses.quarantined = *q.part.quarantined;
  if (!readStrips(store, q, part, &excuses.flaky, error)) return false;
  part->diff = diffRuns(part->haveBase ? part->base.totals : VerdictTotals(), part->baseObjects,
                        report.info.totals, report.objects, excuses);
  return !part->haveBase || readStreaks(store, q, part, error);
}

// The parts of the base branch's newest run before this one that this
// run does not hold.
bool findMissingParts(HistoryStore& store, const std::vector<PartRun>& parts,
                      const RunHistoryQuery& query, RunHistory* history, std::string* error) {
  RunFilter filter;
  filter.branch = &query.baseBranch;
  std::vector<RunInfo> base;
  std::vector<PartInfo> baseParts;
  if (!store.runsBefore(filter, history->recorded ? history->own.id : 0, 1, &base) ||
      (!base.empty() && !store.runParts(base.back().id, &baseParts))) {
    *error = store.error();
    return false;
  }
  for (const PartInfo& held : baseParts) {
    const bool here = std::any_of(parts.begin(), parts.end(),
                                  [&](const PartRun& part) { return part.run->part == held.name; });
    if (!here) history->missingParts.push_back(held.name);
  }
  return true;
}

// The reports as the run they make: their summed totals, the first one's
// time and label.
RunInfo runOfParts(const std::vector<PartRun>& parts) {
  RunInfo run = parts.empty() ? RunInfo() : parts.front().run->info;
  run.totals = VerdictTotals();
  for (const PartRun& part : parts) run.totals += part.run->info.totals;
  return run;
}

}  // namespace

bool findOwnRun(HistoryStore& store, const RunHistoryQuery& query, RunInfo* own, bool* found,
                std::string* error) {
  *found = false;
  auto failed = [&] {
    *error = store.error();
    return false;
  };
  if (!query.runKey.empty()) return store.runWithKey(query.runKey, own, found) || failed();
  if (query.content.empty()) return true;
  if (!store.runWithContent(query.content, own, found)) return failed();
  bool untagged = false;
  if (*found || query.reportPath.empty()) return true;
  if (!store.holdsUntaggedContent(&untagged)) return failed();
  std::string legacy;
  if (!untagged) return true;
  if (!legacyReportDigest(query.reportPath, &legacy, error)) return false;
  return store.runWithContent(legacy, own, found) || failed();
}

bool loadRunHistory(HistoryStore& store, const std::vector<PartRun>& parts, const RunHistoryQuery& query,
                    RunHistory* history, std::string* error) {
  if (!findOwnRun(store, query, &history->own, &history->recorded, error)) return false;
  if (!history->recorded) history->own = runOfParts(parts);
  RunFilter branch;
  branch.branch = &query.branch;
  if (!store.runsBefore(branch, history->recorded ? history->own.id : 0, kTrendRuns - 1,
                        &history->trend)) {
    *error = store.error();
    return false;
  }
  history->trend.push_back(history->own);
  for (const PartRun& part : parts) {
    history->parts.emplace_back();
    if (!loadPart(store, PartQuery{query, *history, part}, &history->parts.back(), error)) return false;
  }
  return query.baseRun > 0 || findMissingParts(store, parts, query, history, error);
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
