// The test object tree: a model holding a tree per symbol file, found by
// (file index, identifier). This header holds what every user of the model
// shares: the node and its counter records, the model value, the lookup and
// the walks. The readers build it through
// model_build.h, the status rules live in status.h, and the report reads it
// through model_report.h.
#pragma once

#include "model/model_memory.h"
#include "model/node_table.h"
#include "model/symbol_files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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

// One note text attached by the trace file, in model memory. A note may
// hold byte 0 (an escaped NUL), so it has a length; text[length] is 0.
struct NoteText {
  const char* text;
  size_t length;
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
};

// Typed views of TestNode::counts; null when the node carries no such record.
CheckCounts* checkCountsOf(const TestNode* node);
ClassCounts* classCountsOf(const TestNode* node);
DriverCounts* driverCountsOf(const TestNode* node);

struct ModelNode;

// One test model with everything it owns: the nodes and texts in its memory,
// the node table, the symbol file records, the Stub list and the compiler
// texts. A new Model is empty; destroying it returns all its memory at once.
// The readers build it (model_build.h), computeStatuses settles it
// (status.h), and the report reads it (model_report.h).
struct Model {
  Model() = default;
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  ModelMemory memory;  // first: destroyed after everything that points into it
  NodeTable nodes;
  SymbolFiles files;
  std::vector<ModelNode*> stubs;  // Stub nodes in creation order
  bool linked = false;            // some node has a link
  const char* compilerVersion = nullptr;  // first VO text of the run, in memory
  const char* compilationTime = nullptr;  // first DP text of the run, in memory
};

// The first node registered under the key; null when there is none.
inline TestNode* findNode(const Model& model, int32_t fileIndex, uint64_t objectId) {
  return model.nodes.find(fileIndex, objectId);
}

typedef void (*NodeFunction)(TestNode* node, void* user);
// Post-order over the node, its subtree and every following sibling with
// their subtrees. Uses no call stack for depth.
void walkTree(TestNode* node, NodeFunction function, void* user);
// Calls the function on each direct child; the next child is read after the call.
void forEachChild(TestNode* node, NodeFunction function, void* user);
