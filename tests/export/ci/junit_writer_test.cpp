// The JUnit writer's two decisions made at the end: the markers of the
// scratch file, expanded the same whatever the block size (a marker split
// across two blocks included), and which kind name is that of stubs when
// not executed objects look alike.
#include "export/ci/junit_writer.h"

#include "export/ci/junit_markers.h"
#include "export/junit_command.h"

#include "tests/export/xrd/report_test_reports.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// The bytes written to a FILE*, through a temporary file.
class Capture {
 public:
  Capture() : file_(tmpfile()) {}
  ~Capture() { fclose(file_); }
  FILE* file() const { return file_; }
  std::string text() const {
    fflush(file_);
    rewind(file_);
    std::string bytes;
    char block[4096];
    for (size_t n; (n = fread(block, 1, sizeof block, file_)) > 0;) bytes.append(block, n);
    return bytes;
  }

 private:
  FILE* file_;
};

std::string expanded(const std::string& scratch, int stubKind, size_t blockSize, bool* ok) {
  Capture in, out;
  fwrite(scratch.data(), 1, scratch.size(), in.file());
  rewind(in.file());
  int64_t written = 0;
  *ok = copyTestCases(in.file(), static_cast<int64_t>(scratch.size()), stubKind, blockSize,
                      out.file(), &written);
  const std::string text = out.text();
  EXPECT_EQ(written, static_cast<int64_t>(text.size()));
  return text;
}

TEST(JunitMarkers, ExpandTheSameForEveryBlockSize) {
  const std::string scratch = std::string("<a") + kMarkerEmpty + '\x01' + "\n<b>\n" + kMarkerInner +
                              '\x02' + "<c/>\n<d" + kMarkerEmpty + '\x02' + "\n";
  const std::string skipped = "<skipped message=\"not executed\"/>\n";
  const std::string stubIsOne = "<a/>\n<b>\n" + skipped + "<c/>\n<d>\n" + skipped +
                                "</testcase>\n";
  const std::string stubIsTwo = "<a>\n" + skipped + "</testcase>\n<b>\n<c/>\n<d/>\n";
  for (size_t block = 1; block <= scratch.size() + 1; ++block) {
    bool ok;
    EXPECT_EQ(expanded(scratch, 1, block, &ok), stubIsOne) << "block "<< block;
    EXPECT_TRUE(ok);
    EXPECT_EQ(expanded(scratch, 2, block, &ok), stubIsTwo) << "block "<< block;
    EXPECT_TRUE(ok);
  }
}

TEST(JunitMarkers, ScratchEndingEarlyOrInsideAMarkerFails) {
  Capture in, out;
  const std::string scratch = std::string("<a") + kMarkerEmpty;
  fwrite(scratch.data(), 1, scratch.size(), in.file());
  rewind(in.file());
  int64_t written = 0;
  EXPECT_FALSE(copyTestCases(in.file(), 3, -1, 16, out.file(), &written));
  rewind(in.file());
  EXPECT_FALSE(copyTestCases(in.file(), 10, -1, 16, out.file(), &written));
}

std::string testNode(const char* name, const char* type, const char* state) {
  return std::string("<XROD:NODE name=\"") + name + "\" type=\"" + type + "\" state=\"" + state +
         "\" sum=\"1\" icone=\"method.xpm\"><TITLE LEVEL=\"1\" TAG=\"nodex9\" STYLE=\"Title2\">\n"
         "<LINK TARGET=\"src/t.cpp line 3\">\n<TEXT>x</TEXT>\n</LINK>\n</TITLE>\n</XROD:NODE>\n";
}

std::string driver(const char* name, int stubs, const std::string& nodes) {
  std::string counts = "<TABLE BORDER=\"1\">\n";
  for (int r = 0; r < 4; ++r)
    counts += "<ROW>\n<CELL_TEXT STYLE=\"Array\">n</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" +
              std::to_string(r == 3 ? stubs : 0) + "</CELL_TEXT>\n</ROW>\n";
  counts += "</TABLE>\n";
  return std::string("<XROD:NODE name=\"") + name +
         "\" type=\"Test Driver\" state=\"NE\" icone=\"testscript.xpm\"><SECTION TAG=\"rootx6\">\n"
         "<TITLE LEVEL=\"0\" TAG=\"nodex7\" STYLE=\"Title1\">\n<TEXT>d</TEXT>\n</TITLE>\n" +
         counts + nodes + "</SECTION>\n</XROD:NODE>\n";
}

