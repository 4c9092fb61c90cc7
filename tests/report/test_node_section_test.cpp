// Byte-exact output of the test node sections and class item rows, over
// models built through the model's own operations, in a UTF-8 locale.
#include "report/test_node_section.h"

#include "report/xml_writer.h"
#include "tests/model_fixture.h"
#include "tests/report/writer_test_support.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

const std::string kCheckTableStart =
    "<TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\">\n"
    "<ROW>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Expression</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Status</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Executed</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Failed</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array Title\">Passed</CELL_TEXT>\n"
    "</ROW>\n";
const std::string kCheckTableAgain = "<TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\">\n";

// A ROW of CELL_TEXT cells, all in one style, optionally after a link cell.
std::string row(const std::string& style, std::initializer_list<const char*> texts,
                const std::string& linkCell = std::string()) {
  std::string out = "<ROW>\n" + linkCell;
  for (const char* text : texts)
    out += "<CELL_TEXT STYLE=\"" + style + "\">" + text + "</CELL_TEXT>\n";
  return out + "</ROW>\n";
}

// A class member row: the member's name linked to its line, then text cells.
std::string linkedRow(const std::string& style, const std::string& target, const char* name,
                      std::initializer_list<const char*> texts) {
  return row(style, texts,
             "<CELL STYLE=\"" + style + "\"><LINK TARGET=\"" + target + "\">\n<TEXT>" + name +
                 "</TEXT>\n</LINK>\n</CELL>\n");
}

std::string traceLine(const std::string& target, const std::string& text, int executions) {
  return "</TABLE>\n<TABLE BORDER=\"1\" WIDTH=\"55,45\">\n<ROW>\n<CELL STYLE=\"Array\">\n"
         "<IMAGE NAME=\"arrow10.xpm\"/><LINK TARGET=\"" + target + "\">\n<TEXT>" + text +
         "</TEXT>\n</LINK>\n</CELL>\n<CELL STYLE=\"Array\">\n<TEXT>(x" +
         std::to_string(executions) + ")</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n";
}

// One symbol file whose driver links to src/stack.
class TestNodeSection : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    addSymbolFile(model, 0, "tests/stack.ots");
    setDriverInfo(model, 0, "src/", "stack", 1);
  }

  TestNode* add(int32_t kind, uint64_t id, const char* name, uint64_t parentId,
                int32_t line = 0, int32_t fileIndex = 0) {
    addChildNode(model, fileIndex, kind, id, name, parentId, line, 0);
    return findNode(model, fileIndex, id);
  }
  // Gives a node the status and counters that the status rules would leave.
  static void settle(TestNode* node, int32_t status, int32_t executions = 0, int32_t failed = 0,
                     int32_t passed = 0) {
    node->status = status;
    if (CheckCounts* counts = checkCountsOf(node)) {
      counts->executions = executions;
      counts->failed = failed;
      counts->passed = passed;
    }
  }
  std::string section(TestNode* node, const char* linkFile, int level) {
    return written([&](FILE* f) {
      report.file = f;
      TestNodeContext context{&report, linkFile, level};
      writeTestNode(node, &context);
    });
  }

  std::string classRows(TestNode* owner, int32_t kind) {
    return written([&](FILE* f) {
      report.file = f;
      ClassRowContext context{&report, kind};
      forEachChild(owner, writeClassItemRow, &context);
    });
  }

  ReportContext report{model, nullptr};
};

