// What the report run does to the files around it: a report is complete or
// the earlier one stays, with no temporary file left, whether a write fails
// or a signal ends the run; a lost test summary is an error; devices are
// written in place.
#include "run_program.h"

#include "tests/file_size_limit.h"

#include <gtest/gtest.h>
#include <csignal>
#include <dirent.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::string_literals;

const std::vector<std::string> kArguments = {"-ots", "s.ots", "-tdf", "run.tdf", "-xrd", "out.xrd"};

// The names in the folder that the run may have left, inputs aside.
std::vector<std::string> leftovers(const ScratchFolder& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.path().c_str());
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != ".." && name != "install" && name.find(".txt") == std::string::npos &&
        name != "s.ots" && name != "run.tdf")
      names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void writeSmallRun(const ScratchFolder& folder) {
  writeFile(folder.file("s.ots"), "CK 11 22\nTC 2 \"case\" line=1 parent=1;\n");
  writeFile(folder.file("run.tdf"), "SF 1 11 22\nOT 2\n");
}

// Runs the program with a file size limit on everything it writes.
ProgramRun runWithFileSizeLimit(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                                rlim_t limit) {
  FileSizeLimit limited(limit);
  return runProgram(folder, arguments);
}

TEST(ReportOutputTest, FailedWriteKeepsTheEarlierReport) {
  ScratchFolder folder;
  writeSmallRun(folder);
  writeFile(folder.file("out.xrd"), "the earlier report");
  ProgramRun run = runWithFileSizeLimit(folder, kArguments, 1000);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.errorOutput, kBanner + "veldora - error: out.xrd, write error.\n"s);
  EXPECT_EQ(readFile(folder.file("out.xrd")), "the earlier report");
  EXPECT_EQ(leftovers(folder), std::vector<std::string>{"out.xrd"});
}

TEST(ReportOutputTest, LostTestSummaryIsAnError) {
  ScratchFolder folder;
  writeSmallRun(folder);
  // Room for the report, none for the summary after the header's bytes.
  std::string header = "Title\n-end\n" + std::string(20000, '#') + "\n";
  writeFile(folder.file("header.txt"), header);
  std::vector<std::string> arguments = kArguments;
  arguments.insert(arguments.end(), {"-h", "header.txt"});
  ProgramRun run = runWithFileSizeLimit(folder, arguments, header.size());
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.errorOutput, kBanner + "veldora - error: header.txt, write error.\n"s);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  EXPECT_EQ(readFile(folder.file("header.txt")), header);
}

// A run ended by a signal while it writes leaves the earlier report and no
// temporary file; the run is long enough to be caught in the middle.
TEST(ReportOutputTest, SignalDuringTheWriteKeepsTheEarlierReport) {
  ScratchFolder folder;
  std::string symbols = "CK 11 22\n";
  for (int id = 2; id < 300000; ++id) symbols += "TC " + std::to_string(id + 0x100000) + " \"case\" line=1 parent=1;\n";
  writeFile(folder.file("s.ots"), symbols);
  writeFile(folder.file("run.tdf"), "SF 1 11 22\n");
  writeFile(folder.file("out.xrd"), "the earlier report");
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    pid_t child = startProgram(folder, kArguments);
    ASSERT_GT(child, 0);
    // Waits for the temporary file beside the report, then ends the run.
    bool seen = false;
    for (int i = 0; i < 2000 && !seen; ++i) {
      for (const std::string& name : leftovers(folder)) seen |= name != "out.xrd";
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(child, signalNumber);
    int status = 0;
    waitpid(child, &status, 0);
    if (!seen) GTEST_SKIP() << "the run ended before its temporary file was seen";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber);
    EXPECT_EQ(readFile(folder.file("out.xrd")), "the earlier report");
    EXPECT_EQ(leftovers(folder), std::vector<std::string>{"out.xrd"});
  }
}

// Devices are written in place: the report reaches standard output.
TEST(ReportOutputTest, StandardOutputIsWrittenInPlace) {
  ScratchFolder folder;
  writeSmallRun(folder);
  ProgramRun run = runProgram(folder, {"-ots", "s.ots", "-tdf", "run.tdf", "-xrd", "/dev/stdout"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.wroteToOutput);
  EXPECT_EQ(reportFault(folder.file("stdout.txt")), "");
}

}  // namespace
