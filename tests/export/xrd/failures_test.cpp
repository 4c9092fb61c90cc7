// Failure gathering: which nodes and rows become failures, with their path,
// location and labelled counts.
#include "export/xrd/failures.h"

#include "tests/export/xrd/report_test_reports.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string linkOf(const SourceLink& link) {
  return link.present ? link.file + ":" + std::to_string(link.line) : "-";
}

Lines failuresOf(const std::string& report) {
  ReportReader reader;
  reader.openBytes(report);
  FailureCollector collector;
  Lines lines;
  int id = 0;
  for (ReportItemKind kind; (kind = reader.next()) != ReportEnd;) {
    EXPECT_NE(kind, ReportFailed) << reader.error().message;
    if (kind == ReportFailed) break;
    if (reader.depth() == 0) continue;
    if (kind == ReportNodeStart) collector.nodeStart(id++, reader.node());
    if (kind == ReportTableStart) collector.tableStart();
    if (kind == ReportRow) collector.row(reader.row());
    if (kind == ReportNodeEnd) collector.nodeEnd();
    if (!collector.ready()) continue;
    const Failure& f = collector.failure();
    std::string line = "#" + std::to_string(f.nodeId) + " " + f.type + " ";
    for (size_t i = 0; i < f.path.size(); ++i) (line += i ? " > " : "") += f.path[i];
    line += " @" + linkOf(f.link);
    for (const FailedCheck& c : f.checks) {
      line += " | " + c.expression + " @" + linkOf(c.link);
      for (const auto& [label, value] : c.counts) line += " " + label + "=" + value;
    }
    lines.push_back(line);
  }
  return lines;
}

std::string node(const char* name, const char* type, const char* state, bool sum,
                 const std::string& content, const char* link = "src/t.cpp line 5") {
  return std::string("<XROD:NODE name=\"") + name + "\" type=\"" + type + "\" state=\"" + state +
         "\"" + (sum ? " sum=\"1\"" : "") + "><TITLE LEVEL=\"1\" TAG=\"t\" STYLE=\"Title2\">" +
         (link ? std::string("<LINK TARGET=\"") + link + "\">" : std::string()) + "<TEXT>" + type +
         " " + name + "</TEXT>" + (link ? "</LINK>" : "") + "</TITLE>\n" + content +
         "</XROD:NODE>\n";
}

std::string row(const std::vector<std::string>& cells, const char* style) {
  std::string r = "<ROW>";
  for (const std::string& c : cells)
    r += std::string("<CELL_TEXT STYLE=\"") + style + "\">" + c + "</CELL_TEXT>";
  return r + "</ROW>\n";
}

const std::string kHeader = row({"Expression", "Status", "Executed", "Failed", "Passed"}, "Array Title");

TEST(Failures, FailedObjectsAndTheirChecks) {
  const std::string checks =
      "<TABLE>" + kHeader + row({"a == 1", "Passed", "1", "0", "1"}, "Array Passed") +
      row({"b == 2", "Failed", "3", "2", "1"}, "Array Failed") + "</TABLE>" +
      "<TABLE>" + row({"c &amp;&amp; d", "Failed", "1", "1", "0"}, "Array Failed") + "</TABLE>";
  const std::string ownStatusOnly =
      "<TABLE>" + kHeader + row({"", "Failed", "", "", ""}, "Array Failed") + "</TABLE>";
  const std::string passing =
      "<TABLE>" + kHeader + row({"e", "Passed", "1", "0", "1"}, "Array Passed") + "</TABLE>";
  // The suite and the driver fail through their children and are no
  // failures of their own; the passing test case is none either.
  EXPECT_EQ(failuresOf(reportAround(
                driverAround(node("Suite", "Test Suite", "ko", false,
                                  node("one", "Test Case", "ko", true, checks) +
                                      node("two", "Test Case", "ko", true, ownStatusOnly, nullptr) +
                                      node("three", "Test Case", "ok", true, passing)),
                             "ko"),
                0, 0, 2)),
            (Lines{
                "#2 Test Case stack > Suite > one @src/t.cpp:5 | b == 2 @src/t.cpp:5 Executed=3 "
                "Failed=2 Passed=1 | c && d @src/t.cpp:5 Executed=1 Failed=1 Passed=0",
                "#3 Test Case stack > Suite > two @-",
            }));
}

TEST(Failures, ClassMembersAndStateChartViolations) {
  const std::string contract =
      "<TABLE>" + row({"Method", "Expression", "Status", "Executed", "Failed", "Passed"}, "Array Title") +
      "<ROW><CELL STYLE=\"Array Failed\"><LINK TARGET=\"src/s.h line 10\"><TEXT>push</TEXT></LINK>"
      "</CELL>" + row({"!full()", "Failed", "3", "1", "2"}, "Array Failed").substr(5) +
      row({"", "size() > 0", "Failed", "2", "2", "0"}, "Array Failed") + "</TABLE>";
  const std::string violations =
      "<TABLE>" + row({"State Name", "Multiple Exits", "Illegal Exits"}, "Array Title") +
      "<ROW><CELL STYLE=\"Array Failed\"><LINK TARGET=\"src/s.h line 22\"><TEXT>Busy</TEXT></LINK>"
      "</CELL>" + row({"1", "0"}, "Array Failed").substr(5) +
      row({"Watched", "0", "1"}, "Array Failed") + "</TABLE>";
  EXPECT_EQ(failuresOf(reportAround(node("Contracts", "Contracts", "ko", false,
                                         node("Stack", "Class", "ko", false,
                                              node("Method Contract", "Method Contract", "ko", true,
                                                   contract, nullptr) +
                                                  node("State Chart Violations", "State", "ko", true,
                                                       violations, nullptr))),
                                    0, 0, 2)),
            (Lines{
                "#2 Method Contract Contracts > Stack > Method Contract @- | push !full() "
                "@src/s.h:10 Executed=3 Failed=1 Passed=2 | size() > 0 @- Executed=2 Failed=2 "
                "Passed=0",
                "#3 State Contracts > Stack > State Chart Violations @- | Busy @src/s.h:22 "
                "Multiple Exits=1 Illegal Exits=0 | Watched @- Multiple Exits=0 Illegal Exits=1",
            }));
}

}  // namespace
