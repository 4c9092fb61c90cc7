// The parts of the page that are plain markup, so that they show before any
// script runs: the page's head line (report title, file, time), the summary
// with its bar, the report information tables, the failures list grouped
// by driver, and the tree's controls. Every text from the report goes
// through appendEscapedHtml.
#pragma once

#include "export/page/page_badges.h"
#include "export/page/page_labels.h"
#include "export/xrd/failures.h"
#include "export/xrd/report_reader.h"
#include "export/xrd/test_objects.h"
#include "support/xml_escape.h"

#include <string>
#include <utility>
#include <vector>

// Appends text with &, <, >, " and ' as character references.
inline void appendEscapedHtml(std::string* out, std::string_view text) {
  appendEscapedXml(out, text, HtmlText);
}

class PageMarkup {
 public:
  explicit PageMarkup(const PageLabels& labels) : labels_(labels) {}

  void document(const ReportDocumentInfo& document);
  void reportTitle(const ReportTitleInfo& title);
  // A run of several reports: the items of each follow part(its name).
  void part(const std::string& name);
  void summary(const ReportTotals& totals);
  // The titles and tables of the overview section after the summary.
  void informationTitle(const ReportTitleInfo& title);
  void informationTableStart();
  void informationRow(const ReportRowInfo& row);
  void informationTableEnd();
  // A failed test object of the driver (or contracts) node numbered group,
  // its node numbered from nodeOffset (its part's first node).
  void failure(const TestObject& object, int group, int nodeOffset = 0);

  // The page's <title> text.
  std::string pageTitle() const;
  // Everything above the tree, in page order, with the history section
  // ahead of the failures and the badges on the failures shown.
  std::string body(const PageHistory& history = PageHistory()) const;
  // The tree's section: heading, controls and the empty tree box.
  std::string treeSection() const;
  // The failures listed plus the failed verdicts the report counts but
  // shows in no table: what summary and junit count.
  int64_t failureCount() const { return failureCount_ + unlisted(); }
  // The failures after the first ones, for the page's failures block: a
  // JSON array of [group, node, path, what, [[expression, counts], ...]]
  // (empty when all are shown).
  std::string moreFailures() const { return moreFailures_.empty() ? moreFailures_ : moreFailures_ + "]"; }

 private:
  struct FailureGroup {
    int node = -1;
    std::string name;
    int64_t count = 0;
    int64_t shownCount = 0;
    std::string shown;  // the list items shown at once
    // Where in shown each item's badge goes, and its node.
    std::vector<std::pair<size_t, int>> badgeAt;
  };

  int64_t unlisted() const;
  std::string summary() const;
  std::string totalsMarkup(const ReportTotals& totals) const;

  const PageLabels& labels_;
  ReportDocumentInfo document_;
  std::string reportTitle_;
  std::string timeLabel_;
  std::string timeValue_;
  std::string summaryTitle_;
  std::string part_;  // the part whose items come
  bool summarySeen_ = false;  // of the part
  std::vector<std::pair<std::string, ReportTotals>> totals_;  // per part
  int64_t totalFailed_ = 0;
  std::string information_;
  // Titles wait for a table with rows: (level, markup).
  std::vector<std::pair<int, std::string>> pendingTitles_;
  std::vector<FailureGroup> groups_;
  std::string moreFailures_;  // the JSON array without its closing bracket
  int64_t failureCount_ = 0;
  bool tableOpen_ = false;
  bool tableHasRows_ = false;
  size_t tableStart_ = 0;  // where the open table begins in information_, to drop it when empty
};
