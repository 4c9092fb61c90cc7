// Lookups that do not walk: the node table at sizes where it grows many
// times (every key found, keys differing only in their file kept apart, the
// first node of a key winning after growth, emptied by a reset), and the
// driver path of a file index, which follows the newest record of that file.
#include "tests/model_fixture.h"
#include "model/node_table.h"

#include <cstdlib>

namespace {

class NodeTableTest : public ModelTest {};

TEST_F(NodeTableTest, EveryKeyIsFoundAcrossGrowth) {
  addSymbolFile(0, "a.ots");
  addSymbolFile(1, "b.ots");
  // Identifiers as test compilers hand them out (consecutive from 2) and
  // spread out (multiples of a large stride), the same in both files.
  const uint64_t count = 150000;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t id = i % 2 ? 2 + i : (i + 1) * 0x100000001ull;
    addChildNode(0, KindTestCase, id, "a", 1, 0, 0);
    addChildNode(1, KindCheckExpression, id, "b", 1, 0, 0);
  }
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t id = i % 2 ? 2 + i : (i + 1) * 0x100000001ull;
    TestNode* a = findNode(0, id);
    TestNode* b = findNode(1, id);
    ASSERT_NE(a, nullptr) << i;
    ASSERT_NE(b, nullptr) << i;
    EXPECT_EQ(a->fileIndex, 0);
    EXPECT_EQ(b->kind, KindCheckExpression);
    EXPECT_EQ(a->objectId, id);
  }
  EXPECT_EQ(findNode(2, 3), nullptr);
  EXPECT_EQ(findNode(0, count + 2), nullptr);
  EXPECT_EQ(findNode(-1, 1), nullptr);
}

TEST_F(NodeTableTest, FirstNodeOfAKeyStillWinsAfterGrowth) {
  addSymbolFile(0, "a.ots");
  addChildNode(0, KindTestSuite, 7, "first", 1, 0, 0);
  for (uint64_t id = 100; id < 20000; ++id) addChildNode(0, KindTestCase, id, "n", 1, 0, 0);
  addChildNode(0, KindTestCase, 7, "second", 1, 0, 0);
  EXPECT_STREQ(findNode(0, 7)->name, "first");
  EXPECT_EQ(findNode(0, 7)->kind, KindTestSuite);
  // The refused node stands in the tree all the same.
  EXPECT_STREQ(findNode(0, 1)->lastChild->name, "second");
}

TEST_F(NodeTableTest, ResetEmptiesTheTableForTheNextRun) {
  addSymbolFile(0, "a.ots");
  for (uint64_t id = 2; id < 5000; ++id) addChildNode(0, KindTestCase, id, "n", 1, 0, 0);
  resetModel();
  EXPECT_EQ(findNode(0, 1), nullptr);
  EXPECT_EQ(findNode(0, 4000), nullptr);
  addSymbolFile(0, "b.ots");
  addChildNode(0, KindTestCase, 4000, "again", 1, 0, 0);
  EXPECT_STREQ(findNode(0, 4000)->name, "again");
  EXPECT_STREQ(findNode(0, 1)->name, "b");
}

std::string take(char* path) {
  std::string text = path ? path : "(none)";
  free(path);
  return text;
}

std::string pathOf(int32_t fileIndex) { return take(driverPath(fileIndex)); }

TEST_F(NodeTableTest, DriverPathFollowsTheNewestRecordOfAFile) {
  // Indexes far apart, beyond any small table, and negative.
  for (int32_t file : {0, 300, 70000, -5}) {
    addSymbolFile(file, "x.ots");
    setDriverInfo(file, "dir/", ("f" + std::to_string(file)).c_str(), 0);
  }
  setFileChecksum(300, 1, 2);
  setFileChecksum(-5, 3, 4);
  EXPECT_EQ(pathOf(0), "dir/f0");
  EXPECT_EQ(pathOf(300), "dir/f300");
  EXPECT_EQ(pathOf(70000), "dir/f70000");
  EXPECT_EQ(pathOf(-5), "dir/f-5");
  EXPECT_EQ(pathOf(1), "(none)");
  EXPECT_EQ(pathOf(70001), "(none)");
  // A second binding puts a copy of the record first; from then on driver
  // information goes to that copy.
  bindTraceIndex(1, 1, 2);
  bindTraceIndex(2, 1, 2);
  bindTraceIndex(3, 3, 4);
  bindTraceIndex(4, 3, 4);
  setDriverInfo(300, nullptr, "g.c", 0);
  setDriverInfo(-5, nullptr, "h.c", 0);
  EXPECT_EQ(pathOf(300), "dir/g.c");
  EXPECT_EQ(pathOf(-5), "dir/h.c");
  EXPECT_EQ(take(driverPathAt(2)), "dir/f300");  // the tree's own record is unchanged
  resetModel();
  EXPECT_EQ(pathOf(300), "(none)");
}

}  // namespace
