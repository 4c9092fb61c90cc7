// The node table: finds a node by (file index, object identifier). The first
// node registered under a key stays the one found; later ones are refused.
#pragma once

#include "model/model.h"

// Returns false (and keeps the table unchanged) when the key is taken.
// findNode (model.h) answers the lookups.
bool registerNode(TestNode* node);
// Empties the table; the nodes themselves belong to their trees.
void releaseNodeTable();