TEST_F(TestNodeSection, TestCaseWithCheckAndComment) {
  add(KindTestCase, 2, "push_pop", 1, 20);
  add(KindCheckExpression, 3, "top == 3", 2, 21);
  add(KindComment, 4, "after push", 2, 22);
  recordOutcome(model, 0, 2, Reached);
  recordOutcome(model, 0, 3, VerdictPassed);
  recordOutcome(model, 0, 4, Reached);
  computeStatuses(model);
  report.tagCounter = 12;
  EXPECT_EQ(
      R"(<XROD:NODE name="push_pop" type="Test Case" state="ok" sum="1" icone="method.xpm"><TITLE LEVEL="2" TAG="nodex12" STYLE="Title3 Passed">
<LINK TARGET="src/stack line 20">
<TEXT>Test Case push_pop</TEXT>
</LINK>
</TITLE>
<TABLE BORDER="1" WIDTH="40,15,15,15,15">
<ROW>
<CELL_TEXT STYLE="Array Title">Expression</CELL_TEXT>
<CELL_TEXT STYLE="Array Title">Status</CELL_TEXT>
<CELL_TEXT STYLE="Array Title">Executed</CELL_TEXT>
<CELL_TEXT STYLE="Array Title">Failed</CELL_TEXT>
<CELL_TEXT STYLE="Array Title">Passed</CELL_TEXT>
</ROW>
<ROW>
<CELL_TEXT STYLE="Array Passed">top == 3</CELL_TEXT>
<CELL_TEXT STYLE="Array Passed">Passed</CELL_TEXT>
<CELL_TEXT STYLE="Array Passed">1</CELL_TEXT>
<CELL_TEXT STYLE="Array Passed">0</CELL_TEXT>
<CELL_TEXT STYLE="Array Passed">1</CELL_TEXT>
</ROW>
</TABLE>
<TABLE BORDER="1" WIDTH="55,45">
<ROW>
<CELL STYLE="Array">
<IMAGE NAME="arrow10.xpm"/><LINK TARGET="src/stack line 22">
<TEXT>Comment:after push</TEXT>
</LINK>
</CELL>
<CELL STYLE="Array">
<TEXT>(x1)</TEXT>
</CELL>
</ROW>
</TABLE>
<TABLE BORDER="1" WIDTH="40,15,15,15,15">
</TABLE>
</XROD:NODE>
)",
      section(findNode(model, 0, 2), "src/stack", 2));
  EXPECT_EQ(13, report.tagCounter);
}

TEST_F(TestNodeSection, SuiteNestsContainersAndSkipsOtherKinds) {
  TestNode* suite = add(KindTestSuite, 2, "stack_suite", 1, 5);
  add(KindPrologue, 3, "setup", 2, 6);
  settle(add(KindCheckExpression, 4, "stray", 2, 7), Failed, 1, 1, 0);
  TestNode* testClass = add(KindTestClass, 5, "StackTests", 2, 8);
  TestNode* empty = add(KindTestCase, 6, "empty", 5, 9);
  TestNode* full = add(KindTestCase, 7, "full", 2, 12);
  add(KindEpilogue, 8, "teardown", 7, 13);
  add(KindClass, 9, "Stack", 1, 30);
  settle(suite, Failed);
  settle(testClass, Passed);
  settle(empty, NotExecuted);
  settle(full, Failed);
  report.tagCounter = 20;
  const std::string out = written([this](FILE* f) {
    report.file = f;
    TestNodeContext context{&report, "src/stack", 1};
    forEachChild(findNode(model, 0, 1), writeTestNode, &context);
  });
  EXPECT_EQ(
      "<XROD:NODE name=\"stack_suite\" type=\"Test Suite\" state=\"ko\" icone=\"class.xpm\">"
      "<TITLE LEVEL=\"1\" TAG=\"nodex20\" STYLE=\"Title2 Failed\">\n"
      "<LINK TARGET=\"src/stack line 5\">\n<TEXT>Test Suite stack_suite</TEXT>\n</LINK>\n"
      "</TITLE>\n"
      "<XROD:NODE name=\"StackTests\" type=\"Test Class\" state=\"ok\" icone=\"class.xpm\">"
      "<TITLE LEVEL=\"2\" TAG=\"nodex21\" STYLE=\"Title3 Passed\">\n"
      "<LINK TARGET=\"src/stack line 8\">\n<TEXT>Test Class StackTests</TEXT>\n</LINK>\n"
      "</TITLE>\n"
      "<XROD:NODE name=\"empty\" type=\"Test Case\" state=\"NE\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"3\" TAG=\"nodex22\" STYLE=\"Title4\">\n"
      "<LINK TARGET=\"src/stack line 9\">\n<TEXT>Test Case empty</TEXT>\n</LINK>\n"
      "</TITLE>\n" +
          kCheckTableStart + row("Array", {"", "Not Executed", "", "", ""}) +
          "</TABLE>\n"
          "</XROD:NODE>\n"
          "</XROD:NODE>\n"
          "<XROD:NODE name=\"full\" type=\"Test Case\" state=\"ko\" sum=\"1\" "
          "icone=\"method.xpm\"><TITLE LEVEL=\"2\" TAG=\"nodex23\" STYLE=\"Title3 Failed\">\n"
          "<LINK TARGET=\"src/stack line 12\">\n<TEXT>Test Case full</TEXT>\n</LINK>\n"
          "</TITLE>\n" +
          kCheckTableStart + row("Array Failed", {"", "Failed", "", "", ""}) +
          "</TABLE>\n"
          "</XROD:NODE>\n"
          "</XROD:NODE>\n",
      out);
  EXPECT_EQ(24, report.tagCounter);
}

