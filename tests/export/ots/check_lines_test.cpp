// The checks' own lines, round trip: random symbol files (suites, test
// cases, procedures, stubs with callers that hand their checks on, prints
// and comments between checks) go through veldora's readers and report
// writer; reading the report back with the same symbol files must give
// every check row its check's line, and symbol files that differ in one
// check must stop the reading instead of giving lines.
#include "export/ots/check_lines.h"
#include "model/status.h"
#include "readers/readers.h"
#include "report/report.h"
#include "tests/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Scratch {
  Scratch() {
    char name[] = "/tmp/check_lines_XXXXXX";
    dir = mkdtemp(name);
  }
  ~Scratch() { system(("rm -rf '" + dir + "'").c_str()); }
  std::string dir;
};

// A symbol file whose every check is named after its line ("c123" at line
// 123), so that a row's text tells which line it must get.
struct SymbolFile {
  std::string text;
  std::vector<size_t> checkNameAt;  // offsets of check names in text
};

SymbolFile randomSymbolFile(std::mt19937& random, int* nextLine) {
  SymbolFile file;
  file.text = "OF \"src/\" \"t.cpp\" 1\n";
  std::vector<int> containers{1};
  std::vector<bool> suite{false};  // of containers: a suite shows no checks
  std::vector<int> stubs;
  int id = 1;
  const int records = 5 + random() % 40;
  for (int r = 0; r < records; ++r) {
    const int line = (*nextLine)++;
    const size_t at = random() % containers.size();
    const int parent = containers[at];
    const bool underRoot = parent == 1;
    const int pick = random() % 10;
    char record[160];
    if (underRoot || pick < 2) {
      static const char* const kContainers[] = {"TS", "TC", "PC", "SB"};
      const char* kind = kContainers[random() % 4];
      snprintf(record, sizeof record, "%s %x \"n%d\" line=%d parent=%x;", kind, ++id, line, line,
               parent);
      file.text += record;
      if (kind[0] == 'S' && kind[1] == 'B') stubs.push_back(id);
      // Some test cases call a stub earlier in the file: their checks move there.
      if (kind[1] == 'C' && !stubs.empty() && random() % 3 == 0) {
        snprintf(record, sizeof record, " link=%x;", stubs[random() % stubs.size()]);
        file.text += record;
      }
      containers.push_back(id);
      suite.push_back(kind[0] == 'T' && kind[1] == 'S');
    } else {
      static const char* const kChecks[] = {"CH", "CX", "CS", "CH", "CO", "PR"};
      const char* kind = kChecks[random() % 6];
      const bool isCheck = kind[0] != 'C' || kind[1] != 'O';
      const bool trace = !isCheck || kind[0] == 'P';
      snprintf(record, sizeof record, "%s %x \"", kind, ++id);
      file.text += record;
      if (!trace && !suite[at]) file.checkNameAt.push_back(file.text.size());
      snprintf(record, sizeof record, "%s%d\" line=%d parent=%x;", trace ? "t" : "c", line, line,
               parent);
      file.text += record;
    }
    file.text += '\n';
  }
  return file;
}

// Writes veldora's report of the symbol files; returns their paths.
std::vector<std::string> writeRun(const std::string& dir, const std::vector<SymbolFile>& files,
                                  const std::string& report) {
  std::vector<std::string> paths;
  Model model;
  for (size_t i = 0; i < files.size(); ++i) {
    paths.push_back(dir + "/d" + std::to_string(i) + ".ots");
    writeFile(paths.back(), files[i].text);
    EXPECT_EQ(readSymbolFile(model, paths.back().c_str(), static_cast<int32_t>(i)), 0);
  }
  computeStatuses(model);
  EXPECT_GE(writeReport(model, report.c_str(), nullptr), 0);
  return paths;
}

struct Reading {
  ReportItemKind end = ReportFailed;
  std::string error;
  int checkRows = 0;
  int rightLines = 0;
  int moved = 0;  // check rows of checks that their callers handed to a stub
};

// The trailing number of a check row's text: its check's line.
int64_t lineOfName(const std::string& text) {
  const size_t digits = text.find_last_not_of("0123456789") + 1;
  return atoll(text.c_str() + digits);
}

