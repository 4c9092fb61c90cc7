// Costs of the CI exports that must follow the size of the report: each
// hostile shape is written beside an ordinary report of about the same size
// and may take at most a few times its time and output. Where the cost once
// grew with the square of the input, these sizes took seconds to minutes
// (same-named siblings: 40 k took 50 s) or gigabytes of output.
#include "export/ci/junit_writer.h"
#include "export/ci/summary_writer.h"

#include "tests/export/xrd/report_test_reports.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Cost {
  double seconds = 0;
  long bytes = 0;  // of the output
  long input = 0;  // of the report
};

Cost junitCost(const std::string& report) {
  ReportReader reader;
  reader.openBytes(report);
  FILE* out = tmpfile();
  JunitOptions options;
  options.hostname = "host";
  options.scratchDir = "/tmp";
  JunitResult result;
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  EXPECT_TRUE(writeJunit(reader, out, options, "report.xrd", &result, &error)) << error;
  fflush(out);
  Cost cost{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            ftell(out), static_cast<long>(report.size())};
  fclose(out);
  return cost;
}

// The hostile shape at most ratio times the plain one in time (with an
// allowance for timer noise), and its output at most ratio times its report
// or the plain output.
void expectLikePlain(const char* shape, const Cost& plain, const Cost& hostile, double ratio = 3) {
  printf("[ cost     ] %-26s plain %6.2f s %9ld B, hostile %6.2f s %9ld B of %9ld B\n", shape,
         plain.seconds, plain.bytes, hostile.seconds, hostile.bytes, hostile.input);
#ifndef __SANITIZE_ADDRESS__
  // Sanitized builds slow some operations far more than others: times are
  // compared in the normal build only.
  EXPECT_LE(hostile.seconds, ratio * plain.seconds + 0.2) << shape;
#endif
  EXPECT_LE(hostile.bytes, ratio * std::max(plain.bytes, hostile.input)) << shape;
}

std::string testCase(const std::string& name, const std::string& inner = "") {
  return "<XROD:NODE name=\"" + name +
         "\" type=\"Test Case\" state=\"ok\" sum=\"1\" icone=\"method.xpm\"><TITLE LEVEL=\"2\" "
         "TAG=\"nodex9\" STYLE=\"Title3 Passed\">\n<LINK TARGET=\"src/t.cpp line 10\">\n<TEXT>Test "
         "Case " +
         name + "</TEXT>\n</LINK>\n</TITLE>\n" + inner + "</XROD:NODE>\n";
}

TEST(CiCost, SameNamedSiblingsCostLikeDistinctNames) {
  const int count = 40000;
  std::string distinct, same;
  for (int i = 0; i < count; ++i) {
    distinct += testCase("case " + std::to_string(i));
    same += testCase("case");
  }
  expectLikePlain("same-named siblings", junitCost(reportAround(driverAround(distinct), count)),
                  junitCost(reportAround(driverAround(same), count)));
}

TEST(CiCost, NestedTestCasesCostLikeSiblings) {
  // Each test case inside the one before: classnames once held every
  // container above, 31 MB of report gave 5.2 GB.
  const int count = 8000;
  std::string flat, nested;
  for (int i = 0; i < count; ++i) {
    const std::string name = "level_" + std::to_string(i);
    flat += testCase(name);
    std::string node = testCase(name);
    nested += node.substr(0, node.size() - strlen("</XROD:NODE>\n"));
  }
  for (int i = 0; i < count; ++i) nested += "</XROD:NODE>\n";
  expectLikePlain("nested test cases", junitCost(reportAround(driverAround(flat), count)),
                  junitCost(reportAround(driverAround(nested), count)));
}

std::string withInformationRows(std::string report, int rows) {
  std::string table;
  for (int i = 0; i < rows; ++i)
    table += "<ROW>\n<CELL_TEXT STYLE=\"Array\">key " + std::to_string(i) +
             "</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">value</CELL_TEXT>\n</ROW>\n";
  const std::string empty = "<TABLE BORDER=\"1\">\n</TABLE>\n</SECTION>";
  report.replace(report.find(empty), empty.size(),
                 "<TABLE BORDER=\"1\">\n" + table + "</TABLE>\n</SECTION>");
  return report;
}

TEST(CiCost, ManyPropertiesBesideManyDriversAreWrittenOnce) {
  // Every suite once repeated every property: 1.56 MB gave 652 MB.
  const int count = 2000;
  std::string oneDriver, drivers;
  for (int i = 0; i < count; ++i) {
    oneDriver += testCase("case " + std::to_string(i));
    drivers += driverAround(testCase("case"));
  }
  expectLikePlain("properties x drivers",
                  junitCost(withInformationRows(reportAround(driverAround(oneDriver), count), count)),
                  junitCost(withInformationRows(reportAround(drivers, count), count)));
}

TEST(CiCost, ClaimedVerdictsAreRefusedNotWritten) {
  // A report of one test case claiming 10^12 verdicts once built a test case
  // per claimed verdict; the summary looped over 10^15.
  const std::string report =
      reportAround(driverAround(testCase("one")), 1, 0, 0);
  for (const char* claim : {"1000000000000", "1000000000000000", "9223372036854775807"}) {
    std::string claimed = report;
    const std::string passed = "<CELL_TEXT STYLE=\"Array\">1</CELL_TEXT>";
    claimed.replace(claimed.find(passed), passed.size(),
                    std::string("<CELL_TEXT STYLE=\"Array\">") + claim + "</CELL_TEXT>");
    ReportReader reader;
    reader.openBytes(claimed);
    FILE* out = tmpfile();
    JunitOptions options;
    options.scratchDir = "/tmp";
    JunitResult result;
    std::string junitError;
    EXPECT_FALSE(writeJunit(reader, out, options, "report.xrd", &result, &junitError)) << claim;
    EXPECT_EQ(junitError.compare(0, 14, "report.xrd:12:"), 0) << claim << junitError;
    fclose(out);

    ReportReader again;
    again.openBytes(claimed);
    SummaryOptions summaryOptions;
    SummaryOutput output;
    ReportErrorInfo error;
    EXPECT_FALSE(writeSummary(again, summaryOptions, &output, &error)) << claim;
    EXPECT_EQ(error.message, "not a report: a total is not a count from 0 to 2147483647");
  }
}

}  // namespace