TEST_F(TestNodeSection, TraceLinesInterruptTheCheckTable) {
  TestNode* testCase = add(KindTestCase, 2, "traced", 1, 40);
  settle(add(KindCheckExpression, 3, "a > 0", 2, 41), Executed);
  TestNode* print = add(KindPrint, 4, "Result", 2, 42);
  settle(print, Passed, 1);
  appendNote(model, 0, 4, std::string("first  note"));
  appendNote(model, 0, 4, std::string("a<b \\n c"));
  settle(add(KindComment, 5, "done", 2, 43), Passed, 3);
  add(KindPrologue, 6, "setup", 2, 44);
  settle(add(KindCheckMethod, 7, "pop()", 2, 45), Failed, 2, 1, 1);
  settle(add(KindPrint, 8, "Tail", 2, 46), NotExecuted, 0);
  settle(add(KindStub, 9, "fake_io", 2, 47), Passed);
  settle(testCase, Failed);
  report.tagCounter = 3;
  // Titles link to the walk's file; trace lines to their node's own file.
  EXPECT_EQ(
      "<XROD:NODE name=\"traced\" type=\"Test Case\" state=\"ko\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"1\" TAG=\"nodex3\" STYLE=\"Title2 Failed\">\n"
      "<LINK TARGET=\"driver/stack line 40\">\n<TEXT>Test Case traced</TEXT>\n</LINK>\n"
      "</TITLE>\n" +
          kCheckTableStart + row("Array", {"a &gt; 0", "Not Executed", "0", "0", "0"}) +
          traceLine("src/stack line 42", "PrintResult", 1) +
          "<TABLE BORDER=\"0\" WIDTH=\"5,95\">\n"
          "<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n<CELL STYLE=\"Array\">\n"
          "<TEXT>first note</TEXT>\n</CELL>\n</ROW>\n"
          "<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n<CELL STYLE=\"Array\">\n"
          "<TEXT>a&lt;b &#10; c</TEXT>\n</CELL>\n</ROW>\n"
          "</TABLE>\n" +
          kCheckTableAgain + traceLine("src/stack line 43", "Comment:done", 3) +
          kCheckTableAgain + row("Array Failed", {"pop()", "Failed", "2", "1", "1"}) +
          traceLine("src/stack line 46", "PrintTail", 0) + kCheckTableAgain +
          "</TABLE>\n"
          "<XROD:NODE name=\"fake_io\" type=\"Stub\" state=\"ok\" sum=\"1\" icone=\"method.xpm\">"
          "<TITLE LEVEL=\"2\" TAG=\"nodex4\" STYLE=\"Title3 Passed\">\n"
          "<LINK TARGET=\"driver/stack line 47\">\n<TEXT>Stub fake_io</TEXT>\n</LINK>\n"
          "</TITLE>\n" +
          kCheckTableStart + row("Array Passed", {"", "Passed", "", "", ""}) +
          "</TABLE>\n"
          "</XROD:NODE>\n"
          "</XROD:NODE>\n",
      section(testCase, "driver/stack", 1));
}

