// The model fixture of the unit tests: every test starts with an empty model
// and leaves none behind, with short forms of the building calls.
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
  void SetUp() override { resetModel(); }
  void TearDown() override { releaseModel(); }

  // Adds a node to file 0 (or the given file) and returns what the table finds
  // under its identifier.
  static TestNode* add(int32_t kind, uint64_t id, uint64_t parentId, const char* name = "n",
                       uint64_t linkId = 0, int32_t fileIndex = 0) {
    addChildNode(fileIndex, kind, id, name, parentId, static_cast<int32_t>(id), linkId);
    return findNode(fileIndex, id);
  }

  static std::vector<std::string> childNames(const TestNode* node) {
    std::vector<std::string> names;
    for (const TestNode* child = node->firstChild; child; child = child->nextSibling)
      names.push_back(child->name);
    return names;
  }
};
