// Hostile sizes, generated at run time: a tree a million levels deep, a trace
// of a million notes that no object takes, and ten thousand symbol files on
// one command line. Each run must end in time with its documented status and
// a well-formed report; the peak memory of each is printed.
#include "run_program.h"

#include <gtest/gtest.h>
#include <cstdio>

namespace {

using namespace std::string_literals;

// Prints the peak memory of the run; a runaway (memory growing with the
// square of the input, or input kept twice over) would pass 2 GiB.
void checkPeak(const char* name, const ProgramRun& run) {
  printf("[ peak     ] %s: %ld MiB\n", name, run.peakKiB / 1024);
  ::testing::Test::RecordProperty("peak_kib", static_cast<int>(run.peakKiB));
  EXPECT_GT(run.peakKiB, 0);
  EXPECT_LT(run.peakKiB, 2L << 20);
}

std::string hex(unsigned long value) {
  char text[20];
  snprintf(text, sizeof text, "%lx", value);
  return text;
}

// Test suites nested a million levels deep with a passed test case at the
// bottom: reading, settling, counting, writing and releasing all follow the
// depth without the call stack.
TEST(HostileScaleTest, ATreeAMillionLevelsDeep) {
  const unsigned long depth = 1000000;
  ScratchFolder folder;
  std::string symbols = "CK 11 22\n";
  symbols.reserve(depth * 40);
  for (unsigned long id = 2; id < depth; ++id)
    symbols += "TS " + hex(id) + " \"s\" line=1 parent=" + hex(id - 1) + ";\n";
  symbols += "TC " + hex(depth) + " \"bottom\" line=2 parent=" + hex(depth - 1) + ";\n";
  writeFile(folder.file("deep.ots"), symbols);
  writeFile(folder.file("run.tdf"), "SF 1 11 22\nOT " + hex(depth) + "\n");

  ProgramRun run = runProgram(folder, {"-ots", "deep.ots", "-tdf", "run.tdf", "-xrd", "out.xrd"},
                              {}, 900);
  checkPeak("tree a million levels deep", run);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errorOutput, kBanner);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  std::string report = readFile(folder.file("out.xrd"));
  EXPECT_EQ(countOf(report, "<XROD:NODE name=\"s\" type=\"Test Suite\" state=\"ok\""), depth - 2);
  EXPECT_EQ(countOf(report, "<TITLE LEVEL=\"" + std::to_string(depth - 1) + "\""), 1u);
}

// Notes wait for an object without verdict that never comes; they are
// dropped at the end of the file.
TEST(HostileScaleTest, ATraceOfOnlyNotes) {
  ScratchFolder folder;
  writeFile(folder.file("s.ots"), "CK 11 22\nTC 2 \"case\" line=1 parent=1;\n");
  std::string trace;
  trace.reserve(1000000 * 32);
  for (int i = 0; i < 1000000; ++i) trace += "NO \"note " + std::to_string(i) + " \\377\"\n";
  writeFile(folder.file("run.tdf"), trace);

  ProgramRun run = runProgram(folder, {"-ots", "s.ots", "-tdf", "run.tdf", "-xrd", "out.xrd"});
  checkPeak("trace of a million notes", run);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errorOutput, kBanner);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  EXPECT_EQ(countOf(readFile(folder.file("out.xrd")), "note"), 0u);
}

// Each file holds one test case; the trace binds every file and fails the
// last one.
TEST(HostileScaleTest, TenThousandSymbolFiles) {
  const int files = 10000;
  ScratchFolder folder;
  std::vector<std::string> arguments{"-ots"};
  std::string trace;
  for (int i = 1; i <= files; ++i) {
    std::string name = "f" + std::to_string(i) + ".ots";
    writeFile(folder.file(name), "CK " + hex(i) + " 1\nTC 2 \"case\" line=1 parent=1;\nCH 3 \"check\" line=2 parent=2;\n");
    arguments.push_back(name);
    trace += "SF " + hex(i) + " " + hex(i) + " 1\nOT 2\nOT 3 " + (i == files ? "0" : "1") + "\n";
  }
  writeFile(folder.file("run.tdf"), trace);
  arguments.insert(arguments.end(), {"-tdf", "run.tdf", "-xrd", "out.xrd"});

  ProgramRun run = runProgram(folder, arguments, {}, 600);
  checkPeak("ten thousand symbol files", run);
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.errorOutput, kBanner);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  std::string report = readFile(folder.file("out.xrd"));
  EXPECT_EQ(countOf(report, "type=\"Test Driver\""), static_cast<size_t>(files));
  EXPECT_EQ(countOf(report, "<CELL_TEXT STYLE=\"Array\">Passed</CELL_TEXT>\n"
                            "<CELL_TEXT STYLE=\"Array\">9999</CELL_TEXT>"), 1u);
  EXPECT_EQ(countOf(report, "<ROW>\n<CELL_TEXT STYLE=\"Array Failed\">Failed</CELL_TEXT>\n"
                            "<CELL_TEXT STYLE=\"Array Failed\">1</CELL_TEXT>\n</ROW>"), 1u);
}

// Each stub of a chain links to the next one, so the children of the first
// are handed along the whole chain and take a prefix at every step until
// their names hold 3973 bytes. Before that limit, 3000 stubs took a minute
// and gigabytes.
TEST(HostileScaleTest, ChildrenPassedAlongAChainOfStubs) {
  const int stubs = 3000;
  const int children = 300;
  for (const std::string& suite : {std::string(1985, 'n'), std::string("a")}) {
    ScratchFolder folder;
    std::string symbols = "CK 11 22\nTS 2 \"" + suite + "\" line=1 parent=1;\n";
    for (int i = 0; i < stubs; ++i)
      symbols += "SB " + hex(0x10000 + i) + " \"s\" line=1 parent=2; link=" + hex(0x10001 + i) + ";\n";
    for (int i = 0; i < children; ++i)
      symbols += "TC " + hex(0x100 + i) + " \"c" + std::to_string(i) + "\" line=1 parent=10000;\n";
    writeFile(folder.file("chain.ots"), symbols);
    writeFile(folder.file("run.tdf"), "");

    ProgramRun run = runProgram(folder, {"-ots", "chain.ots", "-tdf", "run.tdf", "-xrd", "out.xrd"});
    checkPeak(suite.size() == 1 ? "chain of stubs, short prefix" : "chain of stubs, long prefix", run);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
    std::string report = readFile(folder.file("out.xrd"));
    // A 1985-byte prefix fits once; a 1-byte one, with its separator, 992
    // times in front of a name of two to four bytes.
    std::string prefix;
    if (suite.size() == 1)
      for (int i = 0; i < 992; ++i) prefix += "a / ";
    else
      prefix = suite + " / ";
    for (int i = 0; i < children; ++i)
      EXPECT_EQ(countOf(report, "name=\"" + prefix + "c" + std::to_string(i) + "\""), 1u) << i;
  }
}

}  // namespace
