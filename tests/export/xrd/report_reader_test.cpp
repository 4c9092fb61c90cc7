// The report reader: every element of a report as an item, the leniencies
// for reports of an earlier generator, every kind of bad input, and a
// million nested nodes.
#include "export/xrd/report_reader.h"

#include "tests/export/xrd/report_test_reports.h"
#include "tests/file_bytes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// By ObjectStatus.
const char* const kStates[] = {"ok", "NE", "ko"};
const char* const kIcons[] = {"-", "method", "class", "testscript"};  // from IconNone
const char* const kStyles[] = {"-", "title", "plain", "failed", "passed"};
const char* const kSections[] = {"-", "overview", "driver", "contracts", "other"};
const char* const kRoles[] = {"data", "header", "title", "trace", "note"};

std::string linkOf(const SourceLink& link) {
  return link.present ? " @" + link.file + ":" + std::to_string(link.line) : std::string();
}

std::string titleOf(const ReportTitleInfo& t) {
  if (!t.present) return "no title";
  return std::to_string(t.level) + " " + kStyles[t.style] + " " + t.tag + " '" + t.text + "'" +
         linkOf(t.link);
}

// Every item as a line, up to End or the error.
Lines itemsOf(ReportReader& reader) {
  Lines lines;
  for (;;) {
    const ReportItemKind kind = reader.next();
    switch (kind) {
      case ReportDocument:
        lines.push_back("document '" + reader.document().title + "' " + reader.document().tag);
        break;
      case ReportNodeStart: {
        const ReportNodeInfo& n = reader.node();
        lines.push_back("node " + std::to_string(n.depth) + " '" + n.name + "' '" + n.type + "' " +
                        kStates[n.state] + " sum " + std::to_string(n.sum) + " " +
                        kIcons[n.icon - IconNone] + " " + kSections[n.section] + " " + n.sectionTag +
                        " | " + titleOf(n.title));
        break;
      }
      case ReportTitle: lines.push_back("title " + titleOf(reader.title())); break;
      case ReportSummary: {
        const ReportTotals& s = reader.summary();
        std::string line = "summary " + std::to_string(s.passed) + " " +
                           std::to_string(s.inconclusive) + " " + std::to_string(s.failed) + " " +
                           std::to_string(s.total);
        for (int i = 0; i < 4; ++i) line += std::string(" ") + s.labels[i] + "/" + kStyles[s.styles[i]];
        lines.push_back(line + " '" + s.productLine + "'");
        break;
      }
      case ReportTableStart: lines.push_back("table"); break;
      case ReportRow: {
        std::string line = std::string("row ") + kRoles[reader.row().role];
        for (const ReportCell& c : reader.row().cells)
          line += std::string(" [") + (c.linkCell ? "cell " : "") + (c.image ? "image " : "") +
                  kStyles[c.style] + " '" + c.text + "'" + linkOf(c.link) + "]";
        lines.push_back(line);
        break;
      }
      case ReportTableEnd: lines.push_back("end table"); break;
      case ReportNodeEnd: lines.push_back("end node " + std::to_string(reader.depth())); break;
      case ReportEnd: lines.push_back("end"); return lines;
      case ReportFailed:
        lines.push_back("error " + std::to_string(reader.error().line) + ":" +
                        std::to_string(reader.error().column) + " " + reader.error().message);
        return lines;
    }
  }
}

Lines itemsOf(const std::string& bytes) {
  ReportReader reader;
  reader.openBytes(bytes);
  return itemsOf(reader);
}

std::string outcomeOf(const std::string& bytes) { return itemsOf(bytes).back(); }

const Lines kFrame = {
    "document 'out.xrd' Testx1",
    "node 0 'Global Report' 'Global Report' ok sum 0 testscript overview filex2 | 0 plain nodex3 "
    "'Component testing C++ report'",
    "title 1 plain nodex4 'Report summary'",
    "summary 1 0 0 1 Passed/plain Inconclusive/plain Failed/failed Total/plain 'Tessaloft "
    "Component testing C++ 8.2.0.1'",
    "title 1 plain nodex5 'Report Information'",
    "table",
    "end table",
};

