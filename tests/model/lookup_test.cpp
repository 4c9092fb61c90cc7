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
  addSymbolFile(model, 0, "a.ots");
  addSymbolFile(model, 1, "b.ots");
  // Identifiers as test compilers hand them out (consecutive from 2) and
  // spread out (multiples of a large stride), the same in both files.
  const uint64_t count = 150000;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t id = i % 2 ? 2 + i : (i + 1) * 0x100000001ull;
    addChildNode(model, 0, KindTestCase, id, "a", 1, 0, 0);
    addChildNode(model, 1, KindCheckExpression, id, "b", 1, 0, 0);
  }
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t id = i % 2 ? 2 + i : (i + 1) * 0x100000001ull;
    TestNode* a = findNode(model, 0, id);
    TestNode* b = findNode(model, 1, id);
    ASSERT_NE(a, nullptr) << i;
    ASSERT_NE(b, nullptr) << i;
    EXPECT_EQ(a->fileIndex, 0);
    EXPECT_EQ(b->kind, KindCheckExpression);
    EXPECT_EQ(a->objectId, id);
  }
  EXPECT_EQ(findNode(model, 2, 3), nullptr);
  EXPECT_EQ(findNode(model, 0, count + 2), nullptr);
  EXPECT_EQ(findNode(model, -1, 1), nullptr);
}

TEST_F(NodeTableTest, FirstNodeOfAKeyStillWinsAfterGrowth) {
  addSymbolFile(model, 0, "a.ots");
  addChildNode(model, 0, KindTestSuite, 7, "first", 1, 0, 0);
  for (uint64_t id = 100; id < 20000; ++id) addChildNode(model, 0, KindTestCase, id, "n", 1, 0, 0);
  addChildNode(model, 0, KindTestCase, 7, "second", 1, 0, 0);
  EXPECT_STREQ(findNode(model, 0, 7)->name, "first");
  EXPECT_EQ(findNode(model, 0, 7)->kind, KindTestSuite);
  // The refused node stands in the tree all the same.
  EXPECT_STREQ(findNode(model, 0, 1)->lastChild->name, "second");
}

// Each model has a table of its own, grown or not.
TEST_F(NodeTableTest, AnotherModelSharesNoKeys) {
  addSymbolFile(model, 0, "a.ots");
  for (uint64_t id = 2; id < 5000; ++id) addChildNode(model, 0, KindTestCase, id, "n", 1, 0, 0);
  Model next;
  EXPECT_EQ(findNode(next, 0, 1), nullptr);
  EXPECT_EQ(findNode(next, 0, 4000), nullptr);
  addSymbolFile(next, 0, "b.ots");
  addChildNode(next, 0, KindTestCase, 4000, "again", 1, 0, 0);
  EXPECT_STREQ(findNode(next, 0, 4000)->name, "again");
  EXPECT_STREQ(findNode(next, 0, 1)->name, "b");
  EXPECT_STREQ(findNode(model, 0, 4000)->name, "n");
  EXPECT_STREQ(findNode(model, 0, 1)->name, "a");
}

std::string take(char* path) {
  std::string text = path ? path : "(none)";
  free(path);
  return text;
}

TEST_F(NodeTableTest, DriverPathFollowsTheNewestRecordOfAFile) {
  auto pathOf = [this](int32_t fileIndex) { return take(driverPath(model, fileIndex)); };
  // Indexes far apart, beyond any small table, and negative.
  for (int32_t file : {0, 300, 70000, -5}) {
    addSymbolFile(model, file, "x.ots");
    setDriverInfo(model, file, "dir/", ("f" + std::to_string(file)).c_str(), 0);
  }
  setFileChecksum(model, 300, 1, 2);
  setFileChecksum(model, -5, 3, 4);
  EXPECT_EQ(pathOf(0), "dir/f0");
  EXPECT_EQ(pathOf(300), "dir/f300");
  EXPECT_EQ(pathOf(70000), "dir/f70000");
  EXPECT_EQ(pathOf(-5), "dir/f-5");
  EXPECT_EQ(pathOf(1), "(none)");
  EXPECT_EQ(pathOf(70001), "(none)");
  // A second binding puts a copy of the record first; from then on driver
  // information goes to that copy.
  bindTraceIndex(model, 1, 1, 2);
  bindTraceIndex(model, 2, 1, 2);
  bindTraceIndex(model, 3, 3, 4);
  bindTraceIndex(model, 4, 3, 4);
  setDriverInfo(model, 300, nullptr, "g.c", 0);
  setDriverInfo(model, -5, nullptr, "h.c", 0);
  EXPECT_EQ(pathOf(300), "dir/g.c");
  EXPECT_EQ(pathOf(-5), "dir/h.c");
  EXPECT_EQ(take(driverPathAt(model, 2)), "dir/f300");  // the tree's own record is unchanged
}

}  // namespace
