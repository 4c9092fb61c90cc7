// The test object tree: one tree per symbol file, its root a Test Driver
// named after the file, the file records newest first, and the walks.
//
//   symbol file list:  record of file 1 -> record of file 0
//   tree of file 0:    run (Test Driver, from "dir/run.ots")
//                        Suite (Test Suite)
//                          case (Test Case)
//                            check (Check Expression)
//
// Every node is created here, entered in the node table and hung in exactly
// one tree. Nodes, names, counter records and notes live in model memory,
// which releaseModel returns at once with the table and the records.
#include "model/kinds.h"
#include "model/model.h"
#include "model/model_memory.h"
#include "model/node_table.h"
#include "support/runtime.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

SymbolFileRecord* fileList;
// The first record (list order) of each file index below kIndexedFiles:
// driverPath is asked once per trace line and class member row, and a walk
// of the list there would cost the number of symbol files each time.
constexpr int32_t kIndexedFiles = 1 << 16;
std::vector<SymbolFileRecord*> firstRecordByFile;
char* compilerVersionText;
char* compilationTimeText;

char* copyText(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(checkedMalloc(size));
  memcpy(copy, text, size);
  return copy;
}

char* copyTextOrNull(const char* text) { return text ? copyText(text) : nullptr; }

template <typename Record>
Record* newZeroed() {
  Record* record = static_cast<Record*>(checkedMalloc(sizeof(Record)));
  memset(record, 0, sizeof(Record));
  return record;
}

// A zeroed record in model memory.
template <typename Record>
Record* newModelRecord() {
  return static_cast<Record*>(modelAlloc(sizeof(Record)));
}

bool isClassKind(int32_t kind) { return kind == KindClass || kind == KindSingleClass; }

// The DriverCounts field that counts a node of this kind, or null.
int32_t* driverCountOf(DriverCounts* counts, int32_t kind) {
  switch (kind) {
    case KindClass:
    case KindSingleClass: return &counts->classes;
    case KindTestClass: return &counts->testClasses;
    case KindTestSuite: return &counts->testSuites;
    case KindTestCase: return &counts->testCases;
    case KindEpilogue: return &counts->epilogues;
    case KindPrologue: return &counts->prologues;
    case KindProc: return &counts->procedures;
    case KindStub: return &counts->stubs;
    default: return nullptr;
  }
}