Lines framed(Lines inner) {
  Lines lines = kFrame;
  lines.insert(lines.end(), inner.begin(), inner.end());
  lines.push_back("end node 0");
  lines.push_back("end");
  return lines;
}

const char kTestCase[] =
    "<XROD:NODE name=\"push_pop\" type=\"Test Case\" state=\"ok\" sum=\"1\" "
    "icone=\"method.xpm\"><TITLE LEVEL=\"2\" TAG=\"nodex10\" STYLE=\"Title3 Passed\">\n"
    "<LINK TARGET=\"src/stack test.cpp line 20\">\n<TEXT>Test Case push_pop</TEXT>\n</LINK>\n"
    "</TITLE>\n<TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\">\n<ROW>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Expression</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Status</CELL_TEXT>\n</ROW>\n</TABLE>\n"
    "<TABLE BORDER=\"1\" WIDTH=\"55,45\">\n<ROW>\n<CELL STYLE=\"Array\">\n"
    "<IMAGE NAME=\"arrow10.xpm\"/><LINK TARGET=\"src/stack test.cpp line 22\">\n"
    "<TEXT>Comment:after push</TEXT>\n</LINK>\n</CELL>\n<CELL STYLE=\"Array\">\n"
    "<TEXT>(x1)</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n"
    "<TABLE BORDER=\"0\" WIDTH=\"5,95\">\n<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n"
    "<CELL STYLE=\"Array\">\n<TEXT>line one&#10;  line two</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n"
    "<TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\">\n<ROW>\n"
    "<CELL_TEXT STYLE=\"Array Failed\">a &lt; b &amp;&amp; c</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array Failed\">Failed</CELL_TEXT>\n</ROW>\n</TABLE>\n</XROD:NODE>\n";

TEST(ReportReader, ItemsOfEveryElement) {
  EXPECT_EQ(
      itemsOf(reportAround(driverAround(
          "<TABLE BORDER=\"1\">\n<ROW>\n<CELL_TEXT STYLE=\"Array\">Number Of Test Suite</CELL_TEXT>\n"
          "<CELL_TEXT STYLE=\"Array\">1</CELL_TEXT>\n</ROW>\n</TABLE>\n"
          "<XROD:NODE name=\"Stack\" type=\"Test Suite\" state=\"ok\" icone=\"class.xpm\">"
          "<TITLE LEVEL=\"1\" TAG=\"nodex9\" STYLE=\"Title2 Passed\">\n"
          "<LINK TARGET=\" line 12\">\n<TEXT>Test Suite Stack</TEXT>\n</LINK>\n</TITLE>\n" +
          std::string(kTestCase) + "</XROD:NODE>\n"))),
      framed({
          "node 1 'stack' 'Test Driver' ok sum 0 testscript driver rootx6 | 0 passed nodex7 "
          "'Test Driver stack'",
          "table",
          "row data [plain 'Number Of Test Suite'] [plain '1']",
          "end table",
          "node 2 'Stack' 'Test Suite' ok sum 0 class -  | 1 passed nodex9 'Test Suite Stack' @:12",
          "node 3 'push_pop' 'Test Case' ok sum 1 method -  | 2 passed nodex10 'Test Case push_pop' "
          "@src/stack test.cpp:20",
          "table",
          "row header [title 'Expression'] [title 'Status']",
          "end table",
          "table",
          "row trace [cell image plain 'Comment:after push' @src/stack test.cpp:22] [cell plain "
          "'(x1)']",
          "end table",
          "table",
          "row note [cell plain ''] [cell plain 'line one\n  line two']",
          "end table",
          "table",
          "row data [failed 'a < b && c'] [failed 'Failed']",
          "end table",
          "end node 3",
          "end node 2",
          "end node 1",
      }));
}

