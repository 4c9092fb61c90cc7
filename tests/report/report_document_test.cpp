#include "report/report.h"

#include "readers/readers.h"
#include "report/xml_writer.h"
#include "tests/file_size_limit.h"
#include "tests/model_fixture.h"
#include "tests/report/writer_test_support.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ReportDocumentTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    unsetenv("VOSK_STUDIO_HEADER_FILE");
  }
  void TearDown() override {
    unsetenv("VOSK_STUDIO_HEADER_FILE");
    ModelTest::TearDown();
  }
  // The names in the folder, so that a test sees any temporary file left.
  QStringList folder() const {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  }
  std::string path(const char* name) const {
    return dir.filePath(QString::fromUtf8(name)).toStdString();
  }

  // A symbol file tree with one test case whose check got the verdict.
  void addTestCase(int32_t file, const char* symbolFile, int32_t verdict) {
    addSymbolFile(model, file, symbolFile);
    addChildNode(model, file, KindTestCase, 2, "push", 1, 4, 0);
    addChildNode(model, file, KindCheckExpression, 3, "top == 3", 2, 5, 0);
    recordOutcome(model, file, 2, Reached);
    recordOutcome(model, file, 3, verdict);
  }

  std::string report(const char* name, const char* headerPath = nullptr) {
    result = writeReport(model, path(name).c_str(), headerPath);
    return readFile(path(name));
  }

  QTemporaryDir dir;
  int result = 0;
};

std::string firstLines(const std::string& text, int count) {
  size_t end = 0;
  for (int i = 0; i < count && end != std::string::npos; ++i) end = text.find('\n', end) + 1;
  return text.substr(0, end);
}

TEST_F(ReportDocumentTest, FrameAndOverviewOfOnePassingTestCase) {
  addSymbolFile(model, 0, "src/stack.ots");
  addChildNode(model, 0, KindTestCase, 2, "push", 1, 4, 0);
  recordOutcome(model, 0, 2, Reached);
  computeStatuses(model);
  std::string text = report("out.xml");
  EXPECT_EQ(0, result);
  std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XROD>\n<APIDOC>\n"
      "<DOCUMENT TITLE=\"" + path("out.xml") + "\" TAG=\"Testx1\">\n"
      "<XROD:NODE name=\"Global Report\" type=\"Global Report\" state=\"ok\" "
      "icone=\"testscript.xpm\"><SECTION TAG=\"filex2\">\n"
      "<TITLE LEVEL=\"0\" TAG=\"nodex3\" STYLE=\"Title1\">\n"
      "<TEXT>Component testing C++ report</TEXT>\n</TITLE>\n"
      "<TITLE LEVEL=\"1\" TAG=\"nodex4\" STYLE=\"Title2\">\n<TEXT>Report summary</TEXT>\n</TITLE>\n"
      "<TABLE BORDER=\"1\">\n"
      "<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">Tessaloft Component "
      "testing C++ 8.2.0.1</CELL_TEXT></ROW><ROW>\n"
      "<CELL_TEXT STYLE=\"Array Passed\">Passed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Passed\">1</CELL_TEXT>\n</ROW>\n"
      "<ROW>\n<CELL_TEXT STYLE=\"Array\">Inconclusive</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n</ROW>\n"
      "<ROW>\n<CELL_TEXT STYLE=\"Array\">Failed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n</ROW>\n"
      "<ROW>\n<CELL_TEXT STYLE=\"Array\">Total</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">1</CELL_TEXT>\n</ROW>\n</TABLE>\n"
      "<TITLE LEVEL=\"1\" TAG=\"nodex5\" STYLE=\"Title2\">\n<TEXT>Report Information</TEXT>\n"
      "</TITLE>\n<TABLE BORDER=\"1\">\n</TABLE>\n</SECTION>\n"
      "<XROD:NODE name=\"stack\" type=\"Test Driver\" state=\"ok\" icone=\"testscript.xpm\">"
      "<SECTION TAG=\"rootx6\">\n"
      "<TITLE LEVEL=\"0\" TAG=\"nodex7\" STYLE=\"Title1 Passed\">\n<TEXT>Test Driver stack</TEXT>\n"
      "</TITLE>\n<TABLE BORDER=\"1\">\n";
  EXPECT_EQ(expected, firstLines(text, 40));
  const std::string counts =
      "<ROW>\n<CELL_TEXT STYLE=\"Array\">Number Of Stub</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\"></CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\"></CELL_TEXT>\n</ROW>\n</TABLE>\n";
  EXPECT_NE(std::string::npos, text.find(counts));
  const std::string end = "</SECTION>\n</XROD:NODE>\n</XROD:NODE>\n</DOCUMENT>\n</APIDOC>\n</XROD>\n";
  EXPECT_EQ(end, text.substr(text.size() - end.size()));
}

