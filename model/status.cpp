// Status rules: outcomes from the trace file, the settling of every status
// after both readers, and the verdict totals of the report.
//
//   Suite            Failed   <- combined from its children
//     case           Failed   <- combined from its checks
//       check        Failed   <- 3 passed, 1 failed verdict: executions 4
//       check        Passed   <- reached twice without verdict
#include "model/status.h"

#include "model/kinds.h"
#include "model/model_internal.h"
#include "model/model_report.h"

namespace {

void settleCheck(TestNode* node) {
  CheckCounts* counts = checkCountsOf(node);
  bool hasCheckChild = false;
  if (node->kind != KindCheckException) {
    for (const TestNode* child = node->firstChild; child; child = child->nextSibling) {
      const CheckCounts* childCounts = checkCountsOf(child);
      if (!childCounts) continue;
      hasCheckChild = true;
      counts->passed += childCounts->passed;
      counts->failed += childCounts->failed;
      counts->executions = counts->passed + counts->failed;
      node->status = combineStatus(node->status, child->status);
    }
  }
  if (hasCheckChild) return;
  if (counts->failed > 0)
    node->status = Failed;
  else if (counts->passed > 0 || counts->executions > 0)
    node->status = Passed;
  if (counts->passed != 0 || counts->failed != 0) counts->executions = counts->passed + counts->failed;
}

void settleLeaf(TestNode* node) {
  if (node->status == Executed)
    node->status = Passed;
  else if (needsExecution(node->kind) && node->status == Passed)
    node->status = NotExecuted;  // never reached
}

// Folds a settled node into its parent, and into the class record when the
// parent is a Class or Single Class.
void foldIntoParent(const TestNode* node, TestNode* parent) {
  int32_t combined = combineStatus(node->status, parent->status);
  parent->status = combined;
  ClassCounts* classCounts = classCountsOf(parent);
  if (!classCounts) return;
  if (node->kind == KindState || node->kind == KindObservationState) {
    const CheckCounts* counts = checkCountsOf(node);
    if (counts->multipleExits > 0 || counts->illegalExits > 0) classCounts->stateChartStatus = Failed;
    classCounts->stateStatus = combineStatus(node->status, classCounts->stateStatus);
    parent->status = combineStatus(classCounts->stateStatus,
                                   combineStatus(classCounts->stateChartStatus, combined));
    return;
  }
  if (int32_t ClassCounts::*part = classPartStatusOf(node->kind)) {
    classCounts->*part = combineStatus(node->status, classCounts->*part);
    parent->status = combineStatus(classCounts->*part, combined);
  }
}

// Called bottom-up, so every child is settled before its parent.
void propagateStatus(TestNode* node, void*) {
  if (isCheckKind(node->kind))
    settleCheck(node);
  else if (!node->firstChild)
    settleLeaf(node);
  if (node->parent) foldIntoParent(node, node->parent);
}

struct VerdictCounters {
  int32_t* passed;
  int32_t* failed;
  int32_t* notExecuted;
};

void addVerdict(int32_t status, const VerdictCounters& counters) {
  if (status == Passed)
    ++*counters.passed;
  else if (status == Failed)
    ++*counters.failed;
  else if (status == NotExecuted)
    ++*counters.notExecuted;
}

// The kinds whose verdicts count; each speaks for everything below it.
bool countsVerdict(int32_t kind) {
  return kind == KindTestCase || kind == KindProc || kind == KindStub || isClassKind(kind);
}

void countNode(const TestNode* node, const VerdictCounters& counters) {
  switch (node->kind) {
    case KindTestCase:
    case KindProc:
      addVerdict(node->status, counters);
      break;
    case KindStub:
      // A stub that was never called counts as passed.
      if (node->status == Failed)
        ++*counters.failed;
      else if (node->status == Passed || node->status == NotExecuted)
        ++*counters.passed;
      break;
    case KindClass:
    case KindSingleClass: {
      const ClassCounts* counts = classCountsOf(node);
      if (counts->contracts) addVerdict(counts->contractStatus, counters);
      if (counts->invariants) addVerdict(counts->invariantStatus, counters);
      if (counts->states) addVerdict(counts->stateStatus, counters);
      if (counts->stateChartStatus == Failed) ++*counters.failed;
      if (counts->transitions) addVerdict(counts->transitionStatus, counters);
      break;
    }
    default:
      // A failed check that nothing above counts would be lost: it fails on
      // its own, once for the checks below it that failed with it.
      if (isCheckKind(node->kind) && node->status == Failed) ++*counters.failed;
      break;
  }
}

}  // namespace

int32_t combineStatus(int32_t a, int32_t b) {
  if (a == Failed || b == Failed) return Failed;
  if (a == NotExecuted || b == NotExecuted) return NotExecuted;
  if (a == Passed || b == Passed) return Passed;
  return Executed;
}

void recordOutcome(Model& model, int32_t fileIndex, uint64_t objectId, int32_t outcome) {
  TestNode* node = findNode(model, fileIndex, objectId);
  if (!node) return;
  if (outcome == Reached)
    node->status = Executed;
  else if (outcome == VerdictFailed)
    node->status = Failed;
  if (node->parent) node->parent->status = Executed;
  // The check at or above the node takes the outcome in its counters; its own
  // status only says that it ran.
  TestNode* check = modelNode(node)->checkAbove;
  if (!check) return;
  check->status = Executed;
  CheckCounts* counts = checkCountsOf(check);
  switch (outcome) {
    case Reached: ++counts->executions; break;
    case VerdictFailed: ++counts->failed; break;
    case VerdictPassed: ++counts->passed; break;
    case IllegalExit: ++counts->illegalExits; break;
    case MultipleExit: ++counts->multipleExits; break;
    default: break;
  }
}

void computeStatuses(Model& model) {
  relinkStubs(model);
  for (int n = 0; n < fileTreeCount(model); ++n)
    walkTree(fileTreeAt(model, n), propagateStatus, nullptr);
}

// Pre-order without recursion, climbing through parent once a sibling chain
// ends; depth counts the levels below the starting chain. Below a node that
// counts (or a failed check that counted) nothing counts on its own, so the
// depth of the highest such node on the way down is kept.
void countVerdicts(const TestNode* node, int32_t* passed, int32_t* failed, int32_t* notExecuted) {
  constexpr size_t kNone = SIZE_MAX;
  const VerdictCounters counters = {passed, failed, notExecuted};
  size_t depth = 0;
  size_t coveredBelow = kNone;  // depth of the node that speaks for those below it
  while (node) {
    const bool covered = coveredBelow != kNone;
    if (!covered || countsVerdict(node->kind)) countNode(node, counters);
    if (node->firstChild) {
      if (!covered && (countsVerdict(node->kind) || (isCheckKind(node->kind) && node->status == Failed)))
        coveredBelow = depth;
      node = node->firstChild;
      ++depth;
      continue;
    }
    while (!node->nextSibling) {
      if (depth == 0) return;
      node = node->parent;
      --depth;
    }
    if (coveredBelow != kNone && coveredBelow >= depth) coveredBelow = kNone;
    node = node->nextSibling;
  }
}
