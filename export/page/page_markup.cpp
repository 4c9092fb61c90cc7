// The markup parts of the page:
//
//   <a class="skip" href="#tree-items">Skip to the test objects</a>
//   <header><h1>Component testing C++ report</h1>
//   <p class="meta">build/example/report.xrd · Test compilation time Mon Dec 7 ...</p></header>
//   <section id="summary">... <svg class="bar">three rects</svg></section>
//   <section id="information"><table>...</table></section>
//   <section id="failures"><h2>Failures <span class="count">1</span></h2>
//   <div class="group"><h3>stack_test <span class="count">1 failed</span></h3>
//   <ol><li><a href="#n4">stack_test › Stack › overflow</a> ... </li></ol>
//   <details class="more"><summary>Show 20 more</summary><ol data-group="0"></ol></details>
//   </div></section>
// and the failures after the first ones as JSON for the failures block.
#include "export/page/page_markup.h"

#include "export/page/json_text.h"

#include <cstdio>

namespace {

const char* styleClass(ReportStyle style) {
  switch (style) {
    case ReportStyleFailed: return "failed";
    case ReportStylePassed: return "passed";
    default: return "plain";
  }
}

// Failures shown at once, over all groups; the rest wait, as data, behind
// a disclosure, so that a long list neither delays the page (parsing their
// markup took longer than the whole tree's data) nor buries the tree under
// its tab stops.
constexpr int64_t kFailuresShown = 100;

std::string escaped(std::string_view text) {
  std::string out;
  appendEscapedHtml(&out, text);
  return out;
}

// A percentage with one decimal, for the bar's rectangles; in floating
// point, so that no sum of totals can overflow.
std::string share(double part, double whole) {
  char text[32];
  snprintf(text, sizeof text, "%.1f%%", whole > 0 ? 100.0 * part / whole : 0.0);
  return text;
}

}  // namespace

void PageMarkup::document(const ReportDocumentInfo& document) {
  if (totals_.empty()) document_ = document;
}

void PageMarkup::reportTitle(const ReportTitleInfo& title) {
  if (totals_.empty()) reportTitle_ = title.text;
}

void PageMarkup::part(const std::string& name) {
  part_ = name;
  summarySeen_ = false;
  // The part's information tables come under its name.
  pendingTitles_.clear();
  std::string heading = "<h2 class=\"part\">";
  appendEscapedHtml(&heading, name);
  pendingTitles_.emplace_back(0, heading + "</h2>\n");
}

void PageMarkup::summary(const ReportTotals& totals) {
  summarySeen_ = true;
  totals_.emplace_back(part_, totals);
  totalFailed_ += totals.failed;
}

// The totals in words and one bar: passed, inconclusive and failed side
// by side, out of the sum of the three (the report's total is that sum).
std::string PageMarkup::totalsMarkup(const ReportTotals& totals) const {
  static const char* const kClasses[] = {"passed", "inconclusive", "failed", "total"};
  const int64_t values[] = {totals.passed, totals.inconclusive, totals.failed, totals.total};
  std::string s = "<dl class=\"totals\">\n";
  for (int i = 0; i < 4; ++i) {
    s += "<div class=\"total ";
    s += kClasses[i];
    s += "\"><dt>";
    appendEscapedHtml(&s, totals.labels[i]);
    s += "</dt><dd>" + std::to_string(values[i]) + "</dd></div>\n";
  }
  s += "</dl>\n";
  const double sum = double(totals.passed) + double(totals.inconclusive) + double(totals.failed);
  const std::string passed = share(totals.passed, sum);
  const std::string inconclusive = share(totals.inconclusive, sum);
  const std::string failed = share(totals.failed, sum);
  s += "<svg class=\"bar\" role=\"img\" aria-label=\"" +
       escaped(fill(labels_.bar, totals.passed, totals.inconclusive, totals.failed)) +
       "\" width=\"100%\" height=\"14\">";
  s += "<rect class=\"passed\" x=\"0\" y=\"0\" height=\"14\" width=\"" + passed + "\"/>";
  s += "<rect class=\"inconclusive\" x=\"" + passed + "\" y=\"0\" height=\"14\" width=\"" +
       inconclusive + "\"/>";
  s += "<rect class=\"failed\" x=\"" + share(double(totals.passed) + double(totals.inconclusive), sum) +
       "\" y=\"0\" height=\"14\" width=\"" + failed + "\"/></svg>\n";
  return s;
}

