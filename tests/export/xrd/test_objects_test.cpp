// The walk from report items to the objects that add to the totals: paths,
// kinds, locations, notes and failed checks of driver objects, class blocks
// with their fallbacks to the class, the violation that no table shows, the
// driver's stub count and the report information rows.
#include "export/xrd/test_objects.h"

#include "tests/export/xrd/report_test_reports.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const char* const kKinds[] = {"test", "block", "chart", "hidden"};
// By ObjectStatus.
const char* const kStates[] = {"ok", "NE", "ko"};

std::string linkOf(const SourceLink& link) {
  return link.present ? link.file + ":" + std::to_string(link.line) : std::string("-");
}

// Every visitor call as a line.
struct Recorder : TestObjectVisitor {
  void property(const std::string& name, const std::string& value) override {
    lines.push_back("property '" + name + "' '" + value + "'");
  }
  void suiteStart(const TestSuiteInfo& suite) override {
    lines.push_back("suite " + suite.name + (suite.contracts ? " contracts" : ""));
  }
  void object(const TestObject& o) override {
    std::string path;
    for (const std::string_view name : o.path) (path += "/") += name;
    std::string line = std::string(kKinds[o.kind]) + " " + path + " " + kStates[o.state] + " @" +
                       linkOf(o.location) + " '" + o.type + "'";
    for (const FailedCheck& c : o.checks)
      line += " [" + c.expression + " @" + linkOf(c.link) + " " + checkCounts(c, o.kind) + "]";
    for (const TestNote& n : o.notes) {
      line += " {" + n.trace + " " + n.count + " @" + linkOf(n.link);
      for (const std::string& text : n.notes) line += " '" + text + "'";
      line += "}";
    }
    lines.push_back(line);
  }
  void suiteEnd(const TestSuiteInfo& suite) override {
    lines.push_back("end " + suite.name + " stubs " + std::to_string(suite.stubs));
  }
  Lines lines;
};

Lines walk(const std::string& report) {
  ReportReader reader;
  reader.openBytes(report);
  Recorder recorder;
  EXPECT_TRUE(readTestObjects(reader, recorder)) << reader.error().message;
  return recorder.lines;
}

std::string node(const char* name, const char* type, const char* state, int sum, int line,
                 const std::string& content) {
  const std::string sumAttribute = sum ? " sum=\"1\" icone=\"method.xpm\"" : " icone=\"class.xpm\"";
  return std::string("<XROD:NODE name=\"") + name + "\" type=\"" + type + "\" state=\"" + state +
         "\"" + sumAttribute + "><TITLE LEVEL=\"1\" TAG=\"nodex9\" STYLE=\"Title2\">\n" +
         "<LINK TARGET=\"src/t.cpp line " + std::to_string(line) + "\">\n<TEXT>" + type + " " +
         name + "</TEXT>\n</LINK>\n</TITLE>\n" + content + "</XROD:NODE>\n";
}

std::string row(const char* style, const std::vector<std::string>& cells) {
  std::string text = "<ROW>\n";
  for (const std::string& c : cells)
    text += std::string("<CELL_TEXT STYLE=\"") + style + "\">" + c + "</CELL_TEXT>\n";
  return text + "</ROW>\n";
}

std::string table(const std::string& rows) {
  return "<TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\">\n" +
         row("Array Title", {"Expression", "Status", "Executed", "Failed", "Passed"}) + rows +
         "</TABLE>\n";
}

const char kTraceAndNote[] =
    "<TABLE BORDER=\"1\" WIDTH=\"55,45\">\n<ROW>\n<CELL STYLE=\"Array\">\n"
    "<IMAGE NAME=\"arrow10.xpm\"/><LINK TARGET=\"src/t.cpp line 22\">\n"
    "<TEXT>Comment:after push</TEXT>\n</LINK>\n</CELL>\n<CELL STYLE=\"Array\">\n"
    "<TEXT>(x2)</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n"
    "<TABLE BORDER=\"0\" WIDTH=\"5,95\">\n<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n"
    "<CELL STYLE=\"Array\">\n<TEXT>one&#10;two</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n";