TEST_F(ReportDocumentTest, FailedVerdictSwitchesStylesAndResult) {
  addTestCase(0, "a.ots", VerdictFailed);
  computeStatuses(model);
  std::string text = report("out.xrd");
  EXPECT_EQ(1, result);
  EXPECT_NE(std::string::npos,
            text.find("<XROD:NODE name=\"Global Report\" type=\"Global Report\" state=\"ko\""));
  EXPECT_NE(std::string::npos,
            text.find("<CELL_TEXT STYLE=\"Array\">Passed</CELL_TEXT>\n"
                      "<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>"));
  EXPECT_NE(std::string::npos,
            text.find("<CELL_TEXT STYLE=\"Array Failed\">Failed</CELL_TEXT>\n"
                      "<CELL_TEXT STYLE=\"Array Failed\">1</CELL_TEXT>"));
}

TEST_F(ReportDocumentTest, DriverSectionsNewestFirstAndOnlyWithTestContent) {
  addTestCase(0, "a.ots", VerdictPassed);
  addSymbolFile(model, 1, "classes.ots");
  addChildNode(model, 1, KindClass, 2, "K", 1, 3, 0);
  addChildNode(model, 1, KindInvariant, 3, "valid", 2, 4, 0);
  recordOutcome(model, 1, 3, VerdictFailed);
  addSymbolFile(model, 2, "frame.ots");
  addChildNode(model, 2, KindPrologue, 2, "setup", 1, 3, 0);
  addTestCase(3, "d.ots", VerdictPassed);
  computeStatuses(model);
  std::string text = report("out.xrd");
  // The class tree's failed invariant counts, the prologue tree adds nothing.
  EXPECT_EQ(1, result);
  EXPECT_NE(std::string::npos, text.find("<CELL_TEXT STYLE=\"Array\">Total</CELL_TEXT>\n"
                                         "<CELL_TEXT STYLE=\"Array\">3</CELL_TEXT>"));
  QRegularExpression driver(QStringLiteral("<XROD:NODE name=\"(\\w+)\" type=\"Test Driver\""));
  QStringList drivers;
  for (auto it = driver.globalMatch(QString::fromStdString(text)); it.hasNext();)
    drivers << it.next().captured(1);
  EXPECT_EQ(QStringList({QStringLiteral("d"), QStringLiteral("a")}), drivers);
  EXPECT_NE(std::string::npos, text.find("<XROD:NODE name=\"Contracts\""));
}

TEST_F(ReportDocumentTest, DocumentTagEscapesPathAndProjectName) {
  writeFile(path("project.txt"), "$NAME=A&\"B\" <x>\n");
  setenv("VOSK_STUDIO_HEADER_FILE", path("project.txt").c_str(), 1);
  std::string text = report("a\"b&c  d.xrd");
  EXPECT_EQ(0, result);
  std::string escapedPath = path("a&quot;b&amp;c  d.xrd");
  EXPECT_EQ("<DOCUMENT TITLE=\"" + escapedPath + "\" TAG=\"A&amp;&quot;B&quot; &lt;x&gt;x1\">\n",
            firstLines(text, 4).substr(firstLines(text, 3).size()));
  EXPECT_NE(std::string::npos, text.find("<TEXT>A&amp;&quot;B&quot; &lt;x&gt;</TEXT>"));
  // Unlike the tag, the Report File cell simplifies white space.
  EXPECT_NE(std::string::npos, text.find(
      "<CELL_TEXT STYLE=\"Array\">Report File</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" +
      path("a&quot;b&amp;c d.xrd") + "</CELL_TEXT>"));
}

