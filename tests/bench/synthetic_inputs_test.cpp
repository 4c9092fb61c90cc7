// The benchmark's input generator: the same bytes for the same seed, exact
// record counts, every record kind, and inputs whose references all resolve
// (parents before children, links to stubs, SF checksums equal to CK pairs,
// OT identifiers present in the selected symbol file).
#include "bench/synthetic_inputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/file_bytes.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A scratch folder per test, removed afterwards.
class SyntheticInputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("veldora_gen_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  SyntheticSummary generate(uint64_t seed, int64_t objects, int64_t records, int files,
                            const std::string& sub = "out") {
    SyntheticOptions options;
    options.seed = seed;
    options.objects = objects;
    options.traceRecords = records;
    options.files = files;
    options.outDir = (dir_ / sub).string();
    SyntheticSummary summary;
    EXPECT_EQ(writeSyntheticInputs(options, &summary), 0);
    return summary;
  }

  fs::path dir_;
};

const std::set<std::string> kNodeKeywords = {"CB", "CE", "CH", "CL", "CM", "CO", "CS", "CX",
                                             "CY", "EN", "EX", "IV", "PC", "PR", "RC", "RQ",
                                             "SB", "SL", "ST", "TC", "TL", "TR", "TS", "WR",
                                             "OS"};
const std::set<std::string> kSkippedKeywords = {"CP", "NC", "PY", "RU"};

struct NodeLine {
  unsigned long id = 0, parent = 0, link = 0;
};

// "TC b "name" line=23 parent=9; link=7;" -> identifier, parent and link.
NodeLine parseNode(const std::string& line) {
  NodeLine node;
  node.id = std::stoul(line.substr(3), nullptr, 16);
  size_t parent = line.rfind(" parent=");
  node.parent = std::stoul(line.substr(parent + 8), nullptr, 16);
  size_t link = line.rfind(" link=");
  if (link != std::string::npos && link > parent)
    node.link = std::stoul(line.substr(link + 6), nullptr, 16);
  return node;
}

TEST_F(SyntheticInputsTest, SameSeedSameBytesOtherSeedOtherBytes) {
  SyntheticSummary a = generate(42, 3000, 30000, 3, "a");
  SyntheticSummary b = generate(42, 3000, 30000, 3, "b");
  SyntheticSummary c = generate(43, 3000, 30000, 3, "c");
  ASSERT_EQ(a.symbolFiles.size(), 3u);
  for (size_t i = 0; i < a.symbolFiles.size(); ++i) {
    EXPECT_EQ(readFile(a.symbolFiles[i]), readFile(b.symbolFiles[i])) << i;
    EXPECT_NE(readFile(a.symbolFiles[i]), readFile(c.symbolFiles[i])) << i;
  }
  EXPECT_EQ(readFile(a.traceFile), readFile(b.traceFile));
  EXPECT_NE(readFile(a.traceFile), readFile(c.traceFile));
}

TEST_F(SyntheticInputsTest, CountsAreExactAndMatchTheSummary) {
  SyntheticSummary s = generate(5, 10001, 123457, 4);
  int64_t nodes = 0, symbolLines = 0, bytes = 0;
  std::vector<int64_t> perFile;
  for (const std::string& path : s.symbolFiles) {
    int64_t fileNodes = 0;
    for (const std::string& line : linesOf(path)) {
      ++symbolLines;
      if (kNodeKeywords.count(line.substr(0, 2))) ++fileNodes;
    }
    perFile.push_back(fileNodes);
    nodes += fileNodes;
    bytes += static_cast<int64_t>(fs::file_size(path));
  }
  bytes += static_cast<int64_t>(fs::file_size(s.traceFile));
  EXPECT_EQ(nodes, 10001);
  EXPECT_EQ(s.objects, 10001);
  EXPECT_EQ(perFile, (std::vector<int64_t>{2501, 2500, 2500, 2500}));
  EXPECT_EQ(s.symbolLines, symbolLines);
  EXPECT_EQ(static_cast<int64_t>(linesOf(s.traceFile).size()), 123457);
  EXPECT_EQ(s.traceRecords, 123457);
  EXPECT_EQ(s.bytes, bytes);
}

