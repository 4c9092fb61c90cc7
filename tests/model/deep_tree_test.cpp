// Trees far deeper than the call stack could follow: every walk, the
// settling, the counting and the release must go without recursion.
#include "tests/model_fixture.h"

namespace {

class DeepTreeTest : public ModelTest {
 protected:
  // Hangs a node under parent directly, in model memory so that the model
  // returns it; these tests are about depth, not about registration.
  TestNode* hang(TestNode* parent, int32_t kind, uint64_t id) {
    TestNode* node = static_cast<ModelNode*>(model.memory.alloc(sizeof(ModelNode)));
    node->kind = kind;
    node->objectId = id;
    node->name = model.memory.copyText("n");
    node->status = Passed;
    node->parent = parent;
    parent->firstChild = parent->lastChild = node;
    return node;
  }
};

void countNode(TestNode*, void* user) { ++*static_cast<int*>(user); }

TEST_F(DeepTreeTest, AMillionLevelsAreWalkedSettledCountedAndReleased) {
  const int depth = 1000000;
  addSymbolFile(model, 0, "deep.ots");
  TestNode* root = findNode(model, 0, 1);
  TestNode* top = hang(root, KindTestSuite, 2);
  top->linkId = 3;  // names the Stub at the bottom: relinking would close a cycle
  TestNode* node = top;
  for (int level = 3; level < depth - 1; ++level) node = hang(node, KindTestSuite, 1000 + level);
  TestNode* stub = hang(node, KindStub, 3);
  ASSERT_TRUE(model.nodes.add(stub));
  TestNode* leaf = hang(stub, KindTestCase, 4);
  leaf->status = Executed;

  int visited = 0;
  walkTree(root, countNode, &visited);
  EXPECT_EQ(visited, depth);
  computeStatuses(model);
  EXPECT_EQ(top->firstChild->kind, KindTestSuite);
  EXPECT_EQ(top->linkId, 3u);
  EXPECT_EQ(leaf->status, Passed);
  EXPECT_EQ(root->status, Passed);
  int32_t passed = 0, failed = 0, notExecuted = 0;
  countVerdicts(root, &passed, &failed, &notExecuted);
  EXPECT_EQ(passed, 2);  // the test case and the stub
  EXPECT_EQ(failed + notExecuted, 0);
}

// Built through the model's operations: counting at creation and outcome
// recording find the Class, Test Driver and check far above a node.
TEST_F(DeepTreeTest, CountersAboveADeepChainAreFound) {
  const uint64_t states = 20000;
  addSymbolFile(model, 0, "deep.ots");
  add(KindClass, 2, 1);
  for (uint64_t id = 3; id < 3 + states; ++id) add(KindState, id, id - 1);
  add(KindTestCase, 3 + states, 2 + states);
  recordOutcome(model, 0, 3 + states, Reached);
  EXPECT_EQ(classCountsOf(findNode(model, 0, 2))->states, static_cast<int32_t>(states));
  EXPECT_EQ(driverCountsOf(findNode(model, 0, 1))->testCases, 1);
  EXPECT_EQ(driverCountsOf(findNode(model, 0, 1))->classes, 1);
  EXPECT_EQ(checkCountsOf(findNode(model, 0, 2 + states))->executions, 1);
  computeStatuses(model);
  // Every State above the bottom one never ran.
  EXPECT_EQ(findNode(model, 0, 2)->status, NotExecuted);
  EXPECT_EQ(classCountsOf(findNode(model, 0, 2))->stateStatus, NotExecuted);
}

}  // namespace
