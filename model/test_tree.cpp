// The test object tree: one tree per symbol file, its root a Test Driver
// named after the file, and the walks over it.
//
//   tree of file 0:    run (Test Driver, from "dir/run.ots")
//                        Suite (Test Suite)
//                          case (Test Case)
//                            check (Check Expression)
//
// Every node is created here, entered in the node table and hung in exactly
// one tree. Nodes, names, counter records and notes live in model memory,
// which releaseModel returns at once with the table and the file records.
#include "model/kinds.h"
#include "model/model_build.h"
#include "model/model_internal.h"
#include "model/model_memory.h"
#include "model/model_report.h"
#include "model/node_table.h"

#include <cstdlib>

namespace {

char* compilerVersionText;
char* compilationTimeText;
std::vector<ModelNode*> stubs;
bool linked;

// A zeroed record in model memory.
template <typename Record>
Record* newModelRecord() {
  return static_cast<Record*>(modelAlloc(sizeof(Record)));
}

// Sets the initial status and counter record of a new node by its kind.
void initStatusAndCounts(TestNode* node) {
  node->status = Passed;
  if (isCheckKind(node->kind)) {
    if (node->kind != KindObservationState) node->status = NotExecuted;
    node->counts = newModelRecord<CheckCounts>();
  } else if (isClassKind(node->kind)) {
    ClassCounts* counts = newModelRecord<ClassCounts>();
    counts->stateStatus = Executed;
    counts->stateChartStatus = Passed;
    counts->transitionStatus = Executed;
    counts->contractStatus = Executed;
    counts->invariantStatus = Executed;
    node->counts = counts;
  } else if (node->kind == KindTestDriver) {
    node->counts = newModelRecord<DriverCounts>();
  }
}

// Creates a node (with a copy of name), counts it in the Test Driver or
// Class above it and offers it to the table. The nearest Test Driver, Class
// and check node at or above each node are carried down at creation, so
// counting never walks up the tree.
ModelNode* createNode(int32_t fileIndex, int32_t kind, uint64_t objectId, const char* name,
                      int32_t line, ModelNode* parent) {
  ModelNode* node = newModelRecord<ModelNode>();
  node->kind = kind;
  node->fileIndex = fileIndex;
  node->objectId = objectId;
  node->name = modelCopyText(name);
  node->line = line;
  node->parent = parent;
  initStatusAndCounts(node);
  node->driverAbove = kind == KindTestDriver ? node : parent ? parent->driverAbove : nullptr;
  node->classAbove = isClassKind(kind) ? node : parent ? parent->classAbove : nullptr;
  node->checkAbove = isCheckKind(kind) ? node : parent ? parent->checkAbove : nullptr;

  if (parent) {
    int32_t DriverCounts::*driverCounter = driverCounterOf(kind);
    int32_t ClassCounts::*classCounter = classCounterOf(kind);
    if (driverCounter && parent->driverAbove)
      ++(driverCountsOf(parent->driverAbove)->*driverCounter);
    else if (classCounter && parent->classAbove)
      ++(classCountsOf(parent->classAbove)->*classCounter);
  }
  if (kind == KindStub) stubs.push_back(node);
  registerNode(node);  // a refused duplicate still stands in its tree
  return node;
}

void appendChild(TestNode* parent, TestNode* child) {
  if (parent->lastChild)
    parent->lastChild->nextSibling = child;
  else
    parent->firstChild = child;
  parent->lastChild = child;
}

void setOnce(char*& global, const char* text) {
  if (!global && text) global = modelCopyText(text);
}

}  // namespace

CheckCounts* checkCountsOf(const TestNode* node) {
  return isCheckKind(node->kind) ? static_cast<CheckCounts*>(node->counts) : nullptr;
}

ClassCounts* classCountsOf(const TestNode* node) {
  return isClassKind(node->kind) ? static_cast<ClassCounts*>(node->counts) : nullptr;
}

DriverCounts* driverCountsOf(const TestNode* node) {
  return node->kind == KindTestDriver ? static_cast<DriverCounts*>(node->counts) : nullptr;
}

const char* compilerVersion() { return compilerVersionText; }
const char* compilationTime() { return compilationTimeText; }
const std::vector<ModelNode*>& stubNodes() { return stubs; }
bool anyLinks() { return linked; }

void resetModel() { releaseModel(); }

TestNode* addRootNode(int32_t fileIndex, const char* name) {
  return createNode(fileIndex, KindTestDriver, 1, name, 0, nullptr);
}

void addChildNode(int32_t fileIndex, int32_t kind, uint64_t objectId, const char* name,
                  uint64_t parentId, int32_t line, uint64_t linkId) {
  TestNode* parent = findNode(fileIndex, parentId);
  if (!parent) return;  // dropped, and with it everything that would hang below
  ModelNode* node = createNode(fileIndex, kind, objectId, name ? name : "", line, modelNode(parent));
  appendChild(parent, node);
  node->linkId = linkId;
  if (linkId != 0) linked = true;
}

void appendNote(int32_t fileIndex, uint64_t objectId, char* text) {
  TestNode* node = findNode(fileIndex, objectId);
  if (!node || !text) {
    free(text);
    return;
  }
  NoteText* note = newModelRecord<NoteText>();
  note->text = modelCopyText(text);
  free(text);
  if (node->lastNote)
    node->lastNote->next = note;
  else
    node->firstNote = note;
  node->lastNote = note;
}

void setCompilerVersion(const char* text) { setOnce(compilerVersionText, text); }
void setCompilationTime(const char* text) { setOnce(compilationTimeText, text); }

// Post-order without recursion: descend along first children, visit, then go
// on with the next sibling (read after the call) or climb back to the parent,
// whose children are then all visited. depth counts the levels below the
// starting chain so the climb stops there.
void walkTree(TestNode* node, NodeFunction function, void* user) {
  size_t depth = 0;
  while (node) {
    for (; node->firstChild; node = node->firstChild) ++depth;
    for (;;) {
      function(node, user);
      if (node->nextSibling) {
        node = node->nextSibling;
        break;
      }
      if (depth == 0) return;
      node = node->parent;
      --depth;
    }
  }
}

void forEachChild(TestNode* node, NodeFunction function, void* user) {
  for (TestNode* child = node->firstChild; child;) {
    function(child, user);
    child = child->nextSibling;
  }
}

void collectClassNodes(TestNode* node, void* user) {
  ClassNodeList* list = static_cast<ClassNodeList*>(user);
  if (isClassKind(node->kind) && list->used < list->capacity) list->slots[list->used++] = *node;
}

void releaseModel() {
  releaseSymbolFiles();
  stubs.clear();
  linked = false;
  releaseNodeTable();
  releaseModelMemory();
  compilerVersionText = nullptr;
  compilationTimeText = nullptr;
}
