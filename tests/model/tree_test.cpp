#include "tests/model_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string takeText(char* text) {
  std::string copy = text ? text : "(null)";
  free(text);
  return copy;
}

using TreeTest = ModelTest;

TEST_F(TreeTest, RootIsNamedAfterTheFileUpToItsFirstDot) {
  addSymbolFile(model, 0, "/tmp/dir.d/run.test.ots");
  addSymbolFile(model, 1, "plain");
  TestNode* root = findNode(model, 0, 1);
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->name, "run");
  EXPECT_STREQ(findNode(model, 1, 1)->name, "plain");
  EXPECT_EQ(root->kind, KindTestDriver);
  EXPECT_EQ(root->line, 0);
  EXPECT_EQ(root->status, Passed);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(model.files.list->fileIndex, 1);
  EXPECT_EQ(model.files.list->next->root, root);
}

TEST_F(TreeTest, InitialStatusAndCountersFollowTheKind) {
  addSymbolFile(model, 0, "a.ots");
  TestNode* observation = add(KindObservationState, 2, 1);
  TestNode* check = add(KindCheckExpression, 3, 1);
  TestNode* singleClass = add(KindSingleClass, 4, 1);
  TestNode* suite = add(KindTestSuite, 5, 1);
  EXPECT_EQ(observation->status, Passed);
  EXPECT_EQ(check->status, NotExecuted);
  CheckCounts zero = {0, 0, 0, 0, 0};
  EXPECT_EQ(memcmp(checkCountsOf(check), &zero, sizeof zero), 0);
  ClassCounts initial = {0, 0, 0, 0, Executed, Passed, Executed, Executed, Executed};
  EXPECT_EQ(memcmp(classCountsOf(singleClass), &initial, sizeof initial), 0);
  EXPECT_EQ(singleClass->status, Passed);
  EXPECT_EQ(suite->status, Passed);
  EXPECT_EQ(suite->counts, nullptr);
  EXPECT_EQ(checkCountsOf(singleClass), nullptr);
  EXPECT_EQ(classCountsOf(check), nullptr);
  EXPECT_EQ(driverCountsOf(suite), nullptr);
}