TEST_F(SyntheticInputsTest, EveryRecordKindAppears) {
  SyntheticSummary s = generate(9, 20000, 200000, 4);
  std::set<std::string> symbolKeywords;
  for (const std::string& path : s.symbolFiles)
    for (const std::string& line : linesOf(path)) symbolKeywords.insert(line.substr(0, 2));
  for (const std::string& k : kNodeKeywords) EXPECT_TRUE(symbolKeywords.count(k)) << k;
  for (const std::string& k : kSkippedKeywords) EXPECT_TRUE(symbolKeywords.count(k)) << k;
  for (const char* k : {"CK", "OF", "VO", "DP"}) EXPECT_TRUE(symbolKeywords.count(k)) << k;

  std::map<std::string, int> traceForms;
  for (const std::string& line : linesOf(s.traceFile)) {
    std::istringstream fields(line);
    std::string keyword, id, verdict;
    fields >> keyword >> id >> verdict;
    if (keyword == "OT") traceForms["OT " + verdict]++;
    else if (keyword == "NO")
      traceForms[line.find("\" \"") != std::string::npos ? "NO codec" : "NO"]++;
    else traceForms[keyword]++;
  }
  for (const char* form : {"SF", "CS", "NO", "NO codec", "OT ", "OT 0", "OT 1", "OT 2", "OT 3"})
    EXPECT_GT(traceForms[form], 0) << form;
  // Mostly passed verdicts, a few failed ones.
  EXPECT_GT(traceForms["OT 1"], 50 * traceForms["OT 0"]);
  EXPECT_EQ(traceForms.size(), 9u);
}

// Every reference resolves: parents precede children, links name stubs of
// the same file, every SF pair equals its file's CK pair, and every OT
// identifier is an object of the file its SF or CS record selected.
TEST_F(SyntheticInputsTest, ReferencesResolve) {
  SyntheticSummary s = generate(11, 8000, 80000, 3);
  std::vector<std::set<unsigned long>> objects;
  std::vector<std::string> checksums;
  for (const std::string& path : s.symbolFiles) {
    std::set<unsigned long> ids = {1};
    std::set<unsigned long> stubs;
    for (const std::string& line : linesOf(path)) {
      std::string keyword = line.substr(0, 2);
      if (keyword == "CK") checksums.push_back(line.substr(3));
      if (!kNodeKeywords.count(keyword)) continue;
      NodeLine node = parseNode(line);
      EXPECT_TRUE(ids.count(node.parent)) << line;
      EXPECT_TRUE(ids.insert(node.id).second) << "duplicate: " << line;
      if (node.link) {
        EXPECT_TRUE(stubs.count(node.link)) << line;
      }
      if (keyword == "SB") stubs.insert(node.id);
    }
    objects.push_back(ids);
  }
  ASSERT_EQ(checksums.size(), 3u);

  int selected = -1;
  int outcomes = 0;
  for (const std::string& line : linesOf(s.traceFile)) {
    std::istringstream fields(line);
    std::string keyword, a, b, c;
    fields >> keyword >> a >> b >> c;
    if (keyword == "SF") {
      selected = std::stoi(a, nullptr, 16) - 1;
      ASSERT_GE(selected, 0);
      ASSERT_LT(selected, 3);
      EXPECT_EQ(b + " " + c, checksums[static_cast<size_t>(selected)]);
    } else if (keyword == "CS") {
      selected = std::stoi(a, nullptr, 16) - 1;
    } else if (keyword == "OT") {
      ASSERT_GE(selected, 0) << "OT before any SF";
      EXPECT_TRUE(objects[static_cast<size_t>(selected)].count(std::stoul(a, nullptr, 16))) << line;
      ++outcomes;
    }
  }
  EXPECT_GT(outcomes, 70000);
}

// Fewer records than one execution of everything: the trace holds that
// minimum, each check once, and still binds every file.
TEST_F(SyntheticInputsTest, TooFewRecordsGiveTheMinimumTrace) {
  SyntheticSummary s = generate(3, 2000, 10, 2);
  std::map<std::string, int> verdictsPerId;
  int bindings = 0;
  for (const std::string& line : linesOf(s.traceFile)) {
    if (line.rfind("SF ", 0) == 0) ++bindings;
    if (line.rfind("SF ", 0) == 0 || line.rfind("CS ", 0) == 0)
      verdictsPerId.clear();  // identifiers of another file follow
    bool verdict = line.rfind("OT ", 0) == 0 && std::count(line.begin(), line.end(), ' ') == 2 &&
                   (line.back() == '1' || line.back() == '0');
    if (verdict) {
      EXPECT_EQ(++verdictsPerId[line.substr(0, line.rfind(' '))], 1) << line;
    }
  }
  EXPECT_EQ(bindings, 2);
  EXPECT_GT(s.traceRecords, 10);
  EXPECT_EQ(static_cast<int64_t>(linesOf(s.traceFile).size()), s.traceRecords);
}

TEST_F(SyntheticInputsTest, NoObjectsGiveHeadersOnly) {
  SyntheticSummary s = generate(1, 0, 100, 2);
  for (const std::string& path : s.symbolFiles) EXPECT_EQ(linesOf(path).size(), 4u) << path;
  EXPECT_EQ(linesOf(s.traceFile).size(), 2u);  // the two SF records
}

TEST_F(SyntheticInputsTest, UnwritableFolderFails) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "file") << "x";
  SyntheticOptions options;
  options.outDir = (dir_ / "file").string();
  SyntheticSummary summary;
  EXPECT_EQ(writeSyntheticInputs(options, &summary), -1);
}

}  // namespace
