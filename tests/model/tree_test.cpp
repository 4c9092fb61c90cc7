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

char* newText(const char* text) { return strdup(text); }

using TreeTest = ModelTest;

TEST_F(TreeTest, RootIsNamedAfterTheFileUpToItsFirstDot) {
  addSymbolFile(0, "/tmp/dir.d/run.test.ots");
  addSymbolFile(1, "plain");
  TestNode* root = findNode(0, 1);
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->name, "run");
  EXPECT_STREQ(findNode(1, 1)->name, "plain");
  EXPECT_EQ(root->kind, KindTestDriver);
  EXPECT_EQ(root->line, 0);
  EXPECT_EQ(root->status, Passed);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(symbolFileList()->fileIndex, 1);
  EXPECT_EQ(symbolFileList()->next->root, root);
}

TEST_F(TreeTest, InitialStatusAndCountersFollowTheKind) {
  addSymbolFile(0, "a.ots");
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
  addSymbolFile(0, "a.ots");
  addSymbolFile(1, "b.ots");
  TestNode* first = add(KindTestSuite, 2, 1, "first");
  add(KindTestCase, 2, 1, "second");
  add(KindTestCase, 3, 2, "child");
  TestNode* other = add(KindTestSuite, 2, 1, "other file", 0, 1);
  EXPECT_EQ(findNode(0, 2), first);
  EXPECT_EQ(childNames(findNode(0, 1)), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(childNames(first), (std::vector<std::string>{"child"}));
  EXPECT_STREQ(other->name, "other file");
  appendNote(0, 2, newText("note"));
  EXPECT_STREQ(first->firstNote->text, "note");
  EXPECT_EQ(findNode(0, 1)->lastChild->firstNote, nullptr);
}

TEST_F(TreeTest, OrphansAreDroppedWithTheirSubtrees) {
  addSymbolFile(0, "a.ots");
  add(KindTestSuite, 2, 9);  // parent 9 comes later
  add(KindTestCase, 3, 2);
  add(KindTestSuite, 9, 1);
  EXPECT_EQ(findNode(0, 2), nullptr);
  EXPECT_EQ(findNode(0, 3), nullptr);
  EXPECT_EQ(findNode(0, 9)->firstChild, nullptr);
  EXPECT_EQ(driverCountsOf(findNode(0, 1))->testCases, 0);
  addChildNode(3, KindTestCase, 2, "no such file", 1, 0, 0);
  EXPECT_EQ(findNode(3, 2), nullptr);
}

TEST_F(TreeTest, TestDriverAndClassCountTheirNodes) {
  addSymbolFile(0, "a.ots");
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
  EXPECT_EQ(memcmp(driverCountsOf(findNode(0, 1)), &drivers, sizeof drivers), 0);
  ClassCounts outer = {1, 1, 1, 1, Executed, Passed, Executed, Executed, Executed};
  EXPECT_EQ(memcmp(classCountsOf(findNode(0, 10)), &outer, sizeof outer), 0);
  EXPECT_EQ(classCountsOf(findNode(0, 20))->states, 1);
}

TEST_F(TreeTest, TraceNumbersBindByChecksumPair) {
  addSymbolFile(0, "a.ots");
  addSymbolFile(1, "b.ots");
  addSymbolFile(2, "c.ots");
  setFileChecksum(0, 0x10, 0x20);
  setFileChecksum(1, 0x30, 0x40);
  setFileChecksum(2, 0x30, 0x40);  // same pair as file 1
  setDriverInfo(2, "dir/", "c.c", 5);
  bindTraceIndex(7, 0x10, 0x20);
  bindTraceIndex(8, 0x10, 0x20);  // the same pair again: an extra record
  bindTraceIndex(3, 0x30, 0x40);
  bindTraceIndex(4, 0x30, 0x40);  // binds file 2 again, never file 1
  bindTraceIndex(5, 0x30, 0x41);  // matches nothing
  EXPECT_EQ(fileIndexOfTrace(7), 0);
  EXPECT_EQ(fileIndexOfTrace(8), 0);
  EXPECT_EQ(fileIndexOfTrace(3), 2);
  EXPECT_EQ(fileIndexOfTrace(4), 2);
  EXPECT_EQ(fileIndexOfTrace(5), -1);
  EXPECT_EQ(fileIndexOfTrace(0), 1);  // 0 is also the unbound value
  EXPECT_EQ(fileTreeCount(), 3);
  const SymbolFileRecord* extra = symbolFileList();
  EXPECT_EQ(extra->root, nullptr);
  EXPECT_EQ(extra->driverValue, 5u);
  EXPECT_EQ(takeText(driverPath(2)), "dir/c.c");
}

TEST_F(TreeTest, TreesAndDriverPathsComeNewestFirst) {
  addSymbolFile(0, "first.ots");
  addSymbolFile(1, "second.ots");
  addSymbolFile(2, "third.ots");
  setDriverInfo(0, "d/", nullptr, 0);
  setDriverInfo(1, nullptr, "f.c", 0);
  setDriverInfo(2, "old/", "old.c", 0);
  setDriverInfo(2, "new/", nullptr, 0);  // replaces only the text given
  bindTraceIndex(1, 0, 0);
  bindTraceIndex(2, 0, 0);  // an extra record without a tree at the head
  EXPECT_EQ(fileTreeCount(), 3);
  EXPECT_STREQ(fileTreeAt(0)->name, "third");
  EXPECT_STREQ(fileTreeAt(2)->name, "first");
  EXPECT_EQ(fileTreeAt(3), nullptr);
  EXPECT_EQ(takeText(driverPathAt(0)), "new/old.c");
  EXPECT_EQ(takeText(driverPathAt(1)), "f.c");
  EXPECT_EQ(takeText(driverPathAt(2)), "d/");
  EXPECT_EQ(takeText(driverPathAt(3)), "(null)");
  EXPECT_EQ(takeText(driverPath(9)), "(null)");
  addSymbolFile(3, "bare.ots");
  EXPECT_EQ(takeText(driverPath(3)), "");
}

TEST_F(TreeTest, GlobalTextsKeepTheFirstValue) {
  EXPECT_EQ(compilerVersion(), nullptr);
  setCompilerVersion("1.0");
  setCompilerVersion("2.0");
  setCompilationTime("noon");
  EXPECT_STREQ(compilerVersion(), "1.0");
  EXPECT_STREQ(compilationTime(), "noon");
}

void recordName(TestNode* node, void* user) {
  static_cast<std::vector<std::string>*>(user)->push_back(node->name);
}

// Adds a sibling after the node named "grow", visited by walks that read the
// next sibling after the call.
void growAndRecord(TestNode* node, void* user) {
  if (strcmp(node->name, "grow") == 0) addChildNode(0, KindTestCase, 99, "grown", node->parent->objectId, 0, 0);
  recordName(node, user);
}

TEST_F(TreeTest, WalksVisitChildrenBeforeParentsAlongTheSiblingChain) {
  addSymbolFile(0, "a.ots");
  add(KindTestSuite, 2, 1, "s1");
  add(KindTestCase, 3, 2, "c1");
  add(KindCheckExpression, 4, 3, "k1");
  add(KindTestCase, 5, 2, "grow");
  add(KindTestSuite, 6, 1, "s2");
  add(KindTestCase, 7, 6, "c2");
  std::vector<std::string> order;
  walkTree(findNode(0, 1), recordName, &order);
  EXPECT_EQ(order, (std::vector<std::string>{"k1", "c1", "grow", "s1", "c2", "s2", "a"}));
  order.clear();
  walkTree(findNode(0, 3), growAndRecord, &order);  // c1 and its later siblings only
  EXPECT_EQ(order, (std::vector<std::string>{"k1", "c1", "grow", "grown"}));
  order.clear();
  forEachChild(findNode(0, 1), recordName, &order);
  EXPECT_EQ(order, (std::vector<std::string>{"s1", "s2"}));
}

TEST_F(TreeTest, ClassCollectionStopsAtCapacity) {
  addSymbolFile(0, "a.ots");
  add(KindClass, 2, 1, "A");
  add(KindTestSuite, 3, 1, "S");
  add(KindSingleClass, 4, 3, "B");
  add(KindClass, 5, 3, "C");
  TestNode slots[3] = {};
  slots[2].kind = -7;  // stands for memory past the list
  ClassNodeList list = {slots, 2, 0};
  walkTree(findNode(0, 1), collectClassNodes, &list);
  EXPECT_EQ(list.used, 2);
  EXPECT_STREQ(slots[0].name, "A");
  EXPECT_STREQ(slots[1].name, "B");
  EXPECT_EQ(slots[1].counts, findNode(0, 4)->counts);
  EXPECT_EQ(slots[2].kind, -7);
}

TEST_F(TreeTest, ReleaseFreesEverythingAndEmptiesTheModel) {
  addSymbolFile(0, "a.ots");
  add(KindTestSuite, 2, 1);
  add(KindTestCase, 2, 1);  // a duplicate, never in the table
  add(KindCheckExpression, 3, 2);
  addSymbolFile(0, "again.ots");  // a second root under a key that is taken
  setDriverInfo(0, "d", "f", 1);
  setFileChecksum(0, 1, 2);
  bindTraceIndex(1, 1, 2);
  bindTraceIndex(2, 1, 2);
  appendNote(0, 2, newText("one"));
  appendNote(0, 2, newText("two"));
  appendNote(0, 42, newText("dropped"));
  setCompilerVersion("v");
  setCompilationTime("t");
  EXPECT_STREQ(findNode(0, 2)->lastNote->text, "two");
  resetModel();  // also releases; the sanitizer build reports any leak
  EXPECT_EQ(symbolFileList(), nullptr);
  EXPECT_EQ(findNode(0, 2), nullptr);
  EXPECT_EQ(compilerVersion(), nullptr);
  EXPECT_EQ(fileTreeCount(), 0);
}

}  // namespace
