// Inside the model only: the fields a node carries for the model's own
// bookkeeping, the symbol file records, and the lists that the status rules
// take from the building.
#pragma once

#include "model/model.h"

#include <vector>

// Every node is created as a ModelNode; the rest of the program sees its
// TestNode part.
struct ModelNode : TestNode {
  // The nearest node at or above this one of kind Test Driver, of kind Class
  // or Single Class, and of a check kind (null where there is none), set at
  // creation. They keep the counting at creation and recordOutcome constant
  // time on trees of any depth. Stub relinking, which runs after both, does
  // not update them.
  ModelNode* driverAbove;
  ModelNode* classAbove;
  ModelNode* checkAbove;
  // Position of the node in the relinking walk, from 1; 0 before it.
  uint32_t relinkOrder;
};

inline ModelNode* modelNode(TestNode* node) { return static_cast<ModelNode*>(node); }

// One symbol file, or an extra trace binding of one (without a tree).
struct SymbolFileRecord {
  int32_t fileIndex;
  int32_t traceIndex;            // 0 = not bound
  uint64_t driverValue;
  uint64_t checksum1;
  uint64_t checksum2;
  const char* driverDirectory;   // in model memory, shared with extra records; may be null
  const char* driverFileName;    // in model memory, shared with extra records; may be null
  TestNode* root;                // null in a record made by an extra binding
  SymbolFileRecord* next;
  uint32_t order;                // creation order, from 0
};

// Newest record first.
SymbolFileRecord* symbolFileList();
// The root of a new tree, a Test Driver named name.
TestNode* addRootNode(int32_t fileIndex, const char* name);
// Frees the records and their indexes.
void releaseSymbolFiles();

// The Stub nodes in creation order, and whether any node has a link.
const std::vector<ModelNode*>& stubNodes();
bool anyLinks();

// Moves the children of every node with a link to the Stub it names; the
// first pass of computeStatuses.
void relinkStubs();
