// Matching two runs by key: one keyed table of the base, one pass over the
// new run, one over the base for what went away.
#include "export/history/run_diff.h"

#include "export/history/report_run.h"
#include "export/xrd/object_identity.h"
#include "export/xrd/test_objects.h"

#include <algorithm>
#include <cstring>

namespace {

int64_t unlisted(const RunTotals& totals, const std::vector<RunObject>& objects) {
  int64_t failed = 0;
  for (const RunObject& object : objects) failed += object.status == ResultFailed;
  return totals.failed > failed ? totals.failed - failed : 0;
}

}  // namespace

RunDiff diffRuns(const RunTotals& baseTotals, const std::vector<RunObject>& base,
                 const RunTotals& nowTotals, const std::vector<RunObject>& now) {
  std::unordered_map<std::string, size_t, SeededHash> inBase;
  inBase.reserve(base.size());
  for (size_t i = 0; i < base.size(); ++i) inBase.emplace(base[i].key, i);
  std::unordered_map<std::string, bool, SeededHash> inNew;
  inNew.reserve(now.size());
  RunDiff diff;
  for (size_t i = 0; i < now.size(); ++i) {
    if (!inNew.emplace(now[i].key, true).second) continue;
    const auto found = inBase.find(now[i].key);
    const bool failed = now[i].status == ResultFailed;
    const bool wasFailed = found != inBase.end() && base[found->second].status == ResultFailed;
    if (found == inBase.end()) diff.added.push_back(i);
    if (failed && wasFailed) diff.stillFailing.push_back(i);
    else if (failed) diff.newFailures.push_back(i);
    else if (wasFailed) {
      diff.fixed.push_back(i);
      diff.fixedBefore.push_back(found->second);
    }
  }
  for (size_t i = 0; i < base.size(); ++i)
    if (!inNew.count(base[i].key) && inBase.find(base[i].key)->second == i) diff.removed.push_back(i);
  diff.failingSince.assign(diff.stillFailing.size(), 0);
  diff.unlistedNew = std::max<int64_t>(0, unlisted(nowTotals, now) - unlisted(baseTotals, base));
  return diff;
}

bool findFailingSince(HistoryStore& store, const std::vector<RunInfo>& runs, int64_t baseRun,
                      const std::vector<RunObject>& now, RunDiff* diff) {
  std::vector<int64_t> ids;
  for (const RunInfo& run : runs)
    if (run.id <= baseRun) ids.push_back(run.id);
  std::vector<std::string> keys;
  for (const size_t i : diff->stillFailing) keys.push_back(now[i].key);
  std::vector<ResultStatus> statuses;
  if (!store.statuses(keys, ids, &statuses)) return false;
  const size_t width = ids.size();
  for (size_t k = 0; k < keys.size(); ++k) {
    size_t r = width;
    while (r > 0 && statuses[k * width + r - 1] == ResultFailed) --r;
    diff->failingSince[k] = r < width ? ids[r] : baseRun;
  }
  return true;
}

bool findOwnRun(const std::vector<RunInfo>& runs, const std::vector<std::string>& contents,
                const std::string& path, const RunInfo& report, int64_t* own, std::string* error,
                std::string digest) {
  *own = -1;
  std::string legacy;
  for (size_t i = 0; i < runs.size(); ++i) {
    const RunTotals& a = runs[i].totals;
    const RunTotals& b = report.totals;
    if (runs[i].generated != report.generated || a.passed != b.passed ||
        a.inconclusive != b.inconclusive || a.failed != b.failed || a.total != b.total)
      continue;
    // A run recorded with the earlier digest has the untagged one.
    const bool tagged = contents[i].compare(0, strlen(kDigestTag), kDigestTag) == 0;
    std::string& wanted = tagged ? digest : legacy;
    if (wanted.empty() && !(tagged ? reportDigest(path, &wanted, error)
                                   : legacyReportDigest(path, &wanted, error)))
      return false;
    if (contents[i] == wanted) *own = static_cast<int64_t>(i);
  }
  return true;
}

const RunInfo* baseRun(const std::vector<RunInfo>& runs, int64_t own, int64_t wanted,
                       std::string* error) {
  for (size_t i = runs.size(); i-- > 0;) {
    if (wanted > 0 ? runs[i].id == wanted : static_cast<int64_t>(i) != own) return &runs[i];
  }
  *error = wanted > 0 ? "no run " + std::to_string(wanted)
                      : runs.empty() ? "no run recorded yet" : "no run recorded before this report";
  return nullptr;
}

std::string changesLine(const RunDiff& diff) {
  const int64_t fresh = static_cast<int64_t>(diff.newFailures.size()) + diff.unlistedNew;
  return "New " + std::to_string(fresh) + ", Fixed " +
         std::to_string(diff.fixed.size()) + ", Still failing " +
         std::to_string(diff.stillFailing.size()) + ", Added " + std::to_string(diff.added.size()) +
         ", Removed " + std::to_string(diff.removed.size()) + "\n";
}

std::string runName(const RunInfo& run) { return runName(run, "run " + std::to_string(run.id)); }

std::string runName(const RunInfo& run, const std::string& numbered) {
  std::string details = singleLine(run.label);
  if (!details.empty() && !run.generated.empty()) details += ", ";
  details += run.generated;
  return numbered + (details.empty() ? "" : " (" + details + ")");
}

const RunInfo* findRun(const std::vector<RunInfo>& runs, int64_t id) {
  const auto found = std::lower_bound(runs.begin(), runs.end(), id,
                                      [](const RunInfo& run, int64_t id) { return run.id < id; });
  return found != runs.end() && found->id == id ? &*found : nullptr;
}
