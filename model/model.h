// The test object tree: one process-wide model holding a tree per symbol
// file, the node table that finds nodes by (file index, identifier), the
// symbol file list, the global compiler texts, and the status rules.
#pragma once

#include <cstdint>

enum TestStatus : int32_t {
  NotExecuted = 0,
  Executed = 1,
  Failed = 2,
  Passed = 3,
};

struct CheckCounts {
  int32_t executions;
  int32_t passed;
  int32_t failed;
  int32_t illegalExits;
  int32_t multipleExits;
};

struct ClassCounts {
  int32_t contracts;
  int32_t invariants;
  int32_t states;
  int32_t transitions;
  int32_t stateStatus;
  int32_t stateChartStatus;
  int32_t transitionStatus;
  int32_t contractStatus;
  int32_t invariantStatus;
};

struct DriverCounts {
  int32_t classes;
  int32_t testClasses;
  int32_t testSuites;
  int32_t testCases;
  int32_t epilogues;
  int32_t prologues;
  int32_t procedures;
  int32_t stubs;
};

// One note text attached by the trace file; the list owns the text.
struct NoteText {
  char* text;
  NoteText* next;
};

struct TestNode {
  int32_t kind;          // OtsType
  int32_t fileIndex;
  uint64_t objectId;
  uint64_t linkId;       // Stub whose children this node's children join; 0 = none
  char* name;            // owned, NUL-terminated bytes as read
  int32_t line;
  int32_t status;        // TestStatus
  void* counts;          // CheckCounts, ClassCounts, DriverCounts or null, by kind
  NoteText* firstNote;   // owned, in arrival order
  NoteText* lastNote;
  TestNode* parent;
  TestNode* nextSibling;
  TestNode* firstChild;
  TestNode* lastChild;
  // Internal to the model, set when the node is created: the nearest node at
  // or above it of kind Test Driver, of kind Class or Single Class, and of a
  // check kind (null where there is none). They keep the counting at creation
  // and recordOutcome constant time on trees of any depth. Stub relinking,
  // which runs after both, does not update them.
  TestNode* driverAbove;
  TestNode* classAbove;
  TestNode* checkAbove;
};

// Typed views of TestNode::counts; null when the node carries no such record.
CheckCounts* checkCountsOf(const TestNode* node);
ClassCounts* classCountsOf(const TestNode* node);
DriverCounts* driverCountsOf(const TestNode* node);

struct SymbolFileRecord {
  int32_t fileIndex;
  int32_t traceIndex;        // 0 = not bound
  uint64_t driverValue;
  uint64_t checksum1;
  uint64_t checksum2;
  char* driverDirectory;     // owned, may be null
  char* driverFileName;      // owned, may be null
  TestNode* root;            // null in a record made by an extra binding
  SymbolFileRecord* next;
};

// Newest record first.
SymbolFileRecord* symbolFileList();

// Texts of the first VO and DP records of the run; null until set.
const char* compilerVersion();
const char* compilationTime();

void resetModel();
void addSymbolFile(int32_t fileIndex, const char* path);
void setFileChecksum(int32_t fileIndex, uint64_t checksum1, uint64_t checksum2);
void setDriverInfo(int32_t fileIndex, const char* directory, const char* fileName, uint64_t value);
void addChildNode(int32_t fileIndex, int32_t kind, uint64_t objectId, const char* name,
                  uint64_t parentId, int32_t line, uint64_t linkId);
TestNode* findNode(int32_t fileIndex, uint64_t objectId);
void bindTraceIndex(int32_t traceIndex, uint64_t checksum1, uint64_t checksum2);
int32_t fileIndexOfTrace(int32_t traceIndex);
// Takes ownership of text (a malloc'ed block); drops it when there is no node.
void appendNote(int32_t fileIndex, uint64_t objectId, char* text);
void setCompilerVersion(const char* text);
void setCompilationTime(const char* text);

typedef void (*NodeFunction)(TestNode* node, void* user);
// Post-order over the node, its subtree and every following sibling with
// their subtrees. Uses no call stack for depth.
void walkTree(TestNode* node, NodeFunction function, void* user);
// Calls the function on each direct child; the next child is read after the call.
void forEachChild(TestNode* node, NodeFunction function, void* user);

int fileTreeCount();
TestNode* fileTreeAt(int n);
char* driverPath(int32_t fileIndex);  // new text or null; the caller frees
char* driverPathAt(int n);            // new text or null; the caller frees
// The class list of the contracts section: copies of Class and Single Class
// nodes in `slots`, `used` of `capacity` filled.
struct ClassNodeList {
  TestNode* slots;
  int32_t capacity;
  int32_t used;
};
// walkTree function over a ClassNodeList: copies a Class or Single Class node
// into the next free slot; nodes beyond the capacity are not copied.
void collectClassNodes(TestNode* node, void* user);

void releaseModel();

// Status rules.
enum Outcome : int32_t {
  Reached = 1,
  VerdictFailed = 2,
  VerdictPassed = 3,
  IllegalExit = 4,
  MultipleExit = 5,
};

int32_t combineStatus(int32_t a, int32_t b);
void recordOutcome(int32_t fileIndex, uint64_t objectId, int32_t outcome);
void computeStatuses();
// Adds the verdicts of the node, its subtree and its following siblings.
void countVerdicts(const TestNode* node, int32_t* passed, int32_t* failed, int32_t* notExecuted);