// The contracts section: a class with a member block whose title has no link.
TEST(ReportReader, ContractsSection) {
  EXPECT_EQ(
      itemsOf(reportAround(
          "<XROD:NODE name=\"Contracts\" type=\"Contracts\" state=\"ko\" icone=\"testscript.xpm\">"
          "<SECTION TAG=\"classx9\">\n<TITLE LEVEL=\"0\" TAG=\"nodex10\" STYLE=\"Title1 Failed\">\n"
          "<TEXT>Tested Contracts</TEXT>\n</TITLE>\n"
          "<XROD:NODE name=\"Zulu\" type=\"Single Class\" state=\"ko\" icone=\"class.xpm\">"
          "<TITLE LEVEL=\"1\" TAG=\"nodex11\" STYLE=\"Title2 Failed\">\n"
          "<LINK TARGET=\"src/zulu.h line 20\">\n<TEXT>Single Class Zulu</TEXT>\n</LINK>\n</TITLE>\n"
          "<XROD:NODE name=\"State Chart Violations\" type=\"State\" state=\"ko\" sum=\"1\" "
          "icone=\"method.xpm\"><TITLE LEVEL=\"2\" TAG=\"nodex12\" STYLE=\"Title3 Failed\">\n"
          "<TEXT>State Chart Violations</TEXT>\n</TITLE>\n<TABLE BORDER=\"1\" WIDTH=\"40,30,30\">\n"
          "<ROW>\n<CELL STYLE=\"Array Failed\"><LINK TARGET=\"src/zulu.h line 22\">\n"
          "<TEXT>Busy</TEXT>\n</LINK>\n</CELL>\n<CELL_TEXT STYLE=\"Array Failed\">1</CELL_TEXT>\n"
          "</ROW>\n</TABLE>\n</XROD:NODE>\n</XROD:NODE>\n</SECTION>\n</XROD:NODE>\n",
          0, 0, 1)),
      (Lines{
          "document 'out.xrd' Testx1",
          "node 0 'Global Report' 'Global Report' ko sum 0 testscript overview filex2 | 0 plain "
          "nodex3 'Component testing C++ report'",
          "title 1 plain nodex4 'Report summary'",
          "summary 0 0 1 1 Passed/plain Inconclusive/plain Failed/failed Total/plain 'Tessaloft "
          "Component testing C++ 8.2.0.1'",
          "title 1 plain nodex5 'Report Information'",
          "table",
          "end table",
          "node 1 'Contracts' 'Contracts' ko sum 0 testscript contracts classx9 | 0 failed "
          "nodex10 'Tested Contracts'",
          "node 2 'Zulu' 'Single Class' ko sum 0 class -  | 1 failed nodex11 'Single Class Zulu' "
          "@src/zulu.h:20",
          "node 3 'State Chart Violations' 'State' ko sum 1 method -  | 2 failed nodex12 'State "
          "Chart Violations'",
          "table",
          "row data [cell failed 'Busy' @src/zulu.h:22] [failed '1']",
          "end table",
          "end node 3",
          "end node 2",
          "end node 1",
          "end node 0",
          "end",
      }));
}

// The information table: title rows, key and value rows, titled tables.
TEST(ReportReader, InformationTables) {
  std::string report = reportAround("");
  const std::string empty = "<TABLE BORDER=\"1\">\n</TABLE>\n</SECTION>";
  report.replace(report.find(empty), empty.size(),
                 "<TABLE BORDER=\"1\">\n<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" "
                 "ROWSPAN=\"0\">Nightly</CELL_TEXT></ROW><ROW>\n"
                 "<CELL_TEXT STYLE=\"Array\">Version</CELL_TEXT>\n"
                 "<CELL_TEXT STYLE=\"Array\">1.4</CELL_TEXT>\n</ROW>\n</TABLE>\n"
                 "<TITLE LEVEL=\"2\" TAG=\"nodex6\" STYLE=\"Title3\">\n<TEXT>Env</TEXT>\n</TITLE>\n"
                 "<TABLE BORDER=\"1\">\n</TABLE>\n</SECTION>");
  Lines expected = kFrame;
  expected.pop_back();
  expected.insert(expected.end(), {"row title [- 'Nightly']",
                                   "row data [plain 'Version'] [plain '1.4']", "end table",
                                   "title 2 plain nodex6 'Env'", "table", "end table",
                                   "end node 0", "end"});
  EXPECT_EQ(itemsOf(report), expected);
}