TEST_F(TestNodeSection, DeepLevelsKeepTheirLevelAndUseTitleFive) {
  TestNode* top = add(KindTestSuite, 2, "a", 1, 1);
  add(KindTestSuite, 3, "b", 2, 2);
  add(KindTestSuite, 4, "c", 3, 3);
  add(KindTestSuite, 5, "d", 2, 4);
  report.tagCounter = 1;
  const std::string out = section(top, nullptr, 3);
  auto suite = [](const char* name, int level, int style, int tag, int line) {
    return "<XROD:NODE name=\"" + std::string(name) +
           "\" type=\"Test Suite\" state=\"ok\" icone=\"class.xpm\"><TITLE LEVEL=\"" +
           std::to_string(level) + "\" TAG=\"nodex" + std::to_string(tag) + "\" STYLE=\"Title" +
           std::to_string(style) + " Passed\">\n<LINK TARGET=\" line " + std::to_string(line) +
           "\">\n<TEXT>Test Suite " + name + "</TEXT>\n</LINK>\n</TITLE>\n";
  };
  const std::string end = "</XROD:NODE>\n";
  EXPECT_EQ(suite("a", 3, 4, 1, 1) + suite("b", 4, 5, 2, 2) + suite("c", 5, 5, 3, 3) + end + end +
                suite("d", 4, 5, 4, 4) + end + end,
            out);
}

TEST_F(TestNodeSection, NonAsciiNamesAndTranslatedWordsAreEncodedOnce) {
  ScopedTranslation german({{{"VELDORA OtsType", "Test Case"}, QStringLiteral(u"Testfall")},
                            {{"VELDORA OtsType", "Comment"}, QStringLiteral(u"Bemerkung")},
                            {{"VELDORA status", "Passed"}, QStringLiteral(u"Bestanden ✓")},
                            {{"VELDORA Cell text", "Status"}, QStringLiteral(u"Zustand")}});
  TestNode* testCase = add(KindTestCase, 2, "pr\xC3\xBC" "fe_gr\xC3\xB6\xC3\x9F" "e", 1, 7);
  settle(add(KindCheckExpression, 3, "gr\xC3\xB6\xC3\x9F" "e \xE2\x89\xA5 0", 2, 8), Passed, 1, 0,
         1);
  settle(add(KindComment, 4, "sch\xC3\xB6n", 2, 9), Passed, 1);
  appendNote(model, 0, 4, std::string("d\xC3\xA9j\xC3\xA0 vu"));
  settle(testCase, Passed);
  report.tagCounter = 5;
  const std::string out = section(testCase, "src/\xC3\xA4", 1);
  const std::string expected =
      "<XROD:NODE name=\"pr\xC3\xBC" "fe_gr\xC3\xB6\xC3\x9F" "e\" type=\"Testfall\" state=\"ok\" "
      "sum=\"1\" icone=\"method.xpm\"><TITLE LEVEL=\"1\" TAG=\"nodex5\" STYLE=\"Title2 Passed\">\n"
      "<LINK TARGET=\"src/\xC3\xA4 line 7\">\n"
      "<TEXT>Testfall pr\xC3\xBC" "fe_gr\xC3\xB6\xC3\x9F" "e</TEXT>\n</LINK>\n</TITLE>\n"
      "<TABLE BORDER=\"1\" WIDTH=\"40,15,15,15,15\">\n<ROW>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Expression</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Zustand</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Executed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Failed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Passed</CELL_TEXT>\n</ROW>\n" +
      row("Array Passed",
          {"gr\xC3\xB6\xC3\x9F" "e \xE2\x89\xA5 0", "Bestanden \xE2\x9C\x93", "1", "0", "1"}) +
      traceLine("src/stack line 9", "Bemerkung:sch\xC3\xB6n", 1) +
      "<TABLE BORDER=\"0\" WIDTH=\"5,95\">\n<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n"
      "<CELL STYLE=\"Array\">\n<TEXT>d\xC3\xA9j\xC3\xA0 vu</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n" +
      kCheckTableAgain + "</TABLE>\n</XROD:NODE>\n";
  EXPECT_EQ(expected, out);
}

TEST_F(TestNodeSection, NamesFollowTheLocaleCodecEverywhere) {
  LocaleCodec latin1("ISO-8859-1");
  TestNode* testCase = add(KindTestCase, 2, "caf\xE9", 1, 7);
  settle(add(KindCheckExpression, 3, "th\xE9", 2, 8), Passed, 1, 0, 1);
  settle(testCase, Passed);
  const std::string out = section(testCase, "src", 1);
  EXPECT_NE(std::string::npos, out.find("<XROD:NODE name=\"caf\xC3\xA9\" type=\"Test Case\""));
  EXPECT_NE(std::string::npos, out.find("<TEXT>Test Case caf\xC3\xA9</TEXT>\n"));
  EXPECT_NE(std::string::npos,
            out.find("<CELL_TEXT STYLE=\"Array Passed\">th\xC3\xA9</CELL_TEXT>"));
}

