#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  int result;
  RunSettings settings;
  std::vector<std::string> symbolFiles;
};

// Parses "veldora" followed by the given words.
Parsed parse(std::vector<std::string> words) {
  static std::vector<std::vector<char>> storage;  // keeps argv texts alive
  storage.clear();
  words.insert(words.begin(), "veldora");
  std::vector<char*> argv;
  for (const std::string& w : words) {
    storage.emplace_back(w.begin(), w.end());
    storage.back().push_back('\0');
  }
  for (auto& s : storage)
    argv.push_back(s.data());
  Parsed p;
  p.result = parseCommandLine(static_cast<int>(argv.size()), argv.data(), &p.settings);
  for (int i = 0; i < p.settings.symbolFileCount; ++i)
    p.symbolFiles.push_back(p.settings.symbolFileNames[i]);
  free(p.settings.symbolFileNames);
  return p;
}

std::string text(const char* s) { return s ? s : "<absent>"; }

using Files = std::vector<std::string>;

TEST(CommandLine, AcceptsTheUsualOrder) {
  Parsed p = parse({"-ots", "a.ots", "b.ots", "-tdf", "run.tdf", "-xrd", "out.xrd"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ((Files{"a.ots", "b.ots"}), p.symbolFiles);
  EXPECT_EQ("run.tdf", text(p.settings.traceFileName));
  EXPECT_EQ("out.xrd", text(p.settings.reportFileName));
  EXPECT_EQ("<absent>", text(p.settings.headerFileName));
}

TEST(CommandLine, SymbolListRunsToTheEnd) {
  Parsed p = parse({"-tdf", "run.tdf", "-xrd", "out.xrd", "-ots", "a.ots", "b.ots"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ((Files{"a.ots", "b.ots"}), p.symbolFiles);
}

TEST(CommandLine, HeaderOptionInsideSymbolListIsAFileName) {
  Parsed p = parse({"-ots", "a.ots", "-h", "head.txt", "-tdf", "run.tdf", "-xrd", "out.xrd"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ((Files{"a.ots", "-h", "head.txt"}), p.symbolFiles);
  EXPECT_EQ("<absent>", text(p.settings.headerFileName));
}

TEST(CommandLine, OtsInsideSymbolListIsAFileName) {
  Parsed p = parse({"-ots", "a.ots", "-ots", "-tdf", "t", "-xrd", "r"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ((Files{"a.ots", "-ots"}), p.symbolFiles);
}

TEST(CommandLine, ZeroSymbolFiles) {
  Parsed p = parse({"-ots", "-tdf", "run.tdf", "-xrd", "out.xrd"});
  EXPECT_EQ(0, p.result);
  EXPECT_TRUE(p.symbolFiles.empty());
}

TEST(CommandLine, RepeatedOptionMakesUpForMissingOneAndLastValueWins) {
  Parsed p = parse({"-tdf", "a.tdf", "-tdf", "b.tdf", "-xrd", "out.xrd"});
  EXPECT_EQ(0, p.result);
  EXPECT_TRUE(p.symbolFiles.empty());
  EXPECT_EQ("b.tdf", text(p.settings.traceFileName));
}

TEST(CommandLine, TwoCountedOptionsAreRefused) {
  EXPECT_NE(0, parse({"-ots", "a.ots", "-tdf", "run.tdf"}).result);
  EXPECT_NE(0, parse({"-xrd", "out.xrd", "-tdf", "run.tdf"}).result);
  EXPECT_NE(0, parse({}).result);
}

TEST(CommandLine, FourCountedOptionsAreRefused) {
  EXPECT_NE(0, parse({"-ots", "a", "-tdf", "t", "-xrd", "r", "-xrd", "s"}).result);
}

TEST(CommandLine, TrailingValueOptionsGetNoValue) {
  Parsed p = parse({"-ots", "a.ots", "-tdf", "run.tdf", "-xrd"});
  EXPECT_NE(0, p.result);
  EXPECT_EQ("<absent>", text(p.settings.reportFileName));

  // An earlier value is dropped by a trailing repetition.
  p = parse({"-tdf", "run.tdf", "-xrd", "out.xrd", "-xrd"});
  EXPECT_NE(0, p.result);
  EXPECT_EQ("<absent>", text(p.settings.reportFileName));

  p = parse({"-ots", "a.ots", "-tdf", "run.tdf", "-xrd", "out.xrd", "-h"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ("<absent>", text(p.settings.headerFileName));

  p = parse({"-h", "x", "-ots", "-tdf", "run.tdf", "-xrd", "out.xrd", "-h"});
  EXPECT_EQ("<absent>", text(p.settings.headerFileName));

  p = parse({"-ots", "-xrd", "out.xrd", "-tdf"});
  EXPECT_NE(0, p.result);
  EXPECT_EQ("<absent>", text(p.settings.traceFileName));
}

TEST(CommandLine, ValueIsTriedAgainstLaterOptions) {
  Parsed p = parse({"-xrd", "-h", "x.txt", "-ots", "a.ots", "-tdf", "t.tdf"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ("-h", text(p.settings.reportFileName));
  EXPECT_EQ("x.txt", text(p.settings.headerFileName));

  // A report file named -tdf is also the -tdf option.
  p = parse({"-ots", "a", "-xrd", "-tdf", "t.tdf"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ("-tdf", text(p.settings.reportFileName));
  EXPECT_EQ("t.tdf", text(p.settings.traceFileName));

  // A header file named -tdf likewise.
  p = parse({"-ots", "a", "-xrd", "r", "-h", "-tdf", "t.tdf"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ("-tdf", text(p.settings.headerFileName));
  EXPECT_EQ("t.tdf", text(p.settings.traceFileName));

  // A trace file value is not tried again: -xrd after -tdf is its value.
  p = parse({"-ots", "a", "-tdf", "-xrd", "r"});
  EXPECT_NE(0, p.result);
  EXPECT_EQ("-xrd", text(p.settings.traceFileName));
}

TEST(CommandLine, StrayWordsAreSkipped) {
  Parsed p = parse({"-v", "-ots", "a.ots", "-tdf", "t.tdf", "-xrd", "r.xrd", "extra"});
  EXPECT_EQ(0, p.result);
  EXPECT_EQ((Files{"a.ots"}), p.symbolFiles);
}

TEST(CommandLine, OptionWordsMatchInCaseAndLength) {
  EXPECT_NE(0, parse({"-OTS", "a.ots", "-tdf", "t.tdf", "-xrd", "r.xrd"}).result);
  EXPECT_NE(0, parse({"-ots2", "a.ots", "-tdf", "t.tdf", "-xrd", "r.xrd"}).result);
  EXPECT_NE(0, parse({"-ots", "a.ots", "-tdf", "t.tdf", "-xr", "r.xrd"}).result);
}

}  // namespace
