// The markup parts of the page:
//
//   <header><h1>Component testing C++ report</h1>
//   <p class="meta">build/example/report.xrd · Test compilation time Mon Dec 7 ...</p></header>
//   <section id="summary">... <svg class="bar">three rects</svg></section>
//   <section id="information"><table>...</table></section>
//   <section id="failures"><h2>Failures <span class="count">1</span></h2>
//   <ol><li><a href="#n4">stack_test › Stack › overflow</a> ... </li></ol></section>
#include "export/page/page_markup.h"

#include <cstdio>

namespace {

const char* styleClass(ReportStyle style) {
  switch (style) {
    case ReportStyleFailed: return "failed";
    case ReportStylePassed: return "passed";
    default: return "plain";
  }
}

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

void PageMarkup::summary(const ReportTotals& totals) {
  static const char* const kClasses[] = {"passed", "inconclusive", "failed", "total"};
  const int64_t values[] = {totals.passed, totals.inconclusive, totals.failed, totals.total};
  std::string& s = summary_;
  s += "<section id=\"summary\" aria-label=\"Summary\">\n";
  if (!summaryTitle_.empty()) {
    s += "<h2>";
    appendEscapedHtml(&s, summaryTitle_);
    s += "</h2>\n";
  }
  s += "<dl class=\"totals\">\n";
  for (int i = 0; i < 4; ++i) {
    s += "<div class=\"total ";
    s += kClasses[i];
    s += "\"><dt>";
    appendEscapedHtml(&s, totals.labels[i]);
    s += "</dt><dd>" + std::to_string(values[i]) + "</dd></div>\n";
  }
  s += "</dl>\n";
  // One bar: passed, inconclusive and failed side by side, out of the sum
  // of the three (the report's total is that sum).
  const double sum = double(totals.passed) + double(totals.inconclusive) + double(totals.failed);
  const std::string passed = share(totals.passed, sum);
  const std::string inconclusive = share(totals.inconclusive, sum);
  const std::string failed = share(totals.failed, sum);
  s += "<svg class=\"bar\" role=\"img\" aria-label=\"" + std::to_string(totals.passed) +
       " passed, " + std::to_string(totals.inconclusive) + " inconclusive, " +
       std::to_string(totals.failed) + " failed\" width=\"100%\" height=\"14\">";
  s += "<rect class=\"passed\" x=\"0\" y=\"0\" height=\"14\" width=\"" + passed + "\"/>";
  s += "<rect class=\"inconclusive\" x=\"" + passed + "\" y=\"0\" height=\"14\" width=\"" +
       inconclusive + "\"/>";
  s += "<rect class=\"failed\" x=\"" + share(double(totals.passed) + double(totals.inconclusive), sum) +
       "\" y=\"0\" height=\"14\" width=\"" + failed + "\"/></svg>\n";
  if (!totals.productLine.empty()) {
    s += "<p class=\"product\">";
    appendEscapedHtml(&s, totals.productLine);
    s += "</p>\n";
  }
  s += "</section>\n";
}

void PageMarkup::informationTitle(const ReportTitleInfo& title) {
  // The title before the summary table is the summary's own.
  if (summary_.empty()) {
    summaryTitle_ = title.text;
    return;
  }
  information_ += title.level <= 1 ? "<h2>" : "<h3>";
  appendEscapedHtml(&information_, title.text);
  information_ += title.level <= 1 ? "</h2>\n" : "</h3>\n";
}

void PageMarkup::informationTableStart() {
  tableStart_ = information_.size();
  tableOpen_ = true;
  tableHasRows_ = false;
  information_ += "<table class=\"information\">\n";
}

void PageMarkup::informationRow(const ReportRowInfo& row) {
  if (!tableOpen_) return;
  tableHasRows_ = true;
  std::string& s = information_;
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

void PageMarkup::failure(const Failure& failure) {
  ++failureCount_;
  std::string& s = failures_;
  const std::string anchor = "#n" + std::to_string(failure.nodeId);
  s += "<li><a class=\"path\" href=\"" + anchor + "\">";
  // Very deep paths keep their two ends.
  const size_t n = failure.path.size();
  for (size_t i = 0; i < n; ++i) {
    if (n > 12 && i == 4) {
      s += " › …";
      i = n - 5;
      continue;
    }
    if (i) s += " › ";
    appendEscapedHtml(&s, failure.path[i]);
  }
  s += "</a> <span class=\"type\">";
  appendEscapedHtml(&s, failure.type);
  const std::string where = locationText(failure.link);
  if (!where.empty()) {
    s += " · ";
    appendEscapedHtml(&s, where);
  }
  s += "</span>";
  if (!failure.checks.empty()) {
    s += "\n<ul>";
    for (const FailedCheck& check : failure.checks) {
      s += "<li><code>";
      appendEscapedHtml(&s, check.expression);
      s += "</code>";
      // Counts, and the check's own place when it is not the object's.
      std::string details;
      for (size_t i = 0; i < check.counts.size(); ++i) {
        if (i) details += " · ";
        if (!check.counts[i].first.empty()) {
          appendEscapedHtml(&details, check.counts[i].first);
          details += ' ';
        }
        appendEscapedHtml(&details, check.counts[i].second);
      }
      const std::string checkWhere = locationText(check.link);
      if (!checkWhere.empty() && checkWhere != where) {
        if (!details.empty()) details += " · ";
        appendEscapedHtml(&details, checkWhere);
      }
      if (!details.empty()) s += " <span class=\"counts\">" + details + "</span>";
      s += "</li>";
    }
    s += "</ul>";
  }
  s += "</li>\n";
}

std::string PageMarkup::pageTitle() const {
  std::string title = reportTitle_.empty() ? std::string("Report") : reportTitle_;
  if (!document_.title.empty()) title += " – " + document_.title;
  return escaped(title);
}

std::string PageMarkup::body(const std::string& beforeFailures) const {
  std::string s = "<header>\n<h1>";
  appendEscapedHtml(&s, reportTitle_);
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
  s += summary_;
  if (!information_.empty())
    s += "<section id=\"information\" aria-label=\"Report information\">\n" + information_ +
         "</section>\n";
  s += beforeFailures;
  s += "<section id=\"failures\" aria-label=\"Failures\">\n<h2>Failures <span class=\"count\">" +
       std::to_string(failureCount_) + "</span></h2>\n";
  if (failureCount_ == 0)
    s += "<p class=\"none\">No failed check and no failed object.</p>\n";
  else
    s += "<ol class=\"failures\">\n" + failures_ + "</ol>\n";
  s += "</section>\n";
  return s;
}