// The summary section: the report's totals; of a run of several reports
// the run's, then a table of each part's.
std::string PageMarkup::summary() const {
  if (totals_.empty()) return std::string();
  ReportTotals all = totals_.front().second;
  for (size_t p = 1; p < totals_.size(); ++p) all += totals_[p].second;
  std::string s = "<section id=\"summary\" aria-label=\"" + escaped(labels_.summary) + "\">\n";
  if (!summaryTitle_.empty()) s += "<h2>" + escaped(summaryTitle_) + "</h2>\n";
  s += totalsMarkup(all);
  if (totals_.size() > 1) {
    s += "<table class=\"information parts\">\n<tr><th>" + escaped(labels_.part) + "</th>";
    for (const std::string& label : all.labels) s += "<th>" + escaped(label) + "</th>";
    s += "</tr>\n";
    for (const auto& [name, t] : totals_)
      s += "<tr><td>" + escaped(name) + "</td><td>" + std::to_string(t.passed) + "</td><td>" +
           std::to_string(t.inconclusive) + "</td><td>" + std::to_string(t.failed) + "</td><td>" +
           std::to_string(t.total) + "</td></tr>\n";
    s += "</table>\n";
  }
  if (!all.productLine.empty()) s += "<p class=\"product\">" + escaped(all.productLine) + "</p>\n";
  return s + "</section>\n";
}

void PageMarkup::informationTitle(const ReportTitleInfo& title) {
  // The title before the summary table is the summary's own.
  if (!summarySeen_) {
    if (totals_.empty()) summaryTitle_ = title.text;
    return;
  }
  // A title waits for a table with rows; a title of its level or above
  // ends the wait of the earlier ones, which then head nothing.
  const int level = title.level;
  while (!pendingTitles_.empty() && pendingTitles_.back().first >= level) pendingTitles_.pop_back();
  std::string heading = level <= 1 ? "<h2>" : "<h3>";
  appendEscapedHtml(&heading, title.text);
  heading += level <= 1 ? "</h2>\n" : "</h3>\n";
  pendingTitles_.emplace_back(level, std::move(heading));
}

void PageMarkup::informationTableStart() {
  tableStart_ = information_.size();
  tableOpen_ = true;
  tableHasRows_ = false;
  information_ += "<table class=\"information\">\n";
}

void PageMarkup::informationRow(const ReportRowInfo& row) {
  if (!tableOpen_) return;
  std::string& s = information_;
  if (!tableHasRows_) {
    // The first row: the titles it waited for go before the table.
    std::string titles;
    for (const auto& title : pendingTitles_) titles += title.second;
    pendingTitles_.clear();
    s.insert(tableStart_, titles);
  }
  tableHasRows_ = true;
  if (row.role == RowTitle || row.cells.size() == 1) {
    s += "<tr class=\"title\"><th colspan=\"2\">";
    appendEscapedHtml(&s, row.cells.empty() ? std::string_view() : row.cells[0].text);
    s += "</th></tr>\n";
    return;
  }
  s += "<tr>";
  for (size_t i = 0; i < row.cells.size(); ++i) {
    const char* tag = i == 0 ? "th" : "td";
    s += std::string("<") + tag + " class=\"" + styleClass(row.cells[i].style) + "\">";
    appendEscapedHtml(&s, row.cells[i].text);
    s += std::string("</") + tag + ">";
  }
  s += "</tr>\n";
  // The first row that holds a report time gives the page's time line.
  ReportTime time;
  if (timeValue_.empty() && row.cells.size() == 2 && parseReportTime(row.cells[1].text, &time)) {
    timeLabel_ = row.cells[0].text;
    timeValue_ = row.cells[1].text;
  }
}

void PageMarkup::informationTableEnd() {
  if (!tableOpen_) return;
  tableOpen_ = false;
  if (!tableHasRows_) {
    information_.resize(tableStart_);
    return;
  }
  information_ += "</table>\n";
}

