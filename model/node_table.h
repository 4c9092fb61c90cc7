// The node table: finds a node by (file index, object identifier). The first
// node registered under a key stays the one found; later ones are refused.
#pragma once

#include "model/model.h"

// Returns false (and keeps the table unchanged) when the key is taken.
// findNode (model.h) answers the lookups.
bool registerNode(TestNode* node);
// Empties the table; the nodes themselves belong to their trees.
void releaseNodeTable();

// The bucket (0..96) of a key in the former 97-chain layout: the weighted
// byte sum of its "%d/%lxh" text. The table no longer uses it.
int nodeKeyHash(int32_t fileIndex, uint64_t objectId);