Reading readWithCheckLines(const std::string& report, const std::vector<std::string>& files) {
  Reading reading;
  auto lines = std::make_unique<CheckLines>();
  std::string error;
  EXPECT_TRUE(lines->read(files, &error)) << error;
  ReportReader reader;
  EXPECT_TRUE(reader.open(report.c_str()));
  reader.setAnnotator(std::move(lines));
  bool inDriver = false;
  for (;;) {
    const ReportItemKind item = reader.next();
    if (item == ReportEnd || item == ReportFailed) {
      reading.end = item;
      reading.error = reader.error().message;
      return reading;
    }
    if (item == ReportNodeStart && reader.depth() == 1)
      inDriver = reader.node().section == SectionDriver;
    if (item != ReportRow || !inDriver || reader.depth() < 2) continue;
    const ReportRowInfo& row = reader.row();
    if (row.role != RowData || row.cells.size() != 5 || row.cells[0].text.empty()) continue;
    ++reading.checkRows;
    if (row.cells[0].text.find(" / ") != std::string::npos) ++reading.moved;
    const SourceLink& link = row.cells[0].link;
    if (link.present && link.file == "src/t.cpp" && link.line == lineOfName(row.cells[0].text))
      ++reading.rightLines;
  }
}

TEST(CheckLines, EveryCheckRowGetsItsOwnLineInRandomRuns) {
  std::mt19937 random(20261208);
  int moved = 0;
  for (int run = 0; run < 60; ++run) {
    Scratch scratch;
    int nextLine = 10;
    std::vector<SymbolFile> files;
    for (int f = 1 + random() % 3; f > 0; --f) files.push_back(randomSymbolFile(random, &nextLine));
    const std::string report = scratch.dir + "/report.xrd";
    const std::vector<std::string> paths = writeRun(scratch.dir, files, report);
    const Reading reading = readWithCheckLines(report, paths);
    ASSERT_EQ(reading.end, ReportEnd) << "run " << run << ": " << reading.error;
    EXPECT_EQ(reading.rightLines, reading.checkRows) << "run " << run;
    moved += reading.moved;
  }
  EXPECT_GT(moved, 20);
}

TEST(CheckLines, SymbolFilesThatDifferInOneCheckStopTheReading) {
  std::mt19937 random(7);
  int refused = 0;
  for (int run = 0; run < 40; ++run) {
    Scratch scratch;
    int nextLine = 10;
    std::vector<SymbolFile> files{randomSymbolFile(random, &nextLine)};
    if (files[0].checkNameAt.empty()) continue;
    const std::string report = scratch.dir + "/report.xrd";
    std::vector<std::string> paths = writeRun(scratch.dir, files, report);
    // The same file, one check renamed: another compilation of the driver.
    std::string other = files[0].text;
    other[files[0].checkNameAt[random() % files[0].checkNameAt.size()]] = 'x';
    writeFile(paths[0], other);
    const Reading reading = readWithCheckLines(report, paths);
    ASSERT_EQ(reading.end, ReportFailed) << "run " << run;
    EXPECT_NE(reading.error.find("the symbol files do not match the report: check"),
              std::string::npos)
        << reading.error;
    ++refused;
  }
  EXPECT_GT(refused, 20);
}

TEST(CheckLines, ReportWithoutSymbolFilesKeepsTestCaseLines) {
  Scratch scratch;
  std::mt19937 random(3);
  int nextLine = 10;
  const std::vector<SymbolFile> files{randomSymbolFile(random, &nextLine)};
  const std::string report = scratch.dir + "/report.xrd";
  writeRun(scratch.dir, files, report);
  ReportReader reader;
  ASSERT_TRUE(reader.open(report.c_str()));
  for (ReportItemKind item; (item = reader.next()) != ReportEnd;) {
    ASSERT_NE(item, ReportFailed) << reader.error().message;
    if (item == ReportRow && reader.row().role == RowData && reader.depth() >= 2 &&
        reader.row().cells.size() == 5) {
      EXPECT_FALSE(reader.row().cells[0].link.present);
    }
  }
}

TEST(CheckLines, UnreadableSymbolFileIsNamed) {
  CheckLines lines;
  std::string error;
  EXPECT_FALSE(lines.read({"/nonexistent/a.ots"}, &error));
  EXPECT_EQ(error, "/nonexistent/a.ots: cannot read: No such file or directory");
}

}  // namespace
