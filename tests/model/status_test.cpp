#include "tests/model_fixture.h"

namespace {

using StatusTest = ModelTest;

TEST(CombineStatusTest, FailedThenNotExecutedThenPassedWin) {
  const int32_t table[4][4] = {
      {0, 0, 2, 0},
      {0, 1, 2, 3},
      {2, 2, 2, 2},
      {0, 3, 2, 3},
  };
  for (int32_t a = 0; a < 4; ++a)
    for (int32_t b = 0; b < 4; ++b) EXPECT_EQ(combineStatus(a, b), table[a][b]) << a << ',' << b;
}

TEST_F(StatusTest, OutcomesMarkTheNodeItsParentAndTheCheckAboveIt) {
  addSymbolFile(model, 0, "a.ots");
  TestNode* suite = add(KindTestSuite, 2, 1);
  TestNode* testCase = add(KindTestCase, 3, 2);
  TestNode* check = add(KindCheckMethod, 4, 3);
  TestNode* expression = add(KindExpression, 5, 4);
  recordOutcome(model, 0, 3, Reached);
  EXPECT_EQ(testCase->status, Executed);
  EXPECT_EQ(suite->status, Executed);
  recordOutcome(model, 0, 4, VerdictFailed);  // a check keeps its verdict in the counters
  recordOutcome(model, 0, 5, VerdictPassed);  // counted by the check above the expression
  recordOutcome(model, 0, 5, IllegalExit);
  recordOutcome(model, 0, 5, MultipleExit);
  recordOutcome(model, 0, 5, Reached);
  recordOutcome(model, 0, 77, VerdictFailed);  // no such node
  EXPECT_EQ(check->status, Executed);
  EXPECT_EQ(expression->status, Executed);
  CheckCounts expected = {1, 1, 1, 1, 1};
  EXPECT_EQ(memcmp(checkCountsOf(check), &expected, sizeof expected), 0);
}

TEST_F(StatusTest, LeavesSettleByKindAndReach) {
  addSymbolFile(model, 0, "a.ots");
  TestNode* unreached = add(KindTestCase, 2, 1);
  TestNode* prologue = add(KindPrologue, 3, 1);
  TestNode* proc = add(KindProc, 4, 1);
  TestNode* stub = add(KindStub, 5, 1);
  TestNode* reached = add(KindTestCase, 6, 1);
  TestNode* reachedPrologue = add(KindPrologue, 7, 1);
  recordOutcome(model, 0, 6, Reached);
  recordOutcome(model, 0, 7, Reached);
  computeStatuses(model);
  EXPECT_EQ(unreached->status, NotExecuted);
  EXPECT_EQ(prologue->status, Passed);
  EXPECT_EQ(proc->status, NotExecuted);
  EXPECT_EQ(stub->status, NotExecuted);
  EXPECT_EQ(reached->status, Passed);
  EXPECT_EQ(reachedPrologue->status, Passed);
  EXPECT_EQ(findNode(model, 0, 1)->status, NotExecuted);
}

TEST_F(StatusTest, ChecksSettleFromTheirCounters) {
  addSymbolFile(model, 0, "a.ots");
  add(KindTestCase, 2, 1);
  TestNode* mixed = add(KindCheckExpression, 3, 2);
  TestNode* reachedOnly = add(KindCheckExpression, 4, 2);
  TestNode* never = add(KindCheckProperty, 5, 2);
  TestNode* method = add(KindCheckMethod, 6, 2);
  add(KindCheckExpression, 7, 6);
  add(KindExpression, 8, 6);  // not a check: ignored in the sums
  add(KindCheckExpression, 9, 6);
  TestNode* exception = add(KindCheckException, 10, 2);
  add(KindCheckExpression, 11, 10);
  for (int i = 0; i < 3; ++i) recordOutcome(model, 0, 3, VerdictPassed);
  recordOutcome(model, 0, 3, VerdictFailed);
  recordOutcome(model, 0, 4, Reached);
  recordOutcome(model, 0, 4, Reached);
  recordOutcome(model, 0, 6, Reached);
  recordOutcome(model, 0, 7, VerdictPassed);
  recordOutcome(model, 0, 9, VerdictPassed);
  recordOutcome(model, 0, 9, VerdictFailed);
  recordOutcome(model, 0, 10, VerdictPassed);
  recordOutcome(model, 0, 11, VerdictFailed);  // an exception check ignores its checks
  computeStatuses(model);
  EXPECT_EQ(mixed->status, Failed);
  EXPECT_EQ(checkCountsOf(mixed)->executions, 4);
  EXPECT_EQ(reachedOnly->status, Passed);
  EXPECT_EQ(checkCountsOf(reachedOnly)->executions, 2);
  EXPECT_EQ(never->status, NotExecuted);
  EXPECT_EQ(method->status, Failed);
  CheckCounts methodCounts = {3, 2, 1, 0, 0};
  EXPECT_EQ(memcmp(checkCountsOf(method), &methodCounts, sizeof methodCounts), 0);
  EXPECT_EQ(exception->status, Passed);
  EXPECT_EQ(checkCountsOf(exception)->failed, 0);
  EXPECT_EQ(findNode(model, 0, 2)->status, Failed);
}

TEST_F(StatusTest, ClassPartsSettleTheClass) {
  addSymbolFile(model, 0, "a.ots");
  TestNode* charted = add(KindClass, 2, 1);
  add(KindState, 3, 2);
  add(KindObservationState, 4, 2);
  add(KindMethodContract, 5, 2);
  TestNode* clean = add(KindSingleClass, 6, 1);
  add(KindInvariant, 7, 6);
  add(KindTransition, 8, 6);
  recordOutcome(model, 0, 3, VerdictPassed);
  recordOutcome(model, 0, 3, IllegalExit);
  recordOutcome(model, 0, 7, VerdictPassed);
  recordOutcome(model, 0, 8, VerdictPassed);
  computeStatuses(model);
  const ClassCounts* counts = classCountsOf(charted);
  EXPECT_EQ(counts->stateChartStatus, Failed);
  EXPECT_EQ(counts->stateStatus, Passed);
  EXPECT_EQ(counts->contractStatus, Passed);  // the contract leaf never ran but is no check
  EXPECT_EQ(charted->status, Failed);
  counts = classCountsOf(clean);
  EXPECT_EQ(counts->invariantStatus, Passed);
  EXPECT_EQ(counts->transitionStatus, Passed);
  EXPECT_EQ(counts->stateChartStatus, Passed);
  EXPECT_EQ(clean->status, Passed);
}

TEST_F(StatusTest, LinkedChildrenMoveToTheStubOfTheNewestFile) {
  addSymbolFile(model, 0, "a.ots");
  add(KindTestSuite, 2, 1, "Suite");
  TestNode* linking = add(KindTestCase, 3, 2, "case", 7);
  TestNode* check = add(KindCheckExpression, 4, 3, "check");
  add(KindCheckExpression, 5, 3, "other");
  TestNode* olderStub = add(KindStub, 7, 1, "old stub");
  addSymbolFile(model, 1, "b.ots");
  TestNode* stub = add(KindStub, 7, 1, "stub", 0, 1);
  add(KindCheckExpression, 8, 7, "own", 0, 1);
  TestNode* notAStub = add(KindTestCase, 9, 2, "by a case", 0x12);
  add(KindTestCase, 10, 9, "stays");
  add(KindTestSuite, 0x12, 1);
  recordOutcome(model, 0, 4, VerdictFailed);
  computeStatuses(model);
  EXPECT_EQ(childNames(stub), (std::vector<std::string>{"own", "Suite / check", "Suite / other"}));
  EXPECT_EQ(check->parent, stub);
  EXPECT_EQ(stub->lastChild->objectId, 5u);
  EXPECT_EQ(linking->firstChild, nullptr);
  EXPECT_EQ(linking->linkId, 0u);
  EXPECT_EQ(linking->status, Passed);  // reached through the check it gave away
  EXPECT_EQ(stub->status, Failed);
  EXPECT_EQ(olderStub->firstChild, nullptr);
  EXPECT_EQ(childNames(notAStub), (std::vector<std::string>{"stays"}));
  EXPECT_EQ(notAStub->linkId, 0x12u);
}

TEST_F(StatusTest, RelinkingNeverClosesACycle) {
  addSymbolFile(model, 0, "a.ots");
  TestNode* self = add(KindStub, 2, 1, "self", 2);
  add(KindTestCase, 3, 2, "kept");
  TestNode* outer = add(KindTestCase, 4, 1, "outer", 6);
  add(KindTestSuite, 5, 4, "middle");
  TestNode* inner = add(KindStub, 6, 5, "inner");
  add(KindCheckExpression, 7, 6, "deep");
  computeStatuses(model);
  EXPECT_EQ(childNames(self), (std::vector<std::string>{"kept"}));
  EXPECT_EQ(self->linkId, 2u);
  EXPECT_EQ(childNames(outer), (std::vector<std::string>{"middle"}));
  EXPECT_EQ(outer->linkId, 6u);
  EXPECT_EQ(childNames(inner), (std::vector<std::string>{"deep"}));
}

TEST_F(StatusTest, ChildrenMovedUpToAnAncestorStubAreWalkedAndSettled) {
  addSymbolFile(model, 0, "a.ots");
  TestNode* stub = add(KindStub, 2, 1, "Stub");
  TestNode* linking = add(KindTestSuite, 3, 2, "Suite", 2);
  add(KindTestCase, 4, 3, "case");
  add(KindTestCase, 5, 4, "inner");
  recordOutcome(model, 0, 5, Reached);
  computeStatuses(model);
  EXPECT_EQ(childNames(stub), (std::vector<std::string>{"Suite", "Stub / case"}));
  EXPECT_EQ(childNames(findNode(model, 0, 4)), (std::vector<std::string>{"inner"}));
  EXPECT_EQ(linking->firstChild, nullptr);
  EXPECT_EQ(linking->status, Passed);  // a suite leaf keeps Passed
  EXPECT_EQ(stub->status, Passed);
}

TEST_F(StatusTest, VerdictsCountByKind) {
  addSymbolFile(model, 0, "a.ots");
  add(KindTestSuite, 2, 1);
  const int32_t caseStatuses[] = {Passed, Failed, NotExecuted, Executed};
  for (uint64_t i = 0; i < 4; ++i) add(KindTestCase, 10 + i, 2)->status = caseStatuses[i];
  add(KindProc, 20, 10)->status = Failed;  // below a test case: still counted
  add(KindStub, 21, 2)->status = NotExecuted;  // never called: passed
  add(KindStub, 22, 2)->status = Failed;
  add(KindStub, 23, 2)->status = Executed;
  add(KindTestSuite, 24, 2)->status = Failed;  // other kinds add nothing
  TestNode* classNode = add(KindClass, 30, 1);
  add(KindMethodContract, 31, 30);
  add(KindInvariant, 32, 30);
  add(KindState, 33, 30);
  add(KindTransition, 34, 30);
  ClassCounts* counts = classCountsOf(classNode);
  counts->contractStatus = Passed;
  counts->invariantStatus = NotExecuted;
  counts->stateStatus = Executed;
  counts->stateChartStatus = Failed;
  counts->transitionStatus = Failed;
  add(KindSingleClass, 40, 1);  // no parts: counts nothing
  int32_t passed = 0, failed = 0, notExecuted = 0;
  countVerdicts(findNode(model, 0, 1), &passed, &failed, &notExecuted);
  EXPECT_EQ(passed, 1 + 1 + 1);
  EXPECT_EQ(failed, 2 + 1 + 2);
  EXPECT_EQ(notExecuted, 1 + 1);
  passed = failed = notExecuted = 0;
  // Itself and its later siblings.
  countVerdicts(findNode(model, 0, 12), &passed, &failed, &notExecuted);
  EXPECT_EQ(passed, 1);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(notExecuted, 1);
}

}  // namespace