std::string countsTable(int stubs) {
  std::string rows;
  const std::string values[4][4] = {{"Suites", "1", "Classes", "0"},
                                    {"Cases", "2", "Epilogues", "0"},
                                    {"Procedures", "1", "Prologues", "0"},
                                    {"Stubs", std::to_string(stubs), "", ""}};
  for (const auto& r : values) rows += row("Array", {r[0], r[1], r[2], r[3]});
  return "<TABLE BORDER=\"1\">\n" + rows + "</TABLE>\n";
}

TEST(TestObjects, DriverObjectsWithPathsLocationsChecksAndNotes) {
  const std::string failedRow = row("Array Failed", {"size() == 2", "Failed", "3", "1", "2"});
  const std::string passedRow = row("Array Passed", {"top() == 1", "Passed", "1", "0", "1"});
  const std::string ownStatus = row("Array Failed", {"", "Failed", "", "", ""});
  const std::string body =
      countsTable(1) +
      node("Stack", "Test Suite", "ko", 0, 12,
           node("push", "Test Case", "ko", 1, 20, table(passedRow) + kTraceAndNote + table(failedRow)) +
               node("outer", "Test Case", "ko", 1, 30,
                    table(passedRow) + node("inner", "Proc", "ko", 1, 31, table(ownStatus))) +
               node("never", "Stub", "NE", 1, 40, table(""))) +
      node("fill", "Proc", "ok", 1, 50, table(passedRow));
  EXPECT_EQ(walk(reportAround(driverAround(body, "ko"), 1, 1, 3)),
            (Lines{"suite stack",
                   "test /stack/Stack/push ko @src/t.cpp:20 'Test Case' [size() == 2 @src/t.cpp:20 "
                   "(failed 1 of 3 executions)] {Comment:after push (x2) @src/t.cpp:22 'one\ntwo'}",
                   // Complete before its nested object; failed without a row of its own.
                   "test /stack/Stack/outer ko @src/t.cpp:30 'Test Case'",
                   "test /stack/Stack/outer/inner ko @src/t.cpp:31 'Proc'",
                   "test /stack/Stack/never NE @src/t.cpp:40 'Stub'",
                   "test /stack/fill ok @src/t.cpp:50 'Proc'", "end stack stubs 1"}));
}

std::string contracts(const std::string& classes) {
  return "<XROD:NODE name=\"Contracts\" type=\"Contracts\" state=\"ko\" icone=\"testscript.xpm\">"
         "<SECTION TAG=\"classx15\">\n<TITLE LEVEL=\"0\" TAG=\"nodex16\" STYLE=\"Title1\">\n"
         "<TEXT>Tested Contracts</TEXT>\n</TITLE>\n" +
         classes + "</SECTION>\n</XROD:NODE>\n";
}

std::string block(const char* name, const char* state, const std::string& rows) {
  return std::string("<XROD:NODE name=\"") + name + "\" type=\"State\" state=\"" + state +
         "\" sum=\"1\" icone=\"method.xpm\"><TITLE LEVEL=\"2\" TAG=\"nodex20\" STYLE=\"Title3\">\n"
         "<TEXT>" + name + "</TEXT>\n</TITLE>\n<TABLE BORDER=\"1\" WIDTH=\"40,30,30\">\n" +
         row("Array Title", {"Name", "A", "B"}) + rows + "</TABLE>\n</XROD:NODE>\n";
}

