#include "report/report_header.h"

#include "report/xml_writer.h"
#include "tests/file_size_limit.h"
#include "tests/model_fixture.h"
#include "tests/report/report_test_support.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::string keyValue(const char* line, const char* key) {
  char* value = extractKeyValue(line, key);
  if (!value) return "<absent>";
  std::string text(value);
  free(value);
  return text;
}

std::string row(const char* key, const char* value) {
  return std::string("<ROW>\n<CELL_TEXT STYLE=\"Array\">") + key +
         "</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" + value + "</CELL_TEXT>\n</ROW>\n";
}

std::string titleRow(const char* text) {
  return std::string("<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">") + text +
         "</CELL_TEXT></ROW>";
}

class ReportHeaderTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    report.tagCounter = 7;
  }
  void TearDown() override {
    unsetenv("VOSK_STUDIO_HEADER_FILE");
  }
  std::string path(const char* name) const {
    return dir.filePath(QString::fromLatin1(name)).toStdString();
  }

  // Loads a project information file made of the given bytes.
  bool loadProject(const std::string& bytes) {
    writeFile(path("project.txt"), bytes);
    setenv("VOSK_STUDIO_HEADER_FILE", path("project.txt").c_str(), 1);
    return loadProjectInfo(report);
  }
  const char* value(const std::optional<std::string>& text) const {
    return text ? text->c_str() : nullptr;
  }

  // The rows of a header text file, without project information.
  std::string headerRows(const std::string& bytes, int32_t passed = 1, int32_t failed = 2,
                         int32_t notExecuted = 3) {
    writeFile(path("header.txt"), bytes);
    MemoryFile out;
    report.file = out.get();
    const std::string header = path("header.txt");
    HeaderSummary summary = writeReportInformation(report, header.c_str(), "out.xrd");
    summaryAppended = appendTestSummary(header.c_str(), summary, passed, failed, notExecuted);
    return out.text();
  }

  std::vector<std::string> headerLines(const std::string& bytes) {
    writeFile(path("lines.txt"), bytes);
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path("lines.txt").c_str(), "r"), fclose);
    std::vector<std::string> lines;
    while (const char* line = readHeaderLine(file.get(), report.line)) lines.push_back(line);
    return lines;
  }

  QTemporaryDir dir;
  ReportContext report{model, nullptr};
  bool summaryAppended = false;
};

TEST(ExtractKeyValue, TrimsQuotesSpacesAndComments) {
  EXPECT_EQ("My Node", keyValue("$NAME='My Node'", "$NAME"));
  EXPECT_EQ("Node", keyValue("$NAME = Node ; comment", "$NAME"));
  // Quotes go only right after the "=" and at the very end of the value.
  EXPECT_EQ("'x'", keyValue("$NAME= 'x' ", "$NAME"));
  EXPECT_EQ("x", keyValue("$NAME=x\tcomment", "$NAME"));
  EXPECT_EQ("", keyValue("$NAME=''", "$NAME"));
  EXPECT_EQ("", keyValue("$NAME='", "$NAME"));
  EXPECT_EQ("", keyValue("$NAME=   ", "$NAME"));
  // The first "=" of the whole line counts, wherever the key stands.
  EXPECT_EQ("b $NAME", keyValue("a=b $NAME", "$NAME"));
}

TEST(ExtractKeyValue, AbsentWithoutKeyOrValue) {
  EXPECT_EQ("<absent>", keyValue("$OTHER=x", "$NAME"));
  EXPECT_EQ("<absent>", keyValue("$NAME x", "$NAME"));
  EXPECT_EQ("<absent>", keyValue("$NAME=", "$NAME"));
}

TEST_F(ReportHeaderTest, ReadHeaderLineCutsAtLastLineFeedTabAndReturn) {
  std::vector<std::string> expected = {"a=b", "x\ty", "abc", "", "last"};
  EXPECT_EQ(expected, headerLines("a=b\tcomment\nx\ty\tz\nabc\r\n\nlast"));
}

