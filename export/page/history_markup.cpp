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

std::string objectItem(const PartObjects& part, size_t i, const std::string& what) {
  const std::string path = part.name.empty() ? (*part.objects)[i].path
                                             : part.name + " > " + (*part.objects)[i].path;
  std::string s = "<li><a class=\"path\" href=\"#n" + std::to_string(part.nodes[i]) + "\">" +
                  escaped(path) + "</a>";
  const std::string place = locationText((*part.locations)[i]);
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

std::string gateMarkup(const RunHistory& history, const PageLabels& labels) {
  GateCounts c;
  for (const ReportHistory& part : history.parts) c += gateCounts(part.diff);
  std::vector<std::string> counts;
  for (const int64_t n : {c.fresh, c.lost, c.flaky, c.quarantined, c.fixed, c.still, c.added, c.removed})
    counts.push_back(std::to_string(n));
  return "<p class=\"gate\">" + escaped(fillText(labels.gate, counts)) + "</p>\n";
}

// A heading with a count, and the items, or none at all.
std::string listMarkup(const std::string& heading, int64_t count, const char* listClass,
                       const std::string& items) {
  if (items.empty()) return std::string();
  return "<h3>" + escaped(heading) + " <span class=\"count\">" + std::to_string(count) +
         "</span></h3>\n<ul class=\"" + listClass + "\">\n" + items + "</ul>\n";
}

// The new failures and the objects no longer executed, of every part.
std::string changesMarkup(const RunHistory& history, const std::vector<PartObjects>& parts,
                          const PageLabels& labels) {
  std::string fresh, lost;
  int64_t freshCount = 0, lostCount = 0;
  bool haveBase = false;
  for (size_t p = 0; p < parts.size(); ++p) {
    const ReportHistory& part = history.parts[p];
    haveBase = haveBase || part.haveBase;
    for (const FailedObject& failed : part.diff.failed) {
      if (failed.kind != FailureNew) continue;
      ++freshCount;
      fresh += objectItem(parts[p], failed.object, checkWords((*parts[p].objects)[failed.object], failed));
    }
    for (const size_t i : part.diff.lost) {
      ++lostCount;
      lost += objectItem(parts[p], i, "");
    }
  }
  std::string s;
  if (fresh.empty()) {
    const std::string base = haveBase ? nameOf(history.parts.front().base, labels) : labels.emptyHistory;
    s = "<h3>" + escaped(labels.newFailures) + " <span class=\"count\">0</span></h3>\n<p class=\"none\">" +
        escaped(fillText(labels.noNewFailure, {base})) + "</p>\n";
  }
  return s + listMarkup(labels.newFailures, freshCount, "new-failures", fresh) +
         listMarkup(labels.lost, lostCount, "lost", lost);
}

// Every failed object with its badge and strip; badges name the run a
// streak began in by its number, its label and time standing once below.
std::string badgesMarkup(const RunHistory& history, const std::vector<PartObjects>& parts,
                         const PageLabels& labels, std::vector<NodeBadge>* badges) {
  std::string rows, named;
  std::map<int64_t, const RunInfo*> sinceRuns;
  for (size_t p = 0; p < parts.size(); ++p) {
    const ReportHistory& part = history.parts[p];
    std::map<size_t, const std::vector<ObjectStatus>*> strips;
    for (const FailureStrip& strip : part.strips) strips[strip.object] = &strip.strip;
    for (const auto& run : part.sinceRuns) sinceRuns[run.first] = &run.second;
    for (const FailedObject& failed : part.diff.failed) {
      NodeBadge badge{parts[p].nodes[failed.object], badgeKind(failed.kind), "", {}};
      const auto strip = strips.find(failed.object);
      if (strip != strips.end()) badge.strip = *strip->second;
      if (badge.kind == BadgeFailingSince) badge.since = fill(labels.run, failed.failingSince);
      const std::string& path = (*parts[p].objects)[failed.object].path;
      rows += "<tr><td>" + escaped(parts[p].name.empty() ? path : parts[p].name + " > " + path) +
              "</td><td>" + badgeWordMarkup(badge, labels) + "</td><td>" +
              stripMarkup(badge.strip, labels) + "</td></tr>\n";
      badges->push_back(std::move(badge));
    }
  }
  for (const auto& run : sinceRuns) named += (named.empty() ? "" : "; ") + nameOf(*run.second, labels);
  std::string s;
  if (!rows.empty())
    s = "<h3>" + escaped(labels.againstHistory) + "</h3>\n<table class=\"information history\">\n"
        "<tr><th>" + escaped(labels.test) + "</th><th>" + escaped(labels.since) + "</th><th>" +
        escaped(labels.lastRuns) + "</th></tr>\n" + rows + "</table>\n";
  if (!named.empty()) s += "<p class=\"meta\">" + escaped(fillText(labels.runsNamed, {named})) + "</p>\n";
  return s;
}

}  // namespace

PageHistory historyMarkup(const RunHistory& history, const std::vector<PartObjects>& parts,
                          const PageLabels& labels) {
  PageHistory page;
  page.section = sectionStart(labels) + trendChart(history.trend, labels) + gateMarkup(history, labels) +
                 changesMarkup(history, parts, labels) + badgesMarkup(history, parts, labels, &page.badges) +
                 "</section>\n";
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
