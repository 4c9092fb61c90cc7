// OutputFile::commitNew: the new file takes a free path, and never one that
// another file took while it was written; either way no temporary file is
// left beside it.
#include "support/output_file.h"

#include "tests/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

TEST(OutputFileCommitNew, TakesAFreePathOnly) {
  for (const bool taken : {false, true}) {
    char pattern[] = "/tmp/output_file_testXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern, path = dir + "/history.sqlite";
    OutputFile file;
    ASSERT_TRUE(file.open(path.c_str())) << file.error();
    ASSERT_FALSE(file.temporaryPath().empty());
    put(file.file(), "ours");
    if (taken) writeFile(path, "theirs");
    bool placed = !taken;
    EXPECT_TRUE(file.commitNew(&placed)) << file.error();
    EXPECT_EQ(placed, !taken);
    EXPECT_EQ(readFile(path), taken ? "theirs" : "ours");
    EXPECT_EQ(system(("test \"$(ls -A " + dir + ")\" = history.sqlite").c_str()), 0) << "taken " << taken;
    ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
  }
}

}  // namespace
