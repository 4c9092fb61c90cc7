// Costs of veldora-export that must follow the size of the report: each
// hostile report runs through the exports beside an ordinary report of about
// the same size, and may take at most a few times its time. The reports are
// made here, at run time. Where the cost once grew with the square of the
// input, these sizes took from ten seconds to minutes.
#include "run_program.h"

#include "tests/export/xrd/report_test_reports.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kCommands[] = {"html", "junit", "summary"};

std::string failedCase(const std::string& name, const std::string& title) {
  return "<XROD:NODE name=\"" + name +
         "\" type=\"Test Case\" state=\"ko\" sum=\"1\" icone=\"method.xpm\">"
         "<TITLE LEVEL=\"1\" TAG=\"t\" STYLE=\"Title2 Failed\"><LINK TARGET=\"src/t.cpp line 5\">"
         "<TEXT>" + title + "</TEXT></LINK></TITLE>\n";
}

// n failed test cases, each inside the one before it, or side by side.
std::string nestedCases(int n, bool plain) {
  std::string nodes;
  for (int i = 0; i < n; ++i) {
    nodes += failedCase("c" + std::to_string(i), "Test Case");
    if (plain) nodes += "</XROD:NODE>\n";
  }
  if (!plain)
    for (int i = 0; i < n; ++i) nodes += "</XROD:NODE>\n";
  return reportAround(driverAround(nodes, "ko"), 0, 0, n);
}

// n attributes on one test case, or four on each of n / 4.
std::string manyAttributes(int n, bool plain) {
  std::string nodes;
  const int cases = plain ? n / 4 : 1;
  for (int c = 0; c < cases; ++c) {
    nodes += "<XROD:NODE name=\"c" + std::to_string(c) + "\" type=\"Test Case\" state=\"ok\" sum=\"1\"";
    for (int i = 0; i < (plain ? 1 : n - 3); ++i) nodes += " a" + std::to_string(i) + "=\"1\"";
    nodes += "></XROD:NODE>\n";
  }
  return reportAround(driverAround(nodes), cases);
}

struct Measured {
  ProgramRun run;
  std::string shape;
};

Measured runExport(const std::string& shape, const char* command, const std::string& report) {
  ScratchFolder folder;
  writeFile(folder.file("report.xrd"), report);
  std::vector<std::string> arguments{command, "report.xrd"};
  if (std::string(command) != "summary") arguments.insert(arguments.end(), {"-o", "-"});
  Measured measured{runProgram(folder, arguments, {}, 600), shape};
  printf("[ cost     ] %-16s %-8s %8zu bytes: %6.2f s %6ld MiB\n", shape.c_str(), command,
         report.size(), measured.run.seconds, measured.run.peakKiB / 1024);
  return measured;
}

// The hostile report at most `ratio` times the plain one in time, with an
// allowance for the start of the program, and in memory, in every export.
void expectLikePlain(const std::string& shape, const std::string& hostile,
                     const std::string& plain, double ratio = 3) {
  for (const char* command : kCommands) {
    const Measured ordinary = runExport("plain-" + shape, command, plain);
    const Measured measured = runExport(shape, command, hostile);
    EXPECT_EQ(measured.run.status, ordinary.run.status) << command << measured.run.errorOutput;
    EXPECT_LE(measured.run.seconds, ratio * ordinary.run.seconds + 0.3) << shape << " " << command;
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer's quarantine keeps freed blocks: memory then follows
    // the number of allocations, not what is held.
    EXPECT_LE(measured.run.peakKiB, ratio * ordinary.run.peakKiB + 20 * 1024)
        << shape << " " << command;
#endif
  }
}

// Every failed object copied the whole open path (20 000 deep: 10 s for
// the page, 108 s for JUnit).
TEST(ExportCostTest, NestedFailedObjects) {
  expectLikePlain("nested-failed", nestedCases(20000, false), nestedCases(20000, true));
}

// Each attribute was compared with every one before it (50 000: about 18 s).
TEST(ExportCostTest, ManyAttributesOnOneTag) {
  expectLikePlain("attributes", manyAttributes(50000, false), manyAttributes(50000, true));
}

// A report that is a FIFO is refused at once, never waited on: no writer
// need ever come.
TEST(ExportCostTest, FifoReportIsRefusedAtOnce) {
  ScratchFolder folder;
  ASSERT_EQ(mkfifo(folder.file("report.xrd").c_str(), 0600), 0);
  for (const char* command : kCommands) {
    const ProgramRun run = runProgram(folder, {command, "report.xrd"}, {}, 10);
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_NE(run.errorOutput.find("report.xrd:0:0: cannot open: not a regular file"),
              std::string::npos) << command << run.errorOutput;
  }
}

// One long name is held a few times, never once per copy made on its way
// (a 32 MiB name: 235 to 300 MiB; junit holds it in the object, its name
// and its escaped text: about 8 times).
TEST(ExportCostTest, OneLongName) {
  const std::string report =
      reportAround(driverAround(failedCase(std::string(32u << 20, 'n'), "Test Case") +
                                    "</XROD:NODE>\n",
                                "ko"),
                   0, 0, 1);
  for (const char* command : kCommands) {
    const Measured measured = runExport("long-name", command, report);
    EXPECT_EQ(measured.run.status, 3) << measured.run.errorOutput;
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LE(measured.run.peakKiB, 8.5 * static_cast<double>(report.size()) / 1024 + 16 * 1024)
        << command;
#endif
  }
}

}  // namespace