TEST_F(TreeTest, FirstNodeOfAKeyWinsAndDuplicatesStayInTheTree) {
  addSymbolFile(model, 0, "a.ots");
  addSymbolFile(model, 1, "b.ots");
  TestNode* first = add(KindTestSuite, 2, 1, "first");
  add(KindTestCase, 2, 1, "second");
  add(KindTestCase, 3, 2, "child");
  TestNode* other = add(KindTestSuite, 2, 1, "other file", 0, 1);
  EXPECT_EQ(findNode(model, 0, 2), first);
  EXPECT_EQ(childNames(findNode(model, 0, 1)), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(childNames(first), (std::vector<std::string>{"child"}));
  EXPECT_STREQ(other->name, "other file");
  appendNote(model, 0, 2, std::string("note"));
  EXPECT_STREQ(first->firstNote->text, "note");
  EXPECT_EQ(findNode(model, 0, 1)->lastChild->firstNote, nullptr);
}

TEST_F(TreeTest, OrphansAreDroppedWithTheirSubtrees) {
  addSymbolFile(model, 0, "a.ots");
  add(KindTestSuite, 2, 9);  // parent 9 comes later
  add(KindTestCase, 3, 2);
  add(KindTestSuite, 9, 1);
  EXPECT_EQ(findNode(model, 0, 2), nullptr);
  EXPECT_EQ(findNode(model, 0, 3), nullptr);
  EXPECT_EQ(findNode(model, 0, 9)->firstChild, nullptr);
  EXPECT_EQ(driverCountsOf(findNode(model, 0, 1))->testCases, 0);
  addChildNode(model, 3, KindTestCase, 2, "no such file", 1, 0, 0);
  EXPECT_EQ(findNode(model, 3, 2), nullptr);
}

TEST_F(TreeTest, TestDriverAndClassCountTheirNodes) {
  addSymbolFile(model, 0, "a.ots");
  add(KindTestSuite, 2, 1);
  add(KindTestClass, 3, 2);
  add(KindTestCase, 4, 3);
  add(KindProc, 5, 4);
  add(KindStub, 6, 4);
  add(KindPrologue, 7, 3);
  add(KindEpilogue, 8, 3);
  add(KindClass, 10, 2);
  add(KindTestSuite, 11, 10);  // classes count through other kinds
  add(KindMethodContract, 12, 11);
  add(KindInvariant, 13, 10);
  add(KindState, 14, 10);
  add(KindTransition, 15, 14);
  add(KindObservationState, 16, 10);  // not counted
  add(KindSingleClass, 20, 10);       // an inner class counts its own parts
  add(KindState, 21, 20);
  add(KindCheckExpression, 22, 1);
  DriverCounts drivers = {2, 1, 2, 1, 1, 1, 1, 1};
  EXPECT_EQ(memcmp(driverCountsOf(findNode(model, 0, 1)), &drivers, sizeof drivers), 0);
  ClassCounts outer = {1, 1, 1, 1, Executed, Passed, Executed, Executed, Executed};
  EXPECT_EQ(memcmp(classCountsOf(findNode(model, 0, 10)), &outer, sizeof outer), 0);
  EXPECT_EQ(classCountsOf(findNode(model, 0, 20))->states, 1);
}

TEST_F(TreeTest, TraceNumbersBindByChecksumPair) {
  addSymbolFile(model, 0, "a.ots");
  addSymbolFile(model, 1, "b.ots");
  addSymbolFile(model, 2, "c.ots");
  setFileChecksum(model, 0, 0x10, 0x20);
  setFileChecksum(model, 1, 0x30, 0x40);
  setFileChecksum(model, 2, 0x30, 0x40);  // same pair as file 1
  setDriverInfo(model, 2, "dir/", "c.c", 5);
  bindTraceIndex(model, 7, 0x10, 0x20);
  bindTraceIndex(model, 8, 0x10, 0x20);  // the same pair again: an extra record
  bindTraceIndex(model, 3, 0x30, 0x40);
  bindTraceIndex(model, 4, 0x30, 0x40);  // binds file 2 again, never file 1
  bindTraceIndex(model, 5, 0x30, 0x41);  // matches nothing
  EXPECT_EQ(fileIndexOfTrace(model, 7), 0);
  EXPECT_EQ(fileIndexOfTrace(model, 8), 0);
  EXPECT_EQ(fileIndexOfTrace(model, 3), 2);
  EXPECT_EQ(fileIndexOfTrace(model, 4), 2);
  EXPECT_EQ(fileIndexOfTrace(model, 5), -1);
  EXPECT_EQ(fileIndexOfTrace(model, 0), 1);  // 0 is also the unbound value
  EXPECT_EQ(fileTreeCount(model), 3);
  const SymbolFileRecord* extra = model.files.list;
  EXPECT_EQ(extra->root, nullptr);
  EXPECT_EQ(extra->driverValue, 5u);
  EXPECT_EQ(takeText(driverPath(model, 2)), "dir/c.c");
}

TEST_F(TreeTest, TreesAndDriverPathsComeNewestFirst) {
  addSymbolFile(model, 0, "first.ots");
  addSymbolFile(model, 1, "second.ots");
  addSymbolFile(model, 2, "third.ots");
  setDriverInfo(model, 0, "d/", nullptr, 0);
  setDriverInfo(model, 1, nullptr, "f.c", 0);
  setDriverInfo(model, 2, "old/", "old.c", 0);
  setDriverInfo(model, 2, "new/", nullptr, 0);  // replaces only the text given
  bindTraceIndex(model, 1, 0, 0);
  bindTraceIndex(model, 2, 0, 0);  // an extra record without a tree at the head
  EXPECT_EQ(fileTreeCount(model), 3);
  EXPECT_STREQ(fileTreeAt(model, 0)->name, "third");
  EXPECT_STREQ(fileTreeAt(model, 2)->name, "first");
  EXPECT_EQ(fileTreeAt(model, 3), nullptr);
  EXPECT_EQ(takeText(driverPathAt(model, 0)), "new/old.c");
  EXPECT_EQ(takeText(driverPathAt(model, 1)), "f.c");
  EXPECT_EQ(takeText(driverPathAt(model, 2)), "d/");
  EXPECT_EQ(takeText(driverPathAt(model, 3)), "(null)");
  EXPECT_EQ(takeText(driverPath(model, 9)), "(null)");
  addSymbolFile(model, 3, "bare.ots");
  EXPECT_EQ(takeText(driverPath(model, 3)), "");
}

TEST_F(TreeTest, GlobalTextsKeepTheFirstValue) {
  EXPECT_EQ(model.compilerVersion, nullptr);
  setCompilerVersion(model, "1.0");
  setCompilerVersion(model, "2.0");
  setCompilationTime(model, "noon");
  EXPECT_STREQ(model.compilerVersion, "1.0");
  EXPECT_STREQ(model.compilationTime, "noon");
}

void recordName(TestNode* node, void* user) {
  static_cast<std::vector<std::string>*>(user)->push_back(node->name);
}

struct GrowingWalk {
  Model* model;
  std::vector<std::string> order;
};

// Adds a sibling after the node named "grow", visited by walks that read the
// next sibling after the call.
void growAndRecord(TestNode* node, void* user) {
  GrowingWalk* walk = static_cast<GrowingWalk*>(user);
  if (strcmp(node->name, "grow") == 0)
    addChildNode(*walk->model, 0, KindTestCase, 99, "grown", node->parent->objectId, 0, 0);
  walk->order.push_back(node->name);
}

TEST_F(TreeTest, WalksVisitChildrenBeforeParentsAlongTheSiblingChain) {
  addSymbolFile(model, 0, "a.ots");
  add(KindTestSuite, 2, 1, "s1");
  add(KindTestCase, 3, 2, "c1");
  add(KindCheckExpression, 4, 3, "k1");
  add(KindTestCase, 5, 2, "grow");
  add(KindTestSuite, 6, 1, "s2");
  add(KindTestCase, 7, 6, "c2");
  std::vector<std::string> order;
  walkTree(findNode(model, 0, 1), recordName, &order);
  EXPECT_EQ(order, (std::vector<std::string>{"k1", "c1", "grow", "s1", "c2", "s2", "a"}));
  GrowingWalk growing = {&model, {}};
  walkTree(findNode(model, 0, 3), growAndRecord, &growing);  // c1 and its later siblings only
  EXPECT_EQ(growing.order, (std::vector<std::string>{"k1", "c1", "grow", "grown"}));
  order.clear();
  forEachChild(findNode(model, 0, 1), recordName, &order);
  EXPECT_EQ(order, (std::vector<std::string>{"s1", "s2"}));
}

TEST_F(TreeTest, ClassCollectionStopsAtCapacity) {
  addSymbolFile(model, 0, "a.ots");
  add(KindClass, 2, 1, "A");
  add(KindTestSuite, 3, 1, "S");
  add(KindSingleClass, 4, 3, "B");
  add(KindClass, 5, 3, "C");
  TestNode slots[3] = {};
  slots[2].kind = -7;  // stands for memory past the list
  ClassNodeList list = {slots, 2, 0};
  walkTree(findNode(model, 0, 1), collectClassNodes, &list);
  EXPECT_EQ(list.used, 2);
  EXPECT_STREQ(slots[0].name, "A");
  EXPECT_STREQ(slots[1].name, "B");
  EXPECT_EQ(slots[1].counts, findNode(model, 0, 4)->counts);
  EXPECT_EQ(slots[2].kind, -7);
}

// Two models under the same keys keep apart, and destroying one (with its
// duplicates, extra records and notes; the sanitizer build reports any
// leak) leaves the other as it was.
TEST_F(TreeTest, AModelDestroyedLeavesAnotherIntact) {
  addSymbolFile(model, 0, "kept.ots");
  add(KindTestSuite, 2, 1, "kept suite");
  appendNote(model, 0, 2, std::string("kept note"));
  setCompilerVersion(model, "kept");
  {
    Model other;
    addSymbolFile(other, 0, "a.ots");
    addChildNode(other, 0, KindTestSuite, 2, "other suite", 1, 0, 0);
    addChildNode(other, 0, KindTestCase, 2, "duplicate", 1, 0, 0);  // never in the table
    addChildNode(other, 0, KindCheckExpression, 3, "k", 2, 0, 0);
    addSymbolFile(other, 0, "again.ots");  // a second root under a key that is taken
    setDriverInfo(other, 0, "d", "f", 1);
    setFileChecksum(other, 0, 1, 2);
    bindTraceIndex(other, 1, 1, 2);
    bindTraceIndex(other, 2, 1, 2);
    appendNote(other, 0, 2, std::string("one"));
    appendNote(other, 0, 2, std::string("two"));
    appendNote(other, 0, 42, std::string("dropped"));
    setCompilerVersion(other, "v");
    EXPECT_STREQ(findNode(other, 0, 2)->name, "other suite");
    EXPECT_STREQ(findNode(other, 0, 2)->lastNote->text, "two");
    EXPECT_EQ(findNode(other, 0, 3)->parent, findNode(other, 0, 2));
    EXPECT_EQ(fileTreeCount(other), 2);
    EXPECT_STREQ(findNode(model, 0, 2)->name, "kept suite");
    EXPECT_EQ(findNode(model, 0, 3), nullptr);
  }
  TestNode* suite = findNode(model, 0, 2);
  ASSERT_NE(suite, nullptr);
  EXPECT_STREQ(suite->name, "kept suite");
  EXPECT_STREQ(suite->firstNote->text, "kept note");
  EXPECT_EQ(suite->parent, fileTreeAt(model, 0));
  EXPECT_STREQ(fileTreeAt(model, 0)->name, "kept");
  EXPECT_EQ(fileTreeCount(model), 1);
  EXPECT_STREQ(model.compilerVersion, "kept");
  EXPECT_EQ(takeText(driverPath(model, 0)), "");
}

}  // namespace