// Counts bytes, lines and the nesting of XROD:NODE lines of a stream
// without keeping what passes through it.
struct StreamCounter {
  size_t bytes = 0;
  size_t lines = 0;
  long depth = 0;
  long maxDepth = 0;
  bool unbalanced = false;
  std::string lineStart;  // the first bytes of the current line

  static ssize_t write(void* self, const char* data, size_t size) {
    auto* counter = static_cast<StreamCounter*>(self);
    counter->take(data, size);
    return static_cast<ssize_t>(size);
  }
  void take(const char* data, size_t size) {
    bytes += size;
    for (size_t i = 0; i < size;) {
      const char* newline = static_cast<const char*>(memchr(data + i, '\n', size - i));
      const size_t end = newline ? static_cast<size_t>(newline - data) : size;
      if (lineStart.size() < 12)
        lineStart.append(data + i, std::min(end - i, 12 - lineStart.size()));
      if (!newline)
        break;
      endLine();
      i = end + 1;
    }
  }
  void endLine() {
    ++lines;
    if (lineStart.compare(0, 11, "<XROD:NODE ") == 0)
      maxDepth = std::max(maxDepth, ++depth);
    else if (lineStart == "</XROD:NODE>")
      unbalanced |= --depth < 0;
    lineStart.clear();
  }
};

TEST(DeepTree, MillionNestedSuitesAreWrittenWithoutRecursion) {
  constexpr int kDepth = 1000000;
  std::vector<TestNode> nodes(kDepth);
  char name[] = "s";
  for (int i = 0; i < kDepth; ++i) {
    TestNode& node = nodes[i];
    node.kind = KindTestSuite;
    node.name = name;
    node.line = i + 1;
    node.status = Passed;
    node.parent = i > 0 ? &nodes[i - 1] : nullptr;
    node.firstChild = node.lastChild = i + 1 < kDepth ? &nodes[i + 1] : nullptr;
  }
  StreamCounter counter;
  FILE* file = fopencookie(&counter, "w", {nullptr, &StreamCounter::write, nullptr, nullptr});
  ASSERT_NE(nullptr, file);
  Model model;
  ReportContext report(model, file);
  TestNodeContext context{&report, "d", 1};
  writeTestNode(&nodes[0], &context);
  fclose(file);

  // Node i opens with level, tag and line i + 1: five lines and the sizes of
  // its three numbers beyond the fixed text; its end tag is one more line.
  const size_t fixed = std::string(
      "<XROD:NODE name=\"s\" type=\"Test Suite\" state=\"ok\" icone=\"class.xpm\">"
      "<TITLE LEVEL=\"\" TAG=\"nodex\" STYLE=\"Title5 Passed\">\n<LINK TARGET=\"d line \">\n"
      "<TEXT>Test Suite s</TEXT>\n</LINK>\n</TITLE>\n</XROD:NODE>\n").size();
  size_t expectedBytes = 0;
  for (int i = 1; i <= kDepth; ++i)
    expectedBytes += fixed + 3 * std::to_string(i).size();
  EXPECT_EQ(expectedBytes, counter.bytes);
  EXPECT_EQ(6u * kDepth, counter.lines);
  EXPECT_EQ(kDepth, counter.maxDepth);
  EXPECT_EQ(0, counter.depth);
  EXPECT_FALSE(counter.unbalanced);
  EXPECT_EQ(kDepth + 1, report.tagCounter);
}

using ClassItemRows = TestNodeSection;

