// Matching two runs by key: one keyed table of the base, one pass over the
// new run, one over the base for what went away; within a failed object,
// its check lines against the base's by expression.
#include "export/history/run_diff.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

int64_t unlisted(const VerdictTotals& totals, const std::vector<RunObject>& objects) {
  int64_t failed = 0;
  for (const RunObject& object : objects) failed += object.status == StatusFailed;
  return totals.failed > failed ? totals.failed - failed : 0;
}

// The check lines of RunObject::checks; a line without a tab is the
// object's title (it failed without a failed row).
std::vector<std::string_view> checkLines(const std::string& checks) {
  std::vector<std::string_view> lines;
  size_t from = 0;
  while (from <= checks.size() && !checks.empty()) {
    const size_t end = std::min(checks.find('\n', from), checks.size());
    lines.push_back(std::string_view(checks).substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

bool isCheck(std::string_view line) { return line.find('\t') != std::string_view::npos; }
std::string_view expressionOf(std::string_view line) { return line.substr(0, line.find('\t')); }

// Which of now's check lines failed anew against the base's, when both
// failed: per expression, the ones beyond the base's number of them.
std::vector<bool> newChecks(const std::string& now, const std::string* base) {
  const std::vector<std::string_view> lines = checkLines(now);
  std::vector<bool> fresh(lines.size(), base == nullptr);
  if (!base) return fresh;
  std::unordered_map<std::string_view, int64_t> before;
  for (const std::string_view line : checkLines(*base))
    if (isCheck(line)) ++before[expressionOf(line)];
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!isCheck(lines[i])) continue;  // the object as a whole: it failed before
    int64_t& left = before[expressionOf(lines[i])];
    if (left > 0) --left;
    else fresh[i] = true;
  }
  return fresh;
}

bool flagged(const std::vector<bool>& flags, size_t i) { return i < flags.size() && flags[i]; }

}  // namespace

RunDiff diffRuns(const VerdictTotals& baseTotals, const std::vector<RunObject>& base,
                 const VerdictTotals& nowTotals, const std::vector<RunObject>& now,
                 const FailureExcuses& excuses) {
  std::unordered_map<std::string_view, size_t> inBase;
  inBase.reserve(base.size());
  for (size_t i = 0; i < base.size(); ++i) inBase.emplace(base[i].key, i);
  std::unordered_map<std::string_view, bool> inNew;
  inNew.reserve(now.size());
  RunDiff diff;
  for (size_t i = 0; i < now.size(); ++i) {
    const RunObject& object = now[i];
    // A key seen twice (never, short of a digest collision) is the first's.
    const bool first = inNew.emplace(object.key, true).second;
    const auto found = first ? inBase.find(object.key) : inBase.end();
    const RunObject* before = found == inBase.end() ? nullptr : &base[found->second];
    if (first && !before) diff.added.push_back(i);
    const bool wasFailed = before && before->status == StatusFailed;
    if (object.status == StatusFailed) {
      FailedObject failed{i, FailureStill, newChecks(object.checks, wasFailed ? &before->checks : nullptr), 0};
      const bool fresh = std::find(failed.newChecks.begin(), failed.newChecks.end(), true) !=
                         failed.newChecks.end();
      if (flagged(excuses.quarantined, i)) failed.kind = FailureQuarantined;
      else if (fresh) failed.kind = flagged(excuses.flaky, i) ? FailureFlaky : FailureNew;
      diff.failed.push_back(std::move(failed));
    } else if (object.status == StatusNotExecuted && before && before->status != StatusNotExecuted) {
      diff.lost.push_back(i);
      diff.lostBefore.push_back(found->second);
    } else if (object.status == StatusPassed && wasFailed) {
      diff.fixed.push_back(i);
      diff.fixedBefore.push_back(found->second);
    }
  }
  for (size_t i = 0; i < base.size(); ++i)
    if (!inNew.count(base[i].key) && inBase.find(base[i].key)->second == i) diff.removed.push_back(i);
  diff.unlistedNew = std::max<int64_t>(0, unlisted(nowTotals, now) - unlisted(baseTotals, base));
  return diff;
}

const char* failureMark(const FailedObject& failed, size_t line) {
  switch (failed.kind) {
    case FailureNew: return line < failed.newChecks.size() && failed.newChecks[line] ? "new failure" : "";
    case FailureFlaky: return "flaky";
    case FailureQuarantined: return "quarantined";
    case FailureStill: break;
  }
  return "";
}

GateCounts gateCounts(const RunDiff& diff) {
  GateCounts counts;
  for (const FailedObject& failed : diff.failed) {
    switch (failed.kind) {
      case FailureNew: ++counts.fresh; break;
      case FailureFlaky: ++counts.flaky; break;
      case FailureQuarantined: ++counts.quarantined; break;
      case FailureStill: ++counts.still; break;
    }
  }
  counts.fresh += diff.unlistedNew;
  counts.lost = static_cast<int64_t>(diff.lost.size());
  counts.fixed = static_cast<int64_t>(diff.fixed.size());
  counts.added = static_cast<int64_t>(diff.added.size());
  counts.removed = static_cast<int64_t>(diff.removed.size());
  return counts;
}

GateCounts& GateCounts::operator+=(const GateCounts& more) {
  fresh += more.fresh;
  lost += more.lost;
  flaky += more.flaky;
  quarantined += more.quarantined;
  fixed += more.fixed;
  still += more.still;
  added += more.added;
  removed += more.removed;
  return *this;
}

std::string gateLine(const GateCounts& c) {
  return "New " + std::to_string(c.fresh) + ", Lost " + std::to_string(c.lost) + ", Flaky " +
         std::to_string(c.flaky) + ", Quarantined " + std::to_string(c.quarantined) + ", Fixed " +
         std::to_string(c.fixed) + ", Still failing " + std::to_string(c.still) + ", Added " +
         std::to_string(c.added) + ", Removed " + std::to_string(c.removed) + "\n";
}

bool parseFailOn(const std::string& list, FailOn* failOn, std::string* error) {
  *failOn = FailOn{false, false, false, false};
  size_t from = 0;
  bool alone = false;  // any or none, which take no company
  int words = 0;
  while (from <= list.size()) {
    const size_t end = std::min(list.find(',', from), list.size());
    const std::string word = list.substr(from, end - from);
    from = end + 1;
    ++words;
    if (word == "new") failOn->fresh = true;
    else if (word == "lost") failOn->lost = true;
    else if (word == "flaky") failOn->flaky = true;
    else if (word == "any") failOn->any = alone = true;
    else if (word == "none") alone = true;
    else {
      *error = "unknown --fail-on " + word + " (new, lost, flaky, any, none)";
      return false;
    }
  }
  if (alone && words > 1) {
    *error = "--fail-on " + list + ": any and none stand alone";
    return false;
  }
  return true;
}

std::vector<std::string> gateReasons(const GateCounts& counts, const FailOn& failOn,
                                     int64_t reportFailed) {
  std::vector<std::string> reasons;
  auto add = [&](bool wanted, int64_t count, const char* one, const char* many) {
    if (wanted && count > 0) reasons.push_back(std::to_string(count) + " " + (count == 1 ? one : many));
  };
  add(failOn.fresh, counts.fresh, "new failure", "new failures");
  add(failOn.lost, counts.lost, "lost", "lost");
  add(failOn.flaky, counts.flaky, "flaky", "flaky");
  add(failOn.any, reportFailed, "failed verdict", "failed verdicts");
  return reasons;
}