namespace {

// A failure's texts, plain: the path (very deep ones keep their two ends),
// the kind and place, and each failed check with its counts and, when it
// is not the object's, its own place.
struct FailureText {
  std::string path;
  std::string what;
  std::vector<std::pair<std::string, std::string>> checks;
};

FailureText failureText(const TestObject& object) {
  FailureText t;
  const size_t n = object.path.size();
  for (size_t i = 0; i < n; ++i) {
    if (n > 12 && i == 4) {
      t.path += " › …";
      i = n - 5;
      continue;
    }
    if (i) t.path += " › ";
    t.path += object.path[i];
  }
  const std::string where = locationText(object.location);
  t.what = object.type;
  if (!where.empty()) t.what += (object.type.empty() ? "" : " · ") + where;
  for (const FailedCheck& check : object.checks) {
    std::string details;
    for (size_t i = 0; i < check.counts.size(); ++i) {
      if (i) details += " · ";
      if (!check.counts[i].first.empty()) details += check.counts[i].first + ' ';
      details += check.counts[i].second;
    }
    const std::string checkWhere = locationText(check.link);
    if (!checkWhere.empty() && checkWhere != where) {
      if (!details.empty()) details += " · ";
      details += checkWhere;
    }
    t.checks.emplace_back(check.expression, details);
  }
  return t;
}

// Returns where the item's badge goes: after its path.
size_t appendFailureHtml(std::string* out, int nodeId, const FailureText& t) {
  std::string& s = *out;
  s += "<li><a class=\"path\" href=\"#n" + std::to_string(nodeId) + "\">";
  appendEscapedHtml(&s, t.path);
  s += "</a>";
  const size_t badgeAt = s.size();
  s += " <span class=\"type\">";
  appendEscapedHtml(&s, t.what);
  s += "</span>";
  if (!t.checks.empty()) {
    s += "\n<ul>";
    for (const auto& check : t.checks) {
      s += "<li><code>";
      appendEscapedHtml(&s, check.first);
      s += "</code>";
      if (!check.second.empty()) {
        s += " <span class=\"counts\">";
        appendEscapedHtml(&s, check.second);
        s += "</span>";
      }
      s += "</li>";
    }
    s += "</ul>";
  }
  s += "</li>\n";
  return badgeAt;
}

// [group, node, path, what, [[expression, counts], ...]] for the script.
void appendFailureJson(std::string* out, size_t group, int nodeId, const FailureText& t) {
  std::string& s = *out;
  s += s.empty() ? "[" : ",";
  s += "[" + std::to_string(group) + "," + std::to_string(nodeId) + ",";
  appendJsonString(&s, t.path);
  s += ',';
  appendJsonString(&s, t.what);
  s += ",[";
  for (size_t i = 0; i < t.checks.size(); ++i) {
    s += i ? ",[" : "[";
    appendJsonString(&s, t.checks[i].first);
    s += ',';
    appendJsonString(&s, t.checks[i].second);
    s += ']';
  }
  s += "]]";
}

}  // namespace

void PageMarkup::failure(const TestObject& object, int group, int nodeOffset) {
  if (groups_.empty() || groups_.back().node != group) {
    groups_.emplace_back();
    groups_.back().node = group;
    groups_.back().name = object.path.empty() ? std::string() : object.path[0];
    if (totals_.size() > 1 || !part_.empty()) groups_.back().name.insert(0, part_ + " › ");
  }
  FailureGroup& g = groups_.back();
  ++g.count;
  const FailureText text = failureText(object);
  const int node = object.nodeId + nodeOffset;
  if (failureCount_++ < kFailuresShown) {
    ++g.shownCount;
    g.badgeAt.emplace_back(appendFailureHtml(&g.shown, node, text), node);
  } else {
    appendFailureJson(&moreFailures_, groups_.size() - 1, node, text);
  }
}

int64_t PageMarkup::unlisted() const {
  return totalFailed_ > failureCount_ ? totalFailed_ - failureCount_ : 0;
}

std::string PageMarkup::pageTitle() const {
  std::string title = reportTitle_.empty() ? labels_.report : reportTitle_;
  if (!document_.title.empty()) title += " – " + document_.title;
  return escaped(title);
}

