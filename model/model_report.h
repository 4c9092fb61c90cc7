// What the report reads from the settled model: the trees in report order,
// the source file each tree links to, the classes of the contracts section.
#pragma once

#include "model/model.h"

// Trees in list order: the last symbol file of the command line first.
int fileTreeCount(const Model& model);
TestNode* fileTreeAt(const Model& model, int n);
// New texts or null; the caller frees them.
char* driverPath(const Model& model, int32_t fileIndex);
char* driverPathAt(const Model& model, int n);

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
