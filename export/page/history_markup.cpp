// The history section of the page; see history_markup.h for its shape.
#include "export/page/history_markup.h"

#include "export/history/report_run.h"
#include "export/page/page_markup.h"
#include "support/report_format.h"

#include <algorithm>
#include <map>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  appendEscapedHtml(&out, text);
  return out;
}

std::string number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string nameOf(const RunInfo& run, const PageLabels& labels) {
  return run.id == 0 ? labels.thisReport : runName(run, fill(labels.run, run.id));
}

// One column per run, its height the run's total against the largest, split
// into passed (bottom), inconclusive and failed (top).
std::string trendChart(const std::vector<RunInfo>& runs, const PageLabels& labels) {
  const double height = 100, column = 10, width = 8;
  int64_t largest = 1;
  for (const RunInfo& run : runs) {
    const VerdictTotals& t = run.totals;
    if (t.passed >= 0 && t.inconclusive >= 0 && t.failed >= 0)
      largest = std::max(largest, t.passed + t.inconclusive + t.failed);
  }
  std::string s = "<svg class=\"bar trend\" viewBox=\"0 0 " +
                  number(column * static_cast<double>(runs.size())) + " " + number(height) +
                  "\" preserveAspectRatio=\"none\" width=\"100%\" height=\"120\" role=\"img\" "
                  "aria-label=\"" + escaped(fill(labels.trendChart, static_cast<long long>(runs.size()))) +
                  "\">\n";
  for (size_t i = 0; i < runs.size(); ++i) {
    const VerdictTotals& t = runs[i].totals;
    s += "<g><title>" + escaped(nameOf(runs[i], labels)) + ": " +
         escaped(fillText(labels.runTotals, {std::to_string(t.passed), std::to_string(t.inconclusive),
                                             std::to_string(t.failed), std::to_string(t.total)})) +
         "</title>";
    const int64_t parts[] = {t.passed, t.inconclusive, t.failed};
    static const char* const kClasses[] = {"passed", "inconclusive", "failed"};
    double bottom = height;
    for (int p = 0; p < 3; ++p) {
      if (parts[p] <= 0) continue;
      const double h = height * static_cast<double>(parts[p]) / static_cast<double>(largest);
      bottom = std::max(0.0, bottom - h);
      s += "<rect class=\"" + std::string(kClasses[p]) + "\" x=\"" +
           number(column * static_cast<double>(i)) + "\" y=\"" + number(bottom) + "\" width=\"" +
           number(width) + "\" height=\"" + number(h) + "\"/>";
    }
    s += "</g>\n";
  }
  s += "</svg>\n<p class=\"meta\">" +
       escaped(fillText(labels.trendRuns, {std::to_string(runs.size()), nameOf(runs.front(), labels),
                                           nameOf(runs.back(), labels)})) +
       "</p>\n";
  return s;
}

std::string sectionStart(const PageLabels& labels) {
  return "<section id=\"history\" aria-label=\"" + escaped(labels.history) + "\">\n<h2>" +
         escaped(labels.history) + "</h2>\n";
}

}  // namespace