// The ClassCounts field that counts a node of this kind, or null.
int32_t* classCountOf(ClassCounts* counts, int32_t kind) {
  switch (kind) {
    case KindMethodContract: return &counts->contracts;
    case KindInvariant: return &counts->invariants;
    case KindState: return &counts->states;
    case KindTransition: return &counts->transitions;
    default: return nullptr;
  }
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
TestNode* createNode(int32_t fileIndex, int32_t kind, uint64_t objectId, const char* name,
                     int32_t line, TestNode* parent) {
  TestNode* node = newModelRecord<TestNode>();
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
    int32_t* count = nullptr;
    if (parent->driverAbove) count = driverCountOf(driverCountsOf(parent->driverAbove), kind);
    if (!count && parent->classAbove) count = classCountOf(classCountsOf(parent->classAbove), kind);
    if (count) ++*count;
  }
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

bool isIndexed(int32_t fileIndex) { return fileIndex >= 0 && fileIndex < kIndexedFiles; }

// A new record goes first in the list, and so first among its file index.
void pushRecord(SymbolFileRecord* record) {
  record->next = fileList;
  fileList = record;
  if (!isIndexed(record->fileIndex)) return;
  size_t i = static_cast<size_t>(record->fileIndex);
  if (i >= firstRecordByFile.size()) firstRecordByFile.resize(i + 1);
  firstRecordByFile[i] = record;
}

SymbolFileRecord* firstRecordOf(int32_t fileIndex) {
  if (isIndexed(fileIndex)) {
    size_t i = static_cast<size_t>(fileIndex);
    return i < firstRecordByFile.size() ? firstRecordByFile[i] : nullptr;
  }
  for (SymbolFileRecord* record = fileList; record; record = record->next)
    if (record->fileIndex == fileIndex) return record;
  return nullptr;
}

SymbolFileRecord* treeRecordAt(int n) {
  for (SymbolFileRecord* record = fileList; record; record = record->next)
    if (record->root && n-- == 0) return record;
  return nullptr;
}

char* joinDriverPath(const SymbolFileRecord* record) {
  const char* directory = record->driverDirectory ? record->driverDirectory : "";
  const char* fileName = record->driverFileName ? record->driverFileName : "";
  size_t directoryLength = strlen(directory);
  size_t fileNameSize = strlen(fileName) + 1;
  char* path = static_cast<char*>(checkedMalloc(directoryLength + fileNameSize));
  memcpy(path, directory, directoryLength);
  memcpy(path + directoryLength, fileName, fileNameSize);
  return path;
}

void setOnce(char*& global, const char* text) {
  if (!global && text) global = copyText(text);
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

SymbolFileRecord* symbolFileList() { return fileList; }
const char* compilerVersion() { return compilerVersionText; }
const char* compilationTime() { return compilationTimeText; }

void resetModel() { releaseModel(); }

void addSymbolFile(int32_t fileIndex, const char* path) {
  char* name = fileNameOf(path);
  if (char* dot = strchr(name, '.')) *dot = '\0';
  SymbolFileRecord* record = newZeroed<SymbolFileRecord>();
  record->fileIndex = fileIndex;
  record->root = createNode(fileIndex, KindTestDriver, 1, name, 0, nullptr);
  free(name);
  pushRecord(record);
}

void setFileChecksum(int32_t fileIndex, uint64_t checksum1, uint64_t checksum2) {
  if (SymbolFileRecord* record = firstRecordOf(fileIndex)) {
    record->checksum1 = checksum1;
    record->checksum2 = checksum2;
  }
}

void setDriverInfo(int32_t fileIndex, const char* directory, const char* fileName, uint64_t value) {
  SymbolFileRecord* record = firstRecordOf(fileIndex);
  if (!record) return;
  record->driverValue = value;
  if (directory) {
    free(record->driverDirectory);
    record->driverDirectory = copyText(directory);
  }
  if (fileName) {
    free(record->driverFileName);
    record->driverFileName = copyText(fileName);
  }
}

void addChildNode(int32_t fileIndex, int32_t kind, uint64_t objectId, const char* name,
                  uint64_t parentId, int32_t line, uint64_t linkId) {
  TestNode* parent = findNode(fileIndex, parentId);
  if (!parent) return;  // dropped, and with it everything that would hang below
  TestNode* node = createNode(fileIndex, kind, objectId, name ? name : "", line, parent);
  appendChild(parent, node);
  node->linkId = linkId;
}

void bindTraceIndex(int32_t traceIndex, uint64_t checksum1, uint64_t checksum2) {
  SymbolFileRecord* match = fileList;
  while (match && (match->checksum1 != checksum1 || match->checksum2 != checksum2))
    match = match->next;
  if (!match) return;
  if (match->traceIndex == 0) {
    match->traceIndex = traceIndex;
    return;
  }
  // A second trace number for the same file: an extra record without a tree.
  SymbolFileRecord* record = newZeroed<SymbolFileRecord>();
  record->fileIndex = match->fileIndex;
  record->traceIndex = traceIndex;
  record->driverValue = match->driverValue;
  record->checksum1 = checksum1;
  record->checksum2 = checksum2;
  record->driverDirectory = copyTextOrNull(match->driverDirectory);
  record->driverFileName = copyTextOrNull(match->driverFileName);
  pushRecord(record);
}

int32_t fileIndexOfTrace(int32_t traceIndex) {
  for (SymbolFileRecord* record = fileList; record; record = record->next)
    if (record->traceIndex == traceIndex) return record->fileIndex;
  return -1;
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

int fileTreeCount() {
  int count = 0;
  for (SymbolFileRecord* record = fileList; record; record = record->next)
    if (record->root) ++count;
  return count;
}

TestNode* fileTreeAt(int n) {
  SymbolFileRecord* record = treeRecordAt(n);
  return record ? record->root : nullptr;
}

char* driverPath(int32_t fileIndex) {
  SymbolFileRecord* record = firstRecordOf(fileIndex);
  return record ? joinDriverPath(record) : nullptr;
}

char* driverPathAt(int n) {
  SymbolFileRecord* record = treeRecordAt(n);
  return record ? joinDriverPath(record) : nullptr;
}

void collectClassNodes(TestNode* node, void* user) {
  ClassNodeList* list = static_cast<ClassNodeList*>(user);
  if (isClassKind(node->kind) && list->used < list->capacity) list->slots[list->used++] = *node;
}

void releaseModel() {
  while (SymbolFileRecord* record = fileList) {
    fileList = record->next;
    free(record->driverDirectory);
    free(record->driverFileName);
    free(record);
  }
  firstRecordByFile.clear();
  releaseNodeTable();
  releaseModelMemory();
  free(compilerVersionText);
  free(compilationTimeText);
  compilerVersionText = nullptr;
  compilationTimeText = nullptr;
}