TEST(TestObjects, ClassBlocksFallBackToTheClassAndHiddenViolationsBecomeObjects) {
  const std::string linkedState =
      "<ROW>\n<CELL STYLE=\"Array Failed\"><LINK TARGET=\"src/door.h line 7\">\n<TEXT>Open</TEXT>\n"
      "</LINK>\n</CELL>\n<CELL_TEXT STYLE=\"Array Failed\">1</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">0</CELL_TEXT>\n</ROW>\n";
  const std::string observed = row("Array Failed", {"observed", "0", "2"});
  const std::string failedState = row("Array Failed", {"Shut", "Failed", "4"});
  const std::string classes =
      node("Door", "Class", "ko", 0, 5,
           block("State", "ko", failedState) +
               block("State Chart Violations", "ko", linkedState + observed)) +
      // Failed, but none of its blocks did.
      node("Lamp", "Class", "ko", 0, 9, block("Transition", "NE", "")) +
      node("Bell", "Class", "ko", 0, 11, "");
  EXPECT_EQ(walk(reportAround(contracts(classes), 0, 1, 4)),
            (Lines{"suite Contracts contracts",
                   "block /Contracts/Door/State ko @src/t.cpp:5 'State' [Shut @src/t.cpp:5 (4 "
                   "executions)]",
                   "chart /Contracts/Door/State Chart Violations ko @src/t.cpp:5 'State' [Open "
                   "@src/door.h:7 (1 multiple exits, 0 illegal exits)] [observed @src/t.cpp:5 (0 "
                   "multiple exits, 2 illegal exits)]",
                   "block /Contracts/Lamp/Transition NE @src/t.cpp:9 'State'",
                   "hidden /Contracts/Lamp/State Chart Violations ko @src/t.cpp:9 ''",
                   "hidden /Contracts/Bell/State Chart Violations ko @src/t.cpp:11 ''",
                   "end Contracts stubs -1"}));
}

TEST(TestObjects, InformationRowsAreProperties) {
  const std::string report = reportAround("", 0);
  const std::string information =
      "<TABLE BORDER=\"1\">\n<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">"
      "Nightly</CELL_TEXT></ROW><ROW>\n<CELL_TEXT STYLE=\"Array\">Version</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">1.4</CELL_TEXT>\n</ROW>\n</TABLE>\n"
      "<TITLE LEVEL=\"2\" TAG=\"nodex6\" STYLE=\"Title3\">\n<TEXT>Environment</TEXT>\n</TITLE>\n"
      "<TABLE BORDER=\"1\">\n<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">"
      "ci</CELL_TEXT></ROW></TABLE>\n";
  std::string withRows = report;
  const std::string empty = "<TABLE BORDER=\"1\">\n</TABLE>\n</SECTION>";
  withRows.replace(withRows.find(empty), empty.size(), information + "</SECTION>");
  EXPECT_EQ(walk(withRows), (Lines{"property 'Report Information' 'Nightly'",
                                   "property 'Version' '1.4'", "property 'Environment' 'ci'"}));
}

// "##[" that GitHub's runner would find, through the characters its ICU
// comparison passes over, and look-alikes it would not.
TEST(TestObjects, RunnerCommandsInert) {
  const std::pair<const char*, const char*> lines[] = {
      {"##[error]x ##[add-mask]y", "##\\[error]x ##\\[add-mask]y"},
      {"###[", "###\\["},
      {"#\u200B#\u00AD[stop-commands]", "#\u200B#\u00AD\\[stop-commands]"},
      {"## [ #[ a[#] ##x[", "## [ #[ a[#] ##x["},
      {"##\x1b[0m", "##\x1b[0m"},  // a colour after report text stays a colour
  };
  for (const auto& [line, inert] : lines) EXPECT_EQ(runnerInert(line), inert) << line;
}

TEST(TestObjects, LinesAndLocations) {
  EXPECT_EQ(singleLine("text == \"a\nb\"\n"), "text == \"a\\nb\"\\n");
  SourceLink link;
  EXPECT_EQ(locationPrefix(link), "");
  link.present = true;
  link.line = 7;
  EXPECT_EQ(locationPrefix(link), "");  // no file: " line 7"
  link.file = "src/a.cpp";
  EXPECT_EQ(locationPrefix(link), "src/a.cpp:7: ");
}

}  // namespace