// Reports of an earlier generator: the file name in DOCUMENT TITLE raw, and
// node names and titles with their UTF-8 encoded twice.
TEST(ReportReader, ReportsOfAnEarlierGenerator) {
  std::string report = reportAround(driverAround(
      "<XROD:NODE name=\"Gr\xC3\x83\xC2\xB6\xC3\x83\xC2\x9F\xC3\xA2\xC2\x82\xC2\xAC\" "
      "type=\"Test Case\" state=\"NE\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"2\" TAG=\"nodex8\" STYLE=\"Title3\">\n"
      "<TEXT>Test Case Gr\xC3\x83\xC2\xB6\xC3\x83\xC2\x9F</TEXT>\n</TITLE>\n"
      "<TABLE BORDER=\"1\">\n<ROW>\n<CELL_TEXT STYLE=\"Array\">Gr\xC3\xB6\xC3\x9F"
      "e</CELL_TEXT>\n</ROW>\n</TABLE>\n</XROD:NODE>\n"));
  report.replace(report.find("TITLE=\"out.xrd\""), 15, "TITLE=\"a\"&b<c>.xrd\"");
  const Lines items = itemsOf(report);
  EXPECT_EQ(items[0], "document 'a\"&b<c>.xrd' Testx1");
  const auto node = std::find_if(items.begin(), items.end(),
                                 [](const std::string& line) { return line.rfind("node 2", 0) == 0; });
  ASSERT_NE(node, items.end());
  EXPECT_EQ(*node,
            "node 2 'Gr\xC3\xB6\xC3\x9F\xE2\x82\xAC' 'Test Case' NE sum 1 method -  | 2 plain "
            "nodex8 'Test Case Gr\xC3\xB6\xC3\x9F'");
  // Cells were right in both generators and are left alone.
  EXPECT_EQ(node[2], "row data [plain 'Gr\xC3\xB6\xC3\x9F" "e']");
  EXPECT_EQ(items.back(), "end");
}

TEST(ReportReader, RepairOnlyTextsEncodedTwice) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"\xC3\x83\xC2\xA4", "\xC3\xA4"},           // ä twice, once
      {"Gr\xC3\xB6\xC3\x9F" "e", "Gr\xC3\xB6\xC3\x9F" "e"},  // Größe once: not UTF-8 as bytes
      {"\xC3\x83", "\xC3\x83"},                   // Ã alone: a cut sequence
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},           // € is above U+00FF
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // été
  };
  for (const auto& [input, expected] : cases) {
    std::string text = input;
    repairDoubleEncoding(&text);
    EXPECT_EQ(text, expected) << input;
  }
}

TEST(ReportReader, LinkTargetsAndTimes) {
  const std::pair<const char*, const char*> links[] = {
      {"src/a.cpp line 12", "src/a.cpp:12"},
      {" line 7", ":7"},
      {"dir line 3/a line b line 40", "dir line 3/a line b:40"},
      {"no number line x", "no number line x:0"},
      {"plain", "plain:0"},
      {"a line -4", "a line -4:0"},
  };
  for (const auto& [target, expected] : links) {
    const SourceLink link = parseLinkTarget(target);
    EXPECT_EQ(link.file + ":" + std::to_string(link.line), expected) << target;
  }
  ReportTime time;
  ASSERT_TRUE(parseReportTime("Sun Dec  6 18:05:11 2026", &time));
  EXPECT_EQ(time.year * 10000 + time.month * 100 + time.day, 20261206);
  EXPECT_EQ(time.hour * 10000 + time.minute * 100 + time.second, 180511);
  EXPECT_TRUE(parseReportTime("Mon Dec 7 09:30:12 2026", &time));
  EXPECT_FALSE(parseReportTime("Mon Dez 7 09:30:12 2026", &time));
  EXPECT_FALSE(parseReportTime("Mon Dec 7 09:30 2026", &time));
  EXPECT_FALSE(parseReportTime("Mon Dec 7 09:30:12 2026 extra", &time));
  EXPECT_FALSE(parseReportTime("1.4.2", &time));
  // Only dates and times that exist.
  EXPECT_FALSE(parseReportTime("Mon Feb 31 09:30:12 2026", &time));
  EXPECT_FALSE(parseReportTime("Mon Feb 3 09:30:60 2026", &time));
  EXPECT_FALSE(parseReportTime("Mon Feb 3 09:30:12 -999", &time));
  EXPECT_FALSE(parseReportTime("Mon Feb 29 09:30:12 2100", &time));
  EXPECT_TRUE(parseReportTime("Thu Feb 29 09:30:12 2024", &time));
}

