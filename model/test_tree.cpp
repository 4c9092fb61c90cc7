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
// which the model returns at once with the table and the file records.
#include "model/kinds.h"
#include "model/model_build.h"
#include "model/model_internal.h"
#include "model/model_report.h"

#include <cstring>

namespace {

// A zeroed record in model memory.
template <typename Record>
Record* newModelRecord(Model& model) {
  return static_cast<Record*>(model.memory.alloc(sizeof(Record)));
}

// Sets the initial status and counter record of a new node by its kind.
void initStatusAndCounts(Model& model, TestNode* node) {
  node->status = Passed;
  if (isCheckKind(node->kind)) {
    if (node->kind != KindObservationState) node->status = NotExecuted;
    node->counts = newModelRecord<CheckCounts>(model);
  } else if (isClassKind(node->kind)) {
    ClassCounts* counts = newModelRecord<ClassCounts>(model);
    counts->stateStatus = Executed;
    counts->stateChartStatus = Passed;
    counts->transitionStatus = Executed;
    counts->contractStatus = Executed;
    counts->invariantStatus = Executed;
    node->counts = counts;
  } else if (node->kind == KindTestDriver) {
    node->counts = newModelRecord<DriverCounts>(model);
  }
}

// Creates a node (with a copy of name), counts it in the Test Driver or
// Class above it and offers it to the table. The nearest Test Driver, Class
// and check node at or above each node are carried down at creation, so
// counting never walks up the tree.
ModelNode* createNode(Model& model, int32_t fileIndex, int32_t kind, uint64_t objectId,
                      const char* name, int32_t line, ModelNode* parent) {
  ModelNode* node = newModelRecord<ModelNode>(model);
  node->kind = kind;
  node->fileIndex = fileIndex;
  node->objectId = objectId;
  node->name = model.memory.copyText(name);
  node->line = line;
  node->parent = parent;
  initStatusAndCounts(model, node);
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
  if (kind == KindStub) model.stubs.push_back(node);
  model.nodes.add(node);  // a refused duplicate still stands in its tree
  return node;
}

void appendChild(TestNode* parent, TestNode* child) {
  if (parent->lastChild)
    parent->lastChild->nextSibling = child;
  else
    parent->firstChild = child;
  parent->lastChild = child;
}

void setOnce(Model& model, const char*& field, const char* text) {
  if (!field && text) field = model.memory.copyText(text);
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

TestNode* addRootNode(Model& model, int32_t fileIndex, const char* name) {
  return createNode(model, fileIndex, KindTestDriver, 1, name, 0, nullptr);
}

void addChildNode(Model& model, int32_t fileIndex, int32_t kind, uint64_t objectId,
                  const char* name, uint64_t parentId, int32_t line, uint64_t linkId) {
  TestNode* parent = findNode(model, fileIndex, parentId);
  if (!parent) return;  // dropped, and with it everything that would hang below
  ModelNode* node =
      createNode(model, fileIndex, kind, objectId, name ? name : "", line, modelNode(parent));
  appendChild(parent, node);
  node->linkId = linkId;
  if (linkId != 0) model.linked = true;
}

void appendNote(Model& model, int32_t fileIndex, uint64_t objectId, const std::string& text) {
  TestNode* node = findNode(model, fileIndex, objectId);
  if (!node) return;
  NoteText* note = newModelRecord<NoteText>(model);
  char* copy = static_cast<char*>(model.memory.alloc(text.size() + 1));
  memcpy(copy, text.data(), text.size());  // zeroed memory ends it
  note->text = copy;
  note->length = text.size();
  if (node->lastNote)
    node->lastNote->next = note;
  else
    node->firstNote = note;
  node->lastNote = note;
}

void setCompilerVersion(Model& model, const char* text) {
  setOnce(model, model.compilerVersion, text);
}
void setCompilationTime(Model& model, const char* text) {
  setOnce(model, model.compilationTime, text);
}

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