std::string junitOf(const std::string& report, JunitResult* result) {
  ReportReader reader;
  reader.openBytes(report);
  Capture out;
  JunitOptions options;
  options.hostname = "host";
  options.scratchDir = "/tmp";
  std::string error;
  EXPECT_TRUE(writeJunit(reader, out.file(), options, "report.xrd", result, &error)) << error;
  return out.text();
}

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(JunitStubs, DriverCountsPickTheStubKindWhenNotExecutedNumbersTie) {
  // One never called stub and one test case not executed: the report counts
  // the stub as passed. Only the second driver, without stubs but with a
  // test case, tells which kind name counts stubs.
  const std::string report = reportAround(
      driver("a", 1, testNode("t", "Kind T", "NE") + testNode("s", "Kind S", "NE")) +
          driver("b", 0, testNode("u", "Kind T", "ok")),
      2, 1, 0);
  JunitResult result;
  const std::string junit = junitOf(report, &result);
  EXPECT_EQ(result.mismatch, "");
  EXPECT_NE(junit.find("name=\"t\" file=\"src/t.cpp\" line=\"3\">\n<skipped"),
            std::string::npos);
  EXPECT_NE(junit.find("name=\"s\" file=\"src/t.cpp\" line=\"3\"/>\n"),
            std::string::npos);
  EXPECT_NE(junit.find("tests=\"3\" failures=\"0\" errors=\"0\" skipped=\"1\""), std::string::npos);
}

TEST(JunitStubs, TheInconclusiveTotalPicksTheStubKindWhenDriverCountsTie) {
  // Two stubs and two test cases: both kind names match the driver's stubs.
  // Three not executed, the report says one is inconclusive: two never
  // called stubs, so the kind with two not executed.
  const std::string report =
      reportAround(driver("a", 2,
                          testNode("t1", "Kind T", "NE") + testNode("s1", "Kind S", "NE") +
                              testNode("s2", "Kind S", "NE") + testNode("t2", "Kind T", "ok")),
                   3, 1, 0);
  JunitResult result;
  const std::string junit = junitOf(report, &result);
  EXPECT_EQ(result.mismatch, "");
  EXPECT_EQ(count(junit, "<skipped"), 1);
  EXPECT_NE(junit.find("name=\"t1\" file=\"src/t.cpp\" line=\"3\">\n<skipped"),
            std::string::npos);
}

TEST(JunitStubs, TotalsBelowTheObjectsAreReported) {
  JunitResult result;
  const std::string junit =
      junitOf(reportAround(driver("a", 0, testNode("t", "Kind T", "ko")), 1, 0, 0), &result);
  EXPECT_EQ(result.mismatch,
            "the report's totals (Passed 1, Inconclusive 0, Failed 0) are below what its objects "
            "give");
  EXPECT_EQ(junit.find("unlisted"), std::string::npos);
}

TEST(JunitSize, FilesBeyondWhatCiServersReadAreWarnedOf) {
  EXPECT_TRUE(largeFileWarnings("r.junit.xml", 30000000, 500000).empty());
  EXPECT_EQ(largeFileWarnings("-", 30000001, 500001),
            (std::vector<std::string>{
                "standard output: warning: 30.0 MB, more than the 30 MB that CI servers read "
                "(--system-out none writes less)",
                "standard output: warning: 500001 test cases, more than the 500000 that CI "
                "servers read"}));
}

TEST(JunitSize, TheDocumentsBytesAndTestCasesAreCounted) {
  JunitResult result;
  const std::string junit =
      junitOf(reportAround(driver("a", 0, testNode("t", "Kind T", "ok") + testNode("u", "Kind T", "ok")), 2),
              &result);
  EXPECT_EQ(result.bytes, static_cast<int64_t>(junit.size()));
  EXPECT_EQ(result.testCases, 2);
}

}  // namespace
