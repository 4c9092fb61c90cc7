// Costs that must follow the size of the input: each hostile shape runs the
// real program beside its ordinary counterpart of about the same size, and
// may take at most a few times its time and memory. The inputs are made
// here, at run time. Where the cost once grew with the square of the input,
// these sizes took seconds to minutes.
#include "hostile_shapes.h"
#include "run_program.h"

#include <gtest/gtest.h>
#include <cstdio>

namespace {

struct Measured {
  ProgramRun run;
  std::string report;
};

Measured runShape(const std::string& name, int scale) {
  ScratchFolder folder;
  ShapeRun shape = writeShape(name, scale, folder.path());
  EXPECT_FALSE(shape.arguments.empty()) << name;
  Measured measured{runProgram(folder, shape.arguments, {}, 600), ""};
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "") << name;
  measured.report = readFile(folder.file("out.xrd"));
  printf("[ cost     ] %-22s scale %7d: %6.2f s %6ld MiB\n", name.c_str(), scale,
         measured.run.seconds, measured.run.peakKiB / 1024);
  return measured;
}

// The hostile run at most `ratio` times the plain one in time, with an
// allowance for the start of the program, and in memory.
void expectLikePlain(const std::string& shape, int scale, double ratio = 3) {
  Measured plain = runShape("plain-" + shape, scale);
  Measured hostile = runShape(shape, scale);
  EXPECT_EQ(hostile.run.status, plain.run.status) << hostile.run.errorOutput;
  EXPECT_LE(hostile.run.seconds, ratio * plain.run.seconds + 0.3) << shape;
  EXPECT_LE(hostile.run.peakKiB, ratio * plain.run.peakKiB + 20 * 1024) << shape;
}

TEST(HostileCostTest, RebindingOneFileAgainAndAgain) { expectLikePlain("rebinding", 40000); }

TEST(HostileCostTest, LinksBesideManyFileRecords) { expectLikePlain("link-records", 10000); }

TEST(HostileCostTest, ChildrenHandedAlongAChainOfStubs) { expectLikePlain("stub-chain", 4000); }

TEST(HostileCostTest, IdentifiersCraftedAgainstAFixedHash) { expectLikePlain("crafted-ids", 40000); }

TEST(HostileCostTest, ManyLinksToOneDeepStub) { expectLikePlain("deep-stub-links", 20000); }

TEST(HostileCostTest, NotesInUnknownCodecs) { expectLikePlain("codec-names", 100000); }

// Names built once at their length: three stubs cost the memory of one.
TEST(HostileCostTest, NamesComposedAlongThreeStubs) {
  Measured one = runShape("plain-chained-stubs", 30000);
  Measured three = runShape("chained-stubs", 30000);
  EXPECT_EQ(three.run.status, 0);
  EXPECT_LE(three.run.peakKiB, 1.3 * one.run.peakKiB + 10 * 1024);
  EXPECT_NE(three.report.find("name=\"a / a / case\""), std::string::npos);
}

// The time per symbol file stays flat as the files grow fourfold.
TEST(HostileCostTest, ManySymbolFiles) {
  Measured some = runShape("many-files", 2500);
  Measured many = runShape("many-files", 10000);
  EXPECT_EQ(many.run.status, 0);
  EXPECT_LE(many.run.seconds, 1.5 * 4 * some.run.seconds + 0.3);
  EXPECT_LE(many.run.peakKiB, 4 * some.run.peakKiB + 20 * 1024);
}

}  // namespace
