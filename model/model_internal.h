// Inside the model only: the fields a node carries for the model's own
// bookkeeping, and what the status rules take from the building.
#pragma once

#include "model/model.h"

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

// The root of a new tree, a Test Driver named name.
TestNode* addRootNode(Model& model, int32_t fileIndex, const char* name);

// Moves the children of every node with a link to the Stub it names; the
// first pass of computeStatuses.
void relinkStubs(Model& model);