std::string PageMarkup::body(const PageHistory& history) const {
  std::string s = "<a class=\"skip\" href=\"#tree-items\">" + escaped(labels_.skipToTree) + "</a>\n";
  s += "<header>\n<h1>";
  appendEscapedHtml(&s, reportTitle_.empty() ? labels_.report : reportTitle_);
  s += "</h1>\n<p class=\"meta\">";
  appendEscapedHtml(&s, document_.title);
  if (!timeValue_.empty()) {
    s += " <span class=\"time\">· ";
    appendEscapedHtml(&s, timeLabel_);
    s += " ";
    appendEscapedHtml(&s, timeValue_);
    s += "</span>";
  }
  s += "</p>\n</header>\n";
  s += summary();
  if (!information_.empty())
    s += "<section id=\"information\" aria-label=\"" + escaped(labels_.information) + "\">\n" +
         information_ + "</section>\n";
  s += history.section;
  s += "<section id=\"failures\" aria-labelledby=\"failures-heading\">\n<h2 id=\"failures-heading\">" +
       escaped(labels_.failures) + " <span class=\"count\">" + std::to_string(failureCount()) +
       "</span></h2>\n";
  if (failureCount() == 0) s += "<p class=\"none\">" + escaped(labels_.noFailures) + "</p>\n";
  for (const FailureGroup& g : groups_) {
    s += "<div class=\"group\">\n<h3>";
    appendEscapedHtml(&s, g.name);
    s += " <span class=\"count\">" + escaped(fill(labels_.failedCount, g.count)) + "</span></h3>\n";
    if (!g.shown.empty()) {
      s += "<ol class=\"failures\">\n";
      size_t from = 0;
      for (const auto& at : g.badgeAt) {
        const NodeBadge* badge = findBadge(history.badges, at.second);
        if (!badge) continue;
        s.append(g.shown, from, at.first - from);
        s += " " + badgeMarkup(*badge, labels_);
        from = at.first;
      }
      s.append(g.shown, from, std::string::npos);
      s += "</ol>\n";
    }
    // The rest come from the failures block when the disclosure opens.
    if (g.count > g.shownCount)
      s += "<details class=\"more\"><summary>" +
           escaped(fill(labels_.showMore, g.count - g.shownCount)) +
           "</summary>\n<ol class=\"failures\" data-group=\"" + std::to_string(&g - &groups_[0]) +
           "\"></ol>\n</details>\n";
    s += "</div>\n";
  }
  if (unlisted() > 0)
    s += "<p class=\"unlisted\"><span class=\"glyph\" aria-hidden=\"true\">✗</span> " +
         escaped(fill(labels_.unlisted, unlisted())) + "</p>\n";
  s += "</section>\n";
  return s;
}

std::string PageMarkup::treeSection() const {
  const PageLabels& l = labels_;
  return "<section id=\"objects\" aria-labelledby=\"objects-heading\">\n<h2 id=\"objects-heading\">" +
         escaped(l.testObjects) + "</h2>\n" +
         "<div class=\"controls\" role=\"toolbar\" aria-label=\"" + escaped(l.controls) + "\">" +
         "<input type=\"search\" id=\"search\" placeholder=\"" + escaped(l.search) +
         "\" aria-label=\"" + escaped(l.search) + "\" autocomplete=\"off\">" +
         "<label><input type=\"checkbox\" id=\"failures-only\"> " + escaped(l.failuresOnly) +
         "</label><label><input type=\"checkbox\" id=\"not-executed-only\"> " +
         escaped(l.notExecutedOnly) + "</label>" +
         "<button type=\"button\" id=\"expand-all\">" + escaped(l.expandAll) + "</button>" +
         "<button type=\"button\" id=\"collapse-all\">" + escaped(l.collapseAll) + "</button>" +
         "<span class=\"status\" id=\"status\" role=\"status\"></span></div>\n" +
         "<div id=\"tree\"><div class=\"spacer\" aria-hidden=\"true\"></div>" +
         "<div id=\"tree-items\" role=\"tree\" tabindex=\"0\" aria-labelledby=\"objects-heading\">" +
         "</div></div>\n" +
         "<noscript><p class=\"noscript\">" + escaped(l.noScript) + "</p></noscript>\n" +
         "<div id=\"print\"></div>\n</section>\n";
}
