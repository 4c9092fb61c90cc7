#include "report/contracts_section.h"

#include "report/xml_writer.h"
#include "tests/model_fixture.h"
#include "tests/report/writer_test_support.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class ContractsSectionTest : public ModelTest {
 protected:
  std::string write() {
    MemoryFile out;
    ReportContext report(model, out.get());
    writeContractsSection(report);
    return out.text();
  }

  // "name|type|state" of every XROD:NODE start tag, in writing order.
  static std::vector<std::string> nodes(const std::string& text) {
    std::vector<std::string> found;
    QRegularExpression open(
        QStringLiteral("<XROD:NODE name=\"([^\"]*)\" type=\"([^\"]*)\" state=\"([^\"]*)\""));
    auto it = open.globalMatch(QString::fromStdString(text));
    while (it.hasNext()) {
      auto match = it.next();
      found.push_back((match.captured(1) + '|' + match.captured(2) + '|' + match.captured(3))
                          .toStdString());
    }
    return found;
  }
};

TEST_F(ContractsSectionTest, NothingWithoutClasses) {
  addSymbolFile(model, 0, "a.ots");
  addChildNode(model, 0, KindTestCase, 2, "case", 1, 4, 0);
  computeStatuses(model);
  EXPECT_EQ("", write());
}

TEST_F(ContractsSectionTest, ClassesOfAllFilesSortedByteWise) {
  addSymbolFile(model, 0, "a.ots");
  addChildNode(model, 0, KindClass, 2, "alpha", 1, 3, 0);
  addChildNode(model, 0, KindSingleClass, 3, "Zeta", 1, 4, 0);
  addSymbolFile(model, 1, "b.ots");
  addChildNode(model, 1, KindClass, 2, "Beta", 1, 5, 0);
  addChildNode(model, 1, KindClass, 3, "\xC3\xA9t\xC3\xA9", 1, 6, 0);  // above ASCII: last
  computeStatuses(model);
  std::vector<std::string> expected = {"Contracts|Contracts|ok", "Beta|Class|ok",
                                       "Zeta|Single Class|ok", "alpha|Class|ok",
                                       "\xC3\xA9t\xC3\xA9|Class|ok"};
  std::string text = write();
  EXPECT_EQ(expected, nodes(text));
  // A file without driver texts links to an empty file part.
  EXPECT_NE(std::string::npos,
            text.find("<TITLE LEVEL=\"1\" TAG=\"nodex3\" STYLE=\"Title2 Passed\">\n"
                      "<LINK TARGET=\" line 5\">\n<TEXT>Class Beta</TEXT>\n</LINK>\n</TITLE>\n"));
  EXPECT_EQ("</SECTION>\n</XROD:NODE>\n", text.substr(text.size() - 24));
}

TEST_F(ContractsSectionTest, NamesDecodeWithTheLocaleCodec) {
  LocaleCodec latin1("ISO-8859-1");
  addSymbolFile(model, 0, "a.ots");
  addChildNode(model, 0, KindClass, 2, "\xE9t\xE9", 1, 3, 0);
  computeStatuses(model);
  std::string text = write();
  EXPECT_NE(std::string::npos, text.find("<XROD:NODE name=\"\xC3\xA9t\xC3\xA9\" type=\"Class\""));
  EXPECT_NE(std::string::npos, text.find("<TEXT>Class \xC3\xA9t\xC3\xA9</TEXT>"));
}

TEST_F(ContractsSectionTest, BlocksInFixedOrderWithViolationsAfterStates) {
  addSymbolFile(model, 0, "m.ots");
  setDriverInfo(model, 0, "src/", "m.cpp", 0);
  addChildNode(model, 0, KindClass, 2, "Machine", 1, 3, 0);
  addChildNode(model, 0, KindTransition, 3, "go", 2, 4, 0);
  addChildNode(model, 0, KindState, 4, "idle", 2, 5, 0);
  addChildNode(model, 0, KindObservationState, 5, "watch", 2, 6, 0);
  addChildNode(model, 0, KindState, 6, "busy", 2, 7, 0);
  addChildNode(model, 0, KindInvariant, 7, "ok()", 2, 8, 0);
  addSymbolFile(model, 1, "n.ots");
  addChildNode(model, 1, KindClass, 2, "Observed", 1, 3, 0);
  addChildNode(model, 1, KindObservationState, 3, "seen", 2, 4, 0);
  recordOutcome(model, 0, 3, Reached);
  recordOutcome(model, 0, 4, Reached);
  recordOutcome(model, 0, 5, MultipleExit);
  recordOutcome(model, 0, 6, Reached);
  recordOutcome(model, 0, 6, IllegalExit);
  recordOutcome(model, 0, 7, VerdictPassed);
  recordOutcome(model, 1, 3, IllegalExit);
  computeStatuses(model);
  std::string text = write();
  // Observation states alone give no state block, not even for a failed chart.
  std::vector<std::string> expected = {
      "Contracts|Contracts|ko",    "Machine|Class|ko",
      "Invariant|Invariant|ok",    "State|State|ok",
      "State Chart Violations|State|ko", "Transition|Transition|ok",
      "Observed|Class|ko"};
  EXPECT_EQ(expected, nodes(text));
  EXPECT_NE(std::string::npos,
            text.find("<TITLE LEVEL=\"1\" TAG=\"nodex3\" STYLE=\"Title2 Failed\">\n"
                      "<LINK TARGET=\"src/m.cpp line 3\">\n<TEXT>Class Machine</TEXT>\n"));
  // Only the state-like children with an exit count, in child order.
  const std::string violations =
      "<TABLE BORDER=\"1\" WIDTH=\"40,30,30\">\n<ROW>\n"
      "<CELL_TEXT STYLE=\"Array Title\">State Name</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Multiple Exits</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Illegal Exits</CELL_TEXT>\n</ROW>\n"
      "<ROW>\n<CELL_TEXT STYLE=\"Array Failed\">watch</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">1</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">0</CELL_TEXT>\n</ROW>\n"
      "<ROW>\n<CELL STYLE=\"Array Failed\"><LINK TARGET=\"src/m.cpp line 7\">\n"
      "<TEXT>busy</TEXT>\n</LINK>\n</CELL>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">0</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">1</CELL_TEXT>\n</ROW>\n</TABLE>\n</XROD:NODE>\n";
  EXPECT_NE(std::string::npos, text.find(violations)) << text;
}

TEST_F(ContractsSectionTest, ContractsStateIsNotExecutedWhenAClassWasNotReached) {
  addSymbolFile(model, 0, "a.ots");
  addChildNode(model, 0, KindClass, 2, "A", 1, 3, 0);
  addChildNode(model, 0, KindClass, 3, "B", 1, 4, 0);
  addChildNode(model, 0, KindTransition, 4, "never", 3, 5, 0);
  computeStatuses(model);
  std::vector<std::string> expected = {"Contracts|Contracts|NE", "A|Class|ok", "B|Class|NE",
                                       "Transition|Transition|NE"};
  EXPECT_EQ(expected, nodes(write()));
}

TEST_F(ContractsSectionTest, NeverWritesMoreClassesThanCounted) {
  addSymbolFile(model, 0, "a.ots");
  addChildNode(model, 0, KindClass, 2, "c", 1, 3, 0);
  addChildNode(model, 0, KindClass, 3, "b", 1, 4, 0);
  addChildNode(model, 0, KindClass, 4, "a", 1, 5, 0);
  computeStatuses(model);
  driverCountsOf(fileTreeAt(model, 0))->classes = 1;
  EXPECT_EQ(2u, nodes(write()).size());
}

}  // namespace