// Members of a class in a file without driver texts: every link target has
// an empty file part.
TEST_F(ClassItemRows, RowsPerMemberKind) {
  addSymbolFile(model, 1, "other.ots");
  TestNode* stack = add(KindClass, 2, "Stack", 1, 3, 1);
  add(KindMethodContract, 3, "push", 2, 4, 1);
  settle(add(KindPreCondition, 4, "size < max", 3, 5, 1), Passed, 1, 0, 1);
  settle(add(KindPostCondition, 5, "size > 0", 3, 6, 1), Failed, 2, 1, 1);
  settle(add(KindExpression, 6, "value", 3, 7, 1), Passed);
  add(KindMethodContract, 7, "empty", 2, 8, 1);
  settle(add(KindInvariant, 8, "size >= 0", 2, 9, 1), Passed, 3, 0, 3);
  settle(add(KindState, 9, "Idle", 2, 10, 1), Passed, 2);
  settle(add(KindState, 10, "Busy", 2, 11, 1), Executed);
  settle(add(KindTransition, 11, "Idle->Busy", 2, 12, 1), Failed, 1);
  settle(add(KindTransition, 12, "Busy->Idle", 2, 13, 1), Passed, 4);

  // A child that is neither a Pre nor a Post Condition has no Expression
  // cell, and without a counter record it counts 0.
  EXPECT_EQ(linkedRow("Array Passed", " line 4", "push",
                      {"size &lt; max", "Passed", "1", "0", "1"}) +
                row("Array Failed", {"", "size &gt; 0", "Failed", "2", "1", "1"}) +
                row("Array Passed", {"", "Passed", "0", "0", "0"}),
            classRows(stack, KindMethodContract));
  EXPECT_EQ(linkedRow("Array Passed", " line 9", "size &gt;= 0", {"Passed", "3", "0", "3"}),
            classRows(stack, KindInvariant));
  EXPECT_EQ(linkedRow("Array Passed", " line 10", "Idle", {"Reached", "2"}) +
                linkedRow("Array", " line 11", "Busy", {"Not Reached", "0"}),
            classRows(stack, KindState));
  EXPECT_EQ(linkedRow("Array Failed", " line 12", "Idle-&gt;Busy", {"Failed", "1"}) +
                linkedRow("Array Passed", " line 13", "Busy-&gt;Idle", {"Fired", "4"}),
            classRows(stack, KindTransition));
}

TEST_F(ClassItemRows, ContractRowsUseTheDriverPathOfTheirFile) {
  TestNode* stack = add(KindClass, 2, "Stack", 1, 3);
  add(KindMethodContract, 3, "pop", 2, 4);
  settle(add(KindPreCondition, 4, "size > 0", 3, 5), Failed, 1, 1, 0);
  settle(add(KindPreCondition, 5, "open", 3, 6), NotExecuted);
  EXPECT_EQ(linkedRow("Array Failed", "src/stack line 4", "pop",
                      {"size &gt; 0", "Failed", "1", "1", "0"}) +
                row("Array", {"", "open", "Not Executed", "0", "0", "0"}),
            classRows(stack, KindMethodContract));
}

TEST(StatusWords, EachColumnTranslatesInItsOwnContext) {
  ScopedTranslation words({{{"VELDORA status", "Passed"}, QStringLiteral("s-ok")},
                           {{"VELDORA status", "Failed"}, QStringLiteral("s-ko")},
                           {{"VELDORA status", "Not Executed"}, QStringLiteral("s-ne")},
                           {{"VELDORA state status", "Reached"}, QStringLiteral("st-ok")},
                           {{"VELDORA state status", "Failed"}, QStringLiteral("st-ko")},
                           {{"VELDORA state status", "Not Reached"}, QStringLiteral("st-ne")},
                           {{"VELDORA trans status", "Fired"}, QStringLiteral("tr-ok")},
                           {{"VELDORA trans status", "Failed"}, QStringLiteral("tr-ko")},
                           {{"VELDORA trans status", "Not Fired"}, QStringLiteral("tr-ne")}});
  QStringList all;
  for (int status : {0, 1, 2, 3, 7})
    all << statusWord(status) << stateStatusWord(status) << transitionStatusWord(status);
  EXPECT_EQ(QStringLiteral("s-ne st-ne tr-ne s-ne st-ne tr-ne s-ko st-ko tr-ko s-ok st-ok tr-ok "
                           "s-ne st-ne tr-ne"),
            all.join(QLatin1Char(' ')));
}

}  // namespace
