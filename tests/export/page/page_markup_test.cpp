// The page's markup parts from totals that no report reader would pass on:
// the bar is computed without an integer sum that could overflow.
#include "export/page/page_labels.h"
#include "export/page/page_markup.h"

#include <QTranslator>

#include <gtest/gtest.h>
#include <cstdint>
#include <string>

namespace {

TEST(PageMarkup, BarOfTotalsAtTheLimitOf64Bits) {
  ReportTotals totals;
  totals.passed = INT64_MAX;
  totals.inconclusive = INT64_MAX;
  totals.failed = INT64_MAX;
  totals.total = INT64_MAX;
  const QTranslator english;
  const PageLabels labels = pageLabels(english);
  PageMarkup markup(labels);
  markup.summary(totals);
  const std::string body = markup.body();
  EXPECT_NE(body.find("<rect class=\"passed\" x=\"0\" y=\"0\" height=\"14\" width=\"33.3%\"/>"),
            std::string::npos)
      << body;
  EXPECT_NE(body.find("<rect class=\"failed\" x=\"66.7%\""), std::string::npos) << body;
}

}  // namespace