TEST(ReportReader, FilesUnderTheSourceRootBecomeRelative) {
  EXPECT_EQ(relativeToRoot("/ci/src/a.cpp", "/ci"), "src/a.cpp");
  EXPECT_EQ(relativeToRoot("/ci/src/a.cpp", "/ci//"), "src/a.cpp");
  EXPECT_EQ(relativeToRoot("/cia/b.cpp", "/ci"), "/cia/b.cpp");
  EXPECT_EQ(relativeToRoot("/ci", "/ci"), "/ci");
  EXPECT_EQ(relativeToRoot("/a.cpp", "/"), "a.cpp");
  EXPECT_EQ(relativeToRoot("src/a.cpp", ""), "src/a.cpp");
  ReportReader reader;
  reader.setSourceRoot("/work");
  reader.openBytes(reportAround(driverAround(
      "<XROD:NODE name=\"t\" type=\"Test Case\" state=\"ok\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"1\" TAG=\"nodex9\" STYLE=\"Title2\"><LINK TARGET=\"/work/src/t.cpp line 4\">"
      "<TEXT>t</TEXT></LINK></TITLE></XROD:NODE>\n")));
  std::string file;
  for (ReportItemKind kind; (kind = reader.next()) != ReportEnd && kind != ReportFailed;)
    if (kind == ReportNodeStart && reader.node().name == "t") file = reader.node().title.link.file;
  EXPECT_EQ(file, "src/t.cpp");
}

