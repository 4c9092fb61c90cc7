// The model fixture of the unit tests: every test gets a model of its own,
// with short forms of the building calls.
#pragma once

#include "model/kinds.h"
#include "model/model_build.h"
#include "model/model_internal.h"
#include "model/model_report.h"
#include "model/status.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

class ModelTest : public ::testing::Test {
 protected:
  Model model;

  // Adds a node to file 0 (or the given file) and returns what the table finds
  // under its identifier.
  TestNode* add(int32_t kind, uint64_t id, uint64_t parentId, const char* name = "n",
                       uint64_t linkId = 0, int32_t fileIndex = 0) {
    addChildNode(model, fileIndex, kind, id, name, parentId, static_cast<int32_t>(id), linkId);
    return findNode(model, fileIndex, id);
  }

  static std::vector<std::string> childNames(const TestNode* node) {
    std::vector<std::string> names;
    for (const TestNode* child = node->firstChild; child; child = child->nextSibling)
      names.push_back(child->name);
    return names;
  }
};