TEST_F(ReportHeaderTest, ReadHeaderLineSplitsLongLines) {
  std::string text(5000, 'x');
  std::vector<std::string> lines = headerLines(text + "\nend\n");
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(std::string(2046, 'x'), lines[0]);
  EXPECT_EQ(std::string(2046, 'x'), lines[1]);
  EXPECT_EQ(std::string(908, 'x'), lines[2]);
  EXPECT_EQ("end", lines[3]);
}

TEST_F(ReportHeaderTest, ReadHeaderLineSurvivesNulBytes) {
  std::vector<std::string> expected = {"ab", "", "next"};
  EXPECT_EQ(expected, headerLines(std::string("ab\0cd\tx\n\0\nnext\n", 15)));
}

TEST_F(ReportHeaderTest, ProjectFileJoinsPathAndNameAndCollapsesSeparators) {
  ASSERT_TRUE(loadProject("$PROJECT_NAME=P\n$PROJECT_PATH=/a//b\\\n"));
  EXPECT_STREQ("/a/b\\P.vkp", value(report.project.projectFile));
  ASSERT_TRUE(loadProject("$PROJECT_NAME=Demo\n$PROJECT_PATH=/work/proj/\n"));
  EXPECT_STREQ("/work/proj/Demo.vkp", value(report.project.projectFile));
  ASSERT_TRUE(loadProject("$PROJECT_NAME=Demo\n$PROJECT_PATH=c:\\\\x/\\y\n"));
  EXPECT_STREQ("c:\\x/y/Demo.vkp", value(report.project.projectFile));
  // An empty path puts no separator in front of the name.
  ASSERT_TRUE(loadProject("$PROJECT_NAME=Demo\n$PROJECT_PATH=  \n"));
  EXPECT_STREQ("Demo.vkp", value(report.project.projectFile));
  // The path needs the name read before it.
  ASSERT_TRUE(loadProject("$PROJECT_PATH=/a\n$PROJECT_NAME=Demo\n$PROJECT_PATH=/b\n"));
  EXPECT_EQ(nullptr, value(report.project.projectFile));
}

TEST_F(ReportHeaderTest, ProjectValuesComeFromTheFirstLineOfEachKey) {
  ASSERT_TRUE(loadProject("junk\n$NAME\n$NAME=late\n$WORKSPACE_NAME=W\n"
                          "$CONFIGURATION='Debug'\n$PROJECT_NAME=P ; c\n$CONFIGURATION=x\n"));
  EXPECT_STREQ("P", value(report.project.projectName));
  EXPECT_EQ(nullptr, value(report.project.testNodeName));  // its first line gave no value
  EXPECT_STREQ("W", value(report.project.workspaceName));
  EXPECT_STREQ("Debug", value(report.project.configurationName));
  EXPECT_EQ(nullptr, value(report.project.projectFile));
  releaseProjectInfo(report);
  EXPECT_EQ(nullptr, value(report.project.projectName));
  EXPECT_EQ(nullptr, value(report.project.workspaceName));
}

TEST_F(ReportHeaderTest, NoProjectWithoutVariableOrFile) {
  EXPECT_FALSE(loadProjectInfo(report));
  setenv("VOSK_STUDIO_HEADER_FILE", path("missing.txt").c_str(), 1);
  EXPECT_FALSE(loadProjectInfo(report));
  EXPECT_EQ(nullptr, value(report.project.testNodeName));
}

TEST_F(ReportHeaderTest, ProjectRowsWithoutHeaderFile) {
  ASSERT_TRUE(loadProject("$PROJECT_NAME=P&Q\n$NAME=Node\n"));
  setCompilationTime(model, "today");
  MemoryFile out;
  report.file = out.get();
  EXPECT_FALSE(writeReportInformation(report, nullptr, "dir/out.xrd").due);
  std::string expected = row("Project", "P&amp;Q") + row("Project File", "") +
                         row("Project Configuration", "") + row("Workspace", "") +
                         row("Test Node", "Node") + row("Report File", "dir/out.xrd") +
                         row("Test compilation time", "today");
  EXPECT_EQ(expected, out.text());
}

