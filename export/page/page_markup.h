// The parts of the page that are plain markup, so that they show before any
// script runs: the page's head line (report title, file, time), the summary
// with its bar, the report information tables and the failures list. Every
// text from the report goes through escapeHtml.
#pragma once

#include "export/xrd/failures.h"
#include "export/xrd/report_reader.h"
#include "support/xml_escape.h"

#include <string>

// Appends text with &, <, >, " and ' as character references.
inline void appendEscapedHtml(std::string* out, std::string_view text) {
  appendEscapedXml(out, text, HtmlText);
}

class PageMarkup {
 public:
  void document(const ReportDocumentInfo& document) { document_ = document; }
  void reportTitle(const ReportTitleInfo& title) { reportTitle_ = title.text; }
  void summary(const ReportTotals& totals);
  // The titles and tables of the overview section after the summary.
  void informationTitle(const ReportTitleInfo& title);
  void informationTableStart();
  void informationRow(const ReportRowInfo& row);
  void informationTableEnd();
  void failure(const Failure& failure);

  // The page's <title> text.
  std::string pageTitle() const;
  // Everything above the tree, in page order, with beforeFailures (the
  // history section) ahead of the failures.
  std::string body(const std::string& beforeFailures = std::string()) const;
  int failureCount() const { return failureCount_; }

 private:
  ReportDocumentInfo document_;
  std::string reportTitle_;
  std::string timeLabel_;
  std::string timeValue_;
  std::string summaryTitle_;
  std::string summary_;
  std::string information_;
  std::string failures_;
  int failureCount_ = 0;
  bool tableOpen_ = false;
  bool tableHasRows_ = false;
  size_t tableStart_ = 0;  // where the open table begins in information_, to drop it when empty
};
