// Status rules: outcomes from the trace file, the settling of every status
// after both readers, and the verdict totals of the report.
//
//   Suite            Failed   <- combined from its children
//     case           Failed   <- combined from its checks
//       check        Failed   <- 3 passed, 1 failed verdict: executions 4
//       check        Passed   <- reached twice without verdict
#include "model/kinds.h"
#include "model/model.h"
#include "model/model_memory.h"

#include <cstring>
#include <unordered_map>

namespace {

// The first Stub found under the node's linkId, trying every file tree in
// list order; null if there is none.
TestNode* findLinkTarget(const TestNode* node) {
  for (SymbolFileRecord* record = symbolFileList(); record; record = record->next) {
    if (!record->root) continue;
    TestNode* target = findNode(record->fileIndex, node->linkId);
    if (target && target->kind == KindStub) return target;
  }
  return nullptr;
}

// True when node is ancestor itself or lies below it. Cost: the depth of node.
bool liesWithin(const TestNode* node, const TestNode* ancestor) {
  for (; node; node = node->parent)
    if (node == ancestor) return true;
  return false;
}

// Names of relinked children. Every move puts the name of the moving node's
// parent in front, so children passed along a chain of stubs would gain one
// prefix per stub: names, and the time and memory to build them, would grow
// with the square of the chain. A composed name therefore keeps at most two
// names as read and the separator; a prefix that would pass that is not
// added. A name composed a second time gets a block of that size, rewritten
// in place from then on, so the replaced names left in model memory stay
// within one per node.
constexpr size_t kComposedNameLimit = 2 * 1985 + 3;
const char kSeparator[] = " / ";
constexpr size_t kSeparatorLength = sizeof kSeparator - 1;

struct ComposedName {
  size_t length;
  bool inFullBlock;
};

struct RelinkState {
  std::unordered_map<const TestNode*, ComposedName> composed;
};

// prefix + " / " + the old name, replacing the old name.
void prefixName(TestNode* node, const char* prefix, size_t prefixLength, RelinkState& state) {
  auto known = state.composed.find(node);
  size_t nameLength = known != state.composed.end() ? known->second.length : strlen(node->name);
  size_t length = prefixLength + kSeparatorLength + nameLength;
  if (length > kComposedNameLimit) return;
  char* name = node->name;
  if (known == state.composed.end()) {
    name = static_cast<char*>(modelAlloc(length + 1));
    memcpy(name + prefixLength + kSeparatorLength, node->name, nameLength + 1);
    state.composed.emplace(node, ComposedName{length, false});
  } else {
    if (!known->second.inFullBlock) {
      name = static_cast<char*>(modelAlloc(kComposedNameLimit + 1));
      known->second.inFullBlock = true;
    }
    memmove(name + prefixLength + kSeparatorLength, node->name, nameLength + 1);
    known->second.length = length;
  }
  memcpy(name, prefix, prefixLength);
  memcpy(name + prefixLength, kSeparator, kSeparatorLength);
  node->name = name;
}

// A node with a linkId hands its children to that Stub, named after the
// node's parent. A Stub that is the node itself or lies below it would close
// a cycle, so then the node keeps its children and its linkId. The children
// have been walked already; the node's own next sibling is untouched.
void relinkStubs(TestNode* node, void* user) {
  if (node->linkId == 0 || !node->firstChild) return;
  TestNode* target = findLinkTarget(node);
  if (!target || liesWithin(target, node)) return;
  const char* prefix = node->parent ? node->parent->name : nullptr;
  size_t prefixLength = prefix ? strlen(prefix) : 0;
  for (TestNode* child = node->firstChild; child; child = child->nextSibling) {
    child->parent = target;
    if (prefix) prefixName(child, prefix, prefixLength, *static_cast<RelinkState*>(user));
  }
  if (target->lastChild)
    target->lastChild->nextSibling = node->firstChild;
  else
    target->firstChild = node->firstChild;
  target->lastChild = node->lastChild;
  node->firstChild = nullptr;
  node->lastChild = nullptr;
  node->linkId = 0;
}

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
  int32_t* partStatus = nullptr;
  switch (node->kind) {
    case KindInvariant: partStatus = &classCounts->invariantStatus; break;
    case KindTransition: partStatus = &classCounts->transitionStatus; break;
    case KindMethodContract: partStatus = &classCounts->contractStatus; break;
    case KindState:
    case KindObservationState: {
      const CheckCounts* counts = checkCountsOf(node);
      if (counts->multipleExits > 0 || counts->illegalExits > 0) classCounts->stateChartStatus = Failed;
      classCounts->stateStatus = combineStatus(node->status, classCounts->stateStatus);
      parent->status = combineStatus(classCounts->stateStatus,
                                     combineStatus(classCounts->stateChartStatus, combined));
      return;
    }
    default: return;
  }
  *partStatus = combineStatus(node->status, *partStatus);
  parent->status = combineStatus(*partStatus, combined);
}