TEST_F(ReportHeaderTest, HeaderLinesBecomeRowsTitlesAndTitleRows) {
  std::string rows = headerRows(
      "Free text\n#x=1\n#Second table\n\n$PREPROCESS \n$OTHER\nk=\n=v\n-end\nafter=1\n");
  std::string expected = titleRow("Free text") + row("#x", "1") +
                         "</TABLE>\n<TITLE LEVEL=\"2\" TAG=\"nodex7\" STYLE=\"Title3\">\n"
                         "<TEXT>Second table</TEXT>\n</TITLE>\n<TABLE BORDER=\"1\">\n" +
                         titleRow("") + row("k", "") + row("", "v");
  EXPECT_EQ(expected, rows);
  EXPECT_EQ(8, report.tagCounter);
  EXPECT_EQ("Free text\n#x=1\n#Second table\n\n$PREPROCESS \n$OTHER\nk=\n=v\n-end\nafter=1\n"
            "-Test summary\nPassed=1\nInconclusive=3\nFailed=2\nTotal=6\n",
            readFile(path("header.txt")));
}

TEST_F(ReportHeaderTest, PreprocessLineInsertsGlobalInformation) {
  setCompilerVersion(model, "V 1.0");
  setCompilationTime(model, "Mon Jan  5 10:00:00 2026");
  EXPECT_EQ(row("Test compiler version", "V 1.0") +
                row("Test compilation time", "Mon Jan 5 10:00:00 2026"),
            headerRows("$PREPROCESS\tcomment\n"));
}

// The cell escaping reduces the padding of a one-digit day to one space.
TEST_F(ReportHeaderTest, GenerationTimeWithoutCompilationTime) {
  MemoryFile out;
  report.file = out.get();
  writeGlobalInformation(report);
  QString text = QString::fromStdString(out.text());
  QRegularExpression layout(QStringLiteral(
      "^<ROW>\n<CELL_TEXT STYLE=\"Array\">Report Generation Time</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
      "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [1-3]?\\d "
      "[0-2]\\d:[0-5]\\d:[0-6]\\d \\d{4}</CELL_TEXT>\n</ROW>\n$"));
  EXPECT_TRUE(layout.match(text).hasMatch()) << text.toStdString();
}

TEST_F(ReportHeaderTest, SecondRunShowsTheSameTableAndAddsASummary) {
  std::string first = headerRows("Title\na=b\n", 1, 0, 0);
  std::string second = headerRows(readFile(path("header.txt")), 0, 1, 0);
  EXPECT_EQ(first, second);
  EXPECT_EQ("Title\na=b\n-Test summary\nPassed=1\nInconclusive=0\nFailed=0\nTotal=1\n"
            "-Test summary\nPassed=0\nInconclusive=0\nFailed=1\nTotal=1\n",
            readFile(path("header.txt")));
}

TEST_F(ReportHeaderTest, SummaryStartsOnItsOwnLine) {
  EXPECT_EQ(titleRow("no line feed"), headerRows("no line feed", 0, 0, 0));
  EXPECT_EQ("no line feed\n-Test summary\nPassed=0\nInconclusive=0\nFailed=0\nTotal=0\n",
            readFile(path("header.txt")));
  EXPECT_EQ("", headerRows("", 0, 0, 0));
  EXPECT_EQ("-Test summary\nPassed=0\nInconclusive=0\nFailed=0\nTotal=0\n",
            readFile(path("header.txt")));
}

TEST_F(ReportHeaderTest, UnreadableHeaderFileWritesNothing) {
  MemoryFile out;
  report.file = out.get();
  EXPECT_FALSE(writeReportInformation(report, path("missing.txt").c_str(), "out.xrd").due);
  EXPECT_EQ("", out.text());
  EXPECT_EQ(nullptr, fopen(path("missing.txt").c_str(), "r"));
}

// A summary that does not reach the header text file whole is reported:
// the rows are written, the caller learns that the summary is lost.
TEST_F(ReportHeaderTest, LostSummaryIsReported) {
  EXPECT_EQ(row("a", "b"), headerRows("a=b\n"));
  EXPECT_TRUE(summaryAppended);
  // A file size limit that leaves no room for the summary.
  std::string rows;
  {
    FileSizeLimit limit(4);
    rows = headerRows("a=b\n");
  }
  EXPECT_EQ(row("a", "b"), rows);
  EXPECT_FALSE(summaryAppended);
  EXPECT_EQ("a=b\n", readFile(path("header.txt")));
}

}  // namespace