TEST_F(ReportDocumentTest, ProjectWithoutNameLineKeepsTheDefaultNames) {
  writeFile(path("project.txt"), "$PROJECT_NAME=P\n");
  setenv("VOSK_STUDIO_HEADER_FILE", path("project.txt").c_str(), 1);
  std::string text = report("out.xrd");
  EXPECT_NE(std::string::npos, text.find("\" TAG=\"Testx1\">\n"));
  EXPECT_NE(std::string::npos, text.find("<TEXT>Component testing C++ report</TEXT>"));
  EXPECT_NE(std::string::npos, text.find("<CELL_TEXT STYLE=\"Array\">P</CELL_TEXT>"));
}

TEST_F(ReportDocumentTest, TranslatedLabelsAreEncodedOnce) {
  ScopedTranslation french({{{"VELDORA global information", "Global Report"}, "Rapport g\u00e9n\u00e9ral"},
                            {{"VELDORA global information", "Passed"}, "R\u00e9ussi"},
                            {{"VOSKIdent", "Component testing C++"}, "Test unitaire \u00e9tendu"}});
  std::string text = report("out.xrd");
  EXPECT_NE(std::string::npos, text.find("<XROD:NODE name=\"Rapport g\xC3\xA9n\xC3\xA9ral\" "
                                         "type=\"Rapport g\xC3\xA9n\xC3\xA9ral\""));
  EXPECT_NE(std::string::npos, text.find("<CELL_TEXT STYLE=\"Array Passed\">R\xC3\xA9ussi</CELL_TEXT>"));
  EXPECT_NE(std::string::npos, text.find("Tessaloft Test unitaire \xC3\xA9tendu 8.2.0.1</CELL_TEXT>"));
}

TEST_F(ReportDocumentTest, UncreatableReportTouchesNothing) {
  writeFile(path("header.txt"), "a=b\n");
  EXPECT_EQ(ReportCannotCreate,
            writeReport(model, path("missing/out.xrd").c_str(), path("header.txt").c_str()));
  EXPECT_EQ("a=b\n", readFile(path("header.txt")));
}

// The test summary goes to the header text file only once the report is in
// place: a report that cannot be written leaves the header file as it was.
TEST_F(ReportDocumentTest, FullDeviceIsAWriteFailureWithoutSummary) {
  addTestCase(0, "a.ots", VerdictFailed);
  computeStatuses(model);
  writeFile(path("header.txt"), "a=b\n");
  EXPECT_EQ(ReportWriteFailed, writeReport(model, "/dev/full", path("header.txt").c_str()));
  EXPECT_EQ("a=b\n", readFile(path("header.txt")));
  EXPECT_EQ(1, writeReport(model, path("out.xrd").c_str(), path("header.txt").c_str()));
  EXPECT_EQ("a=b\n-Test summary\nPassed=0\nInconclusive=0\nFailed=1\nTotal=1\n",
            readFile(path("header.txt")));
}

// Characters that XML forbids, non-characters among them, never reach the
// DOCUMENT tag: from the report file name and from the project's "$NAME".
TEST_F(ReportDocumentTest, DocumentTagHoldsOnlyXmlCharacters) {
  writeFile(path("project.txt"), "$NAME=n\xEF\xBF\xBF\x01\n");
  setenv("VOSK_STUDIO_HEADER_FILE", path("project.txt").c_str(), 1);
  std::string text = report("r\xEF\xBF\xBEt\xED\xA0\x80.xrd");
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_NE(std::string::npos,
            text.find("<DOCUMENT TITLE=\"" + path("r") + replacement + "t" + replacement +
                      replacement + replacement + ".xrd\" TAG=\"n" + replacement + replacement +
                      "x1\">\n"));
}