// Called bottom-up, so every child is settled before its parent.
void propagateStatus(TestNode* node, void*) {
  if (isCheckKind(node->kind))
    settleCheck(node);
  else if (!node->firstChild)
    settleLeaf(node);
  if (node->parent) foldIntoParent(node, node->parent);
}

void addVerdict(int32_t status, int32_t* passed, int32_t* failed, int32_t* notExecuted) {
  if (status == Passed)
    ++*passed;
  else if (status == Failed)
    ++*failed;
  else if (status == NotExecuted)
    ++*notExecuted;
}

void countNode(const TestNode* node, int32_t* passed, int32_t* failed, int32_t* notExecuted) {
  switch (node->kind) {
    case KindTestCase:
    case KindProc:
      addVerdict(node->status, passed, failed, notExecuted);
      break;
    case KindStub:
      // A stub that was never called counts as passed.
      if (node->status == Failed)
        ++*failed;
      else if (node->status == Passed || node->status == NotExecuted)
        ++*passed;
      break;
    case KindClass:
    case KindSingleClass: {
      const ClassCounts* counts = classCountsOf(node);
      if (counts->contracts) addVerdict(counts->contractStatus, passed, failed, notExecuted);
      if (counts->invariants) addVerdict(counts->invariantStatus, passed, failed, notExecuted);
      if (counts->states) addVerdict(counts->stateStatus, passed, failed, notExecuted);
      if (counts->stateChartStatus == Failed) ++*failed;
      if (counts->transitions) addVerdict(counts->transitionStatus, passed, failed, notExecuted);
      break;
    }
    default: break;
  }
}

}  // namespace

int32_t combineStatus(int32_t a, int32_t b) {
  if (a == Failed || b == Failed) return Failed;
  if (a == NotExecuted || b == NotExecuted) return NotExecuted;
  if (a == Passed || b == Passed) return Passed;
  return Executed;
}

void recordOutcome(int32_t fileIndex, uint64_t objectId, int32_t outcome) {
  TestNode* node = findNode(fileIndex, objectId);
  if (!node) return;
  if (outcome == Reached)
    node->status = Executed;
  else if (outcome == VerdictFailed)
    node->status = Failed;
  if (node->parent) node->parent->status = Executed;
  // The check at or above the node takes the outcome in its counters; its own
  // status only says that it ran.
  TestNode* check = node->checkAbove;
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

void computeStatuses() {
  RelinkState relinkState;
  for (SymbolFileRecord* record = symbolFileList(); record; record = record->next)
    if (record->root) walkTree(record->root, relinkStubs, &relinkState);
  for (SymbolFileRecord* record = symbolFileList(); record; record = record->next)
    if (record->root) walkTree(record->root, propagateStatus, nullptr);
}

// Pre-order without recursion, climbing through parent once a sibling chain
// ends; depth counts the levels below the starting chain.
void countVerdicts(const TestNode* node, int32_t* passed, int32_t* failed, int32_t* notExecuted) {
  size_t depth = 0;
  while (node) {
    countNode(node, passed, failed, notExecuted);
    if (node->firstChild) {
      node = node->firstChild;
      ++depth;
      continue;
    }
    while (!node->nextSibling) {
      if (depth == 0) return;
      node = node->parent;
      --depth;
    }
    node = node->nextSibling;
  }
}