namespace {

std::string objectItem(const std::vector<RunObject>& objects, const std::vector<SourceLink>& locations,
                       const std::vector<int>& nodes, size_t i, const std::string& what) {
  std::string s = "<li><a class=\"path\" href=\"#n" + std::to_string(nodes[i]) + "\">" +
                  escaped(objects[i].path) + "</a>";
  const std::string place = locationText(locations[i]);
  if (!place.empty()) s += " <span class=\"location\">" + escaped(place) + "</span>";
  return s + (what.empty() ? "" : " <span class=\"type\">" + escaped(what) + "</span>") + "</li>\n";
}

// "size() == 2 (failed 1 of 1 executions)": the first check line that
// failed anew, else the first, in words.
std::string checkWords(const RunObject& object, const FailedObject& failed) {
  size_t from = 0, line = 0;
  for (; line < failed.newChecks.size() && !failed.newChecks[line]; ++line)
    from = object.checks.find('\n', from) + 1;
  if (line == failed.newChecks.size()) from = 0;
  std::string text = object.checks.substr(from, object.checks.find('\n', from) - from);
  const size_t tab = text.find('\t');
  if (tab != std::string::npos) text[tab] = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

BadgeKind badgeKind(FailureClass kind) {
  switch (kind) {
    case FailureNew: return BadgeNew;
    case FailureFlaky: return BadgeFlaky;
    case FailureQuarantined: return BadgeQuarantined;
    case FailureStill: break;
  }
  return BadgeFailingSince;
}

std::string gateMarkup(const RunDiff& diff, const PageLabels& labels) {
  const GateCounts c = gateCounts(diff);
  std::vector<std::string> counts;
  for (const int64_t n : {c.fresh, c.lost, c.flaky, c.quarantined, c.fixed, c.still, c.added, c.removed})
    counts.push_back(std::to_string(n));
  return "<p class=\"gate\">" + escaped(fillText(labels.gate, counts)) + "</p>\n";
}

}  // namespace

PageHistory historyMarkup(const ReportHistory& history, const std::vector<RunObject>& objects,
                          const std::vector<SourceLink>& locations, const std::vector<int>& nodes,
                          const PageLabels& labels) {
  PageHistory page;
  std::string& s = page.section;
  const RunDiff& diff = history.diff;
  s = sectionStart(labels) + trendChart(history.trend, labels) + gateMarkup(diff, labels);
  std::string fresh;
  int64_t freshCount = 0;
  for (const FailedObject& failed : diff.failed) {
    if (failed.kind != FailureNew) continue;
    ++freshCount;
    fresh += objectItem(objects, locations, nodes, failed.object, checkWords(objects[failed.object], failed));
  }
  s += "<h3>" + escaped(labels.newFailures) + " <span class=\"count\">" +
       std::to_string(freshCount) + "</span></h3>\n";
  if (fresh.empty()) {
    const std::string base = history.haveBase ? nameOf(history.base, labels) : labels.emptyHistory;
    s += "<p class=\"none\">" + escaped(fillText(labels.noNewFailure, {base})) + "</p>\n";
  } else {
    s += "<ul class=\"new-failures\">\n" + fresh + "</ul>\n";
  }
  if (!diff.lost.empty()) {
    s += "<h3>" + escaped(labels.lost) + " <span class=\"count\">" +
         std::to_string(diff.lost.size()) + "</span></h3>\n<ul class=\"lost\">\n";
    for (const size_t i : diff.lost) s += objectItem(objects, locations, nodes, i, "");
    s += "</ul>\n";
  }
  // Badges name the run a streak began in by its number; its label and
  // time stand once, below the table.
  std::map<size_t, const std::vector<ObjectStatus>*> strips;
  for (const FailureStrip& strip : history.strips) strips[strip.object] = &strip.strip;
  std::vector<size_t> objectOf;
  for (const FailedObject& failed : diff.failed) {
    const auto strip = strips.find(failed.object);
    NodeBadge badge{nodes[failed.object], badgeKind(failed.kind), "", {}};
    if (strip != strips.end()) badge.strip = *strip->second;
    if (badge.kind == BadgeFailingSince) badge.since = fill(labels.run, failed.failingSince);
    page.badges.push_back(std::move(badge));
    objectOf.push_back(failed.object);
  }
  if (!page.badges.empty()) {
    s += "<h3>" + escaped(labels.againstHistory) + "</h3>\n<table class=\"information history\">\n"
         "<tr><th>" + escaped(labels.test) + "</th><th>" + escaped(labels.since) + "</th><th>" +
         escaped(labels.lastRuns) + "</th></tr>\n";
    for (size_t k = 0; k < page.badges.size(); ++k)
      s += "<tr><td>" + escaped(objects[objectOf[k]].path) + "</td><td>" +
           badgeWordMarkup(page.badges[k], labels) + "</td><td>" +
           stripMarkup(page.badges[k].strip, labels) + "</td></tr>\n";
    s += "</table>\n";
  }
  std::string named;
  for (const auto& run : history.sinceRuns) named += (named.empty() ? "" : "; ") + nameOf(run.second, labels);
  if (!named.empty()) s += "<p class=\"meta\">" + escaped(fillText(labels.runsNamed, {named})) + "</p>\n";
  s += "</section>\n";
  // The tree and the failures list look badges up by node.
  std::stable_sort(page.badges.begin(), page.badges.end(),
                   [](const NodeBadge& a, const NodeBadge& b) { return a.node < b.node; });
  return page;
}

std::string headerTrendMarkup(const std::vector<RunInfo>& runs, const PageLabels& labels) {
  std::string s = sectionStart(labels);
  if (runs.empty()) return s + "<p class=\"none\">" + escaped(labels.noHeaderSummary) + "</p>\n</section>\n";
  return s + trendChart(runs, labels) + "</section>\n";
}

namespace {

// A value of the test summary: "Passed=6" with its key, a count of at most
// ten digits.
bool summaryValue(const std::string& line, const char* key, int64_t* value) {
  const size_t length = strlen(key);
  if (line.compare(0, length, key) != 0 || line.size() == length || line.size() > length + 10)
    return false;
  int64_t v = 0;
  for (size_t i = length; i < line.size(); ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    v = v * 10 + (line[i] - '0');
  }
  *value = v;
  return true;
}

}  // namespace

bool readHeaderTotals(const std::string& path, std::vector<RunInfo>* runs, std::string* error) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) {
    *error = std::string("cannot open: ") + strerror(errno);
    return false;
  }
  // Lines are read in bounded pieces; a longer line is no summary line.
  char buffer[64];
  std::string line;
  int next = -1;  // the summary line expected next, -1 outside a summary
  RunInfo run;
  int64_t number = 0;
  while (fgets(buffer, sizeof buffer, file)) {
    line = buffer;
    const bool whole = !line.empty() && line.back() == '\n';
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!whole && !feof(file)) {
      // Skip the rest of a long line.
      int c;
      while ((c = fgetc(file)) != EOF && c != '\n') {
      }
      next = -1;
      continue;
    }
    if (line == report_format::kTestSummary) {
      next = 0;
      run = RunInfo();
      continue;
    }
    int64_t value = 0;
    if (next < 0 || !summaryValue(line, report_format::kTestSummaryKeys[next], &value)) {
      next = -1;
      continue;
    }
    int64_t* fields[] = {&run.totals.passed, &run.totals.inconclusive, &run.totals.failed,
                         &run.totals.total};
    *fields[next] = value;
    if (++next < 4) continue;
    next = -1;
    run.id = ++number;
    runs->push_back(run);
    if (runs->size() > 2 * kTrendRuns) runs->erase(runs->begin(), runs->end() - kTrendRuns);
  }
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) {
    *error = "cannot read";
    return false;
  }
  if (runs->size() > kTrendRuns) runs->erase(runs->begin(), runs->end() - kTrendRuns);
  return true;
}
