// The page writer: one self-contained HTML page from a report, built as
// the report streams and written once it has been read.
#pragma once

#include "export/page/page_badges.h"
#include "export/page/page_data.h"
#include "export/page/page_labels.h"
#include "export/page/page_markup.h"
#include "export/xrd/test_objects.h"

#include <cstdio>
#include <string>

// Gathers the page's parts from every item of the report (item()) and
// from its test objects (objects(), for the one walk of them that the
// caller shares among its outputs).
class PageBuilder {
 public:
  explicit PageBuilder(const PageLabels& labels);

  // A run of several reports: each report's items and objects follow
  // beginPart(its name), and endPart() follows them; the page then has a
  // level per part above the drivers. The part's nodes are numbered from
  // nodeOffset() on.
  void beginPart(const std::string& name);
  void endPart();
  int nodeOffset() const { return failures_.nodeOffset; }

  void item(const ReportReader& reader, ReportItemKind kind);
  TestObjectVisitor& objects() { return failures_; }
  // Whether the report holds a failed verdict, once it has been read.
  bool failedVerdict() const { return failedVerdict_; }

  // Writes the page, with the history's part (history_markup.h): its
  // section ahead of the failures, its badges on the failed objects.
  void write(FILE* out, const PageHistory& history);

 private:
  void openPart();

  // The failed test objects, as summary and junit count them, into the
  // failures list, grouped by their suite (driver or contracts).
  class FailureList : public TestObjectVisitor {
   public:
    explicit FailureList(PageMarkup& markup) : markup_(markup) {}
    void suiteStart(const TestSuiteInfo&) override { ++suite_; }
    void object(const TestObject& object) override;
    int nodeOffset = 0;

   private:
    PageMarkup& markup_;
    int suite_ = 0;
  };

  const PageLabels& labels_;
  PageMarkup markup_;
  FailureList failures_;
  PageData data_;
  bool failedVerdict_ = false;
  // The part whose report streams, its node still to be opened before its
  // first node below the overview (once its totals are known).
  std::string part_;
  bool partPending_ = false;
  bool partOpen_ = false;
  ReportTotals partTotals_;
};

// The whole report read into a page written to out, without a history.
// False when the report is broken (reader.error() tells why);
// *failedVerdict tells whether the report holds a failed verdict.
bool writePage(ReportReader& reader, const PageLabels& labels, FILE* out, bool* failedVerdict);