// An earlier report stays whole when the new one cannot be written, and no
// temporary file is left beside it.
TEST_F(ReportDocumentTest, FailedWriteKeepsTheEarlierReport) {
  addTestCase(0, "a.ots", VerdictPassed);
  computeStatuses(model);
  writeFile(path("out.xrd"), "earlier report");
  writeFile(path("header.txt"), "a=b\n");
  int status;
  {
    FileSizeLimit limit(100);
    status = writeReport(model, path("out.xrd").c_str(), path("header.txt").c_str());
  }
  EXPECT_EQ(ReportWriteFailed, status);
  EXPECT_EQ("earlier report", readFile(path("out.xrd")));
  EXPECT_EQ("a=b\n", readFile(path("header.txt")));
  EXPECT_EQ((QStringList{QStringLiteral("header.txt"), QStringLiteral("out.xrd")}), folder());
}

// A new report replaces the file a symbolic link names and keeps the mode
// of the report it replaces.
TEST_F(ReportDocumentTest, ReplacesTheLinkedFileAndKeepsItsMode) {
  addTestCase(0, "a.ots", VerdictPassed);
  computeStatuses(model);
  writeFile(path("target.xrd"), "old");
  ASSERT_EQ(chmod(path("target.xrd").c_str(), 0640), 0);
  ASSERT_EQ(symlink("target.xrd", path("link.xrd").c_str()), 0);
  EXPECT_EQ(0, writeReport(model, path("link.xrd").c_str(), nullptr));
  struct stat link, target;
  ASSERT_EQ(lstat(path("link.xrd").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  ASSERT_EQ(stat(path("target.xrd").c_str(), &target), 0);
  EXPECT_EQ(0640u, target.st_mode & 07777);
  EXPECT_EQ(0u, readFile(path("target.xrd")).find("<?xml"));
  EXPECT_EQ((QStringList{QStringLiteral("link.xrd"), QStringLiteral("target.xrd")}), folder());
  // A link to a file that does not exist yet makes that file.
  ASSERT_EQ(symlink("new.xrd", path("dangling.xrd").c_str()), 0);
  EXPECT_EQ(0, writeReport(model, path("dangling.xrd").c_str(), nullptr));
  EXPECT_EQ(0u, readFile(path("new.xrd")).find("<?xml"));
}

std::string goldenCase(const char* name) {
  return std::string(VELDORA_TEST_DATA) + "/../golden/" + name + "/";
}

// Two models in one process, read from different inputs with their steps
// interleaved, each write the report of their own inputs: the golden report
// of each case, also when written again after the other.
TEST_F(ReportDocumentTest, TwoModelsInOneProcessKeepApart) {
  const std::string failed = goldenCase("failed_verdict");
  const std::string classes = goldenCase("classes_of_two_files");
  Model other;
  ASSERT_EQ(0, readSymbolFile(other, (classes + "zulu.ots").c_str(), 0));
  ASSERT_EQ(0, readSymbolFile(model, (failed + "stack.ots").c_str(), 0));
  ASSERT_EQ(0, readSymbolFile(other, (classes + "alpha.ots").c_str(), 1));
  ASSERT_EQ(0, readTraceFile(model, (failed + "run.tdf").c_str()));
  ASSERT_EQ(0, readTraceFile(other, (classes + "run.tdf").c_str()));
  computeStatuses(other);
  computeStatuses(model);

  // The golden reports name the report file out.xrd.
  const std::string title = "TITLE=\"" + path("out.xrd") + "\"";
  auto reportOf = [&](const Model& m) {
    EXPECT_GT(writeReport(m, path("out.xrd").c_str(), nullptr), 0);  // both fail a verdict
    std::string text = readFile(path("out.xrd"));
    size_t at = text.find(title);
    if (at != std::string::npos) text.replace(at, title.size(), "TITLE=\"out.xrd\"");
    return text;
  };
  const std::string failedReport = readFile(failed + "expected.xrd");
  const std::string classesReport = readFile(classes + "expected.xrd");
  EXPECT_EQ(failedReport, reportOf(model));
  EXPECT_EQ(classesReport, reportOf(other));
  EXPECT_EQ(failedReport, reportOf(model));
}

}  // namespace