// Files that are no report: each gives one error with its place.
TEST(ReportReader, BadInputs) {
  const std::string good = reportAround(driverAround(kTestCase));
  const auto with = [&good](const std::string& from, const std::string& to) {
    std::string report = good;
    report.replace(report.find(from), from.size(), to);
    return report;
  };
  const std::pair<std::string, const char*> cases[] = {
      {"", "error 1:1 the file is empty"},
      {"PK\x03\x04 binary", "error 1:1 not an XML document"},
      {good.substr(0, good.size() / 2), "error 36:91 the file ends inside <XROD:NODE>"},
      {"<html><body/></html>", "error 1:1 not a report: the root element is <html>, not <XROD>"},
      {"<XROD><APIDOC><DOCUMENT/></APIDOC></XROD>",
       "error 1:15 not a report: <DOCUMENT> holds no <XROD:NODE>"},
      {"<XROD><DOCUMENT/></XROD>", "error 1:7 unexpected <DOCUMENT> inside <XROD>"},
      {with("<TABLE BORDER=\"1\">\n<ROW STYLE", "<TABLE BORDER=\"1\">\n</TABLE><TABLE>\n<ROW STYLE"),
       "error 12:1 not a report: the summary table holds 0 totals instead of four"},
      {with("<CELL_TEXT STYLE=\"Array\">1</CELL_TEXT>", "<CELL_TEXT STYLE=\"Array\">one</CELL_TEXT>"),
       "error 13:118 not a report: the summary table holds a row that is not a total"},
      {with("state=\"ok\" sum=\"1\"", "state=\"fine\" sum=\"1\""),
       "error 40:1 <XROD:NODE> has the unknown state \"fine\""},
      {with("type=\"Test Case\" ", ""), "error 40:1 <XROD:NODE> lacks its type"},
      {with("sum=\"1\"", "sum=\"x\""), "error 40:1 the sum of an <XROD:NODE> is not a number"},
      {with("<ROW>\n<CELL_TEXT STYLE=\"Array Title\">Expression",
            "<ROW>\n<B/><CELL_TEXT STYLE=\"Array Title\">Expression"),
       "error 47:1 unexpected <B> inside <ROW>"},
      {with("<TEXT>Test Case push_pop</TEXT>", "<TEXT>Test Case <B>push_pop</B></TEXT>"),
       "error 42:17 unexpected <B> inside <TEXT>"},
      {with("</TABLE>\n<TABLE BORDER=\"1\" WIDTH=\"55,45\">", "</TABLE>\nstray text\n<TABLE>"),
       "error 50:9 text inside <XROD:NODE>"},
      {with("<LINK TARGET=\"src/stack test.cpp line 20\">", "<LINK>"),
       "error 41:1 <LINK> lacks its TARGET"},
      {with("</DOCUMENT>", "<XROD:NODE name=\"x\" type=\"x\" state=\"ok\"/></DOCUMENT>"),
       "error 82:1 not a report: a second <XROD:NODE> in <DOCUMENT>"},
      {with("<XROD:NODE name=\"stack\"", "<SECTION/><XROD:NODE name=\"stack\""),
       "error 36:1 unexpected <SECTION> inside <XROD:NODE>"},
      // Well-formed, but no report.
      {"<XROD/>", "error 1:1 not a report: <XROD> holds no <APIDOC>"},
      {"<XROD><APIDOC/></XROD>", "error 1:7 not a report: <APIDOC> holds no <DOCUMENT>"},
      {with("</APIDOC>", "</APIDOC><APIDOC><DOCUMENT/></APIDOC>"),
       "error 83:18 not a report: a second <DOCUMENT>"},
      // Totals: 32-bit counts, the last the sum of the others.
      {with(">1</CELL_TEXT>", ">-1</CELL_TEXT>"),
       "error 12:1 not a report: a total is not a count from 0 to 2147483647"},
      {with(">1</CELL_TEXT>", ">9223372036854775807</CELL_TEXT>"),
       "error 12:1 not a report: a total is not a count from 0 to 2147483647"},
      {with(">0</CELL_TEXT>", ">2147483648</CELL_TEXT>"),
       "error 12:1 not a report: a total is not a count from 0 to 2147483647"},
      {with("Total</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">1", "Total</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">2"),
       "error 12:1 not a report: the last total is not the sum of the three before it"},
  };
  for (const auto& [input, error] : cases) EXPECT_EQ(outcomeOf(input), error) << input;

  // The run's node must hold the summary.
  EXPECT_EQ(outcomeOf("<XROD><APIDOC><DOCUMENT><XROD:NODE name=\"G\" type=\"G\" state=\"ok\">"
                      "</XROD:NODE></DOCUMENT></APIDOC></XROD>"),
            "error 1:65 not a report: the report's first XROD:NODE holds no summary table");
}

TEST(ReportReader, FilesThatCannotBeOpened) {
  ReportReader missing;
  EXPECT_FALSE(missing.open((testing::TempDir() + "missing.xrd").c_str()));
  EXPECT_EQ(missing.error().message, "cannot open: No such file or directory");
  EXPECT_EQ(missing.error().line, 0);
  EXPECT_EQ(missing.next(), ReportFailed);
  ReportReader directory;
  EXPECT_FALSE(directory.open(testing::TempDir().c_str()));
  EXPECT_EQ(directory.error().message, "cannot open: Is a directory");
}

// A million nested nodes read in one loop, without recursion, from a file.
TEST(ReportReader, MillionNestedNodes) {
  constexpr int kDepth = 1000000;
  std::string nodes;
  nodes.reserve(kDepth * 64);
  const std::string open = "<XROD:NODE name=\"n\" type=\"Test Suite\" state=\"ok\" icone=\"class.xpm\">";
  for (int i = 0; i < kDepth; ++i) nodes += open;
  for (int i = 0; i < kDepth; ++i) nodes += "</XROD:NODE>";
  const std::string path = testing::TempDir() + "nested.xrd";
  writeFile(path, reportAround(nodes));
  ReportReader reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  int deepest = 0;
  int ends = 0;
  for (ReportItemKind kind; (kind = reader.next()) != ReportEnd;) {
    ASSERT_NE(kind, ReportFailed) << reader.error().message;
    if (kind == ReportNodeStart) deepest = std::max(deepest, reader.depth());
    if (kind == ReportNodeEnd) ++ends;
  }
  EXPECT_EQ(deepest, kDepth);
  EXPECT_EQ(ends, kDepth + 1);
}

}  // namespace
