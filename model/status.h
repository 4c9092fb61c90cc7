// The status rules: outcomes from the trace file, the settling of every
// status after both readers, and the verdict totals of the report.
#pragma once

#include "model/model.h"

enum Outcome : int32_t {
  Reached = 1,
  VerdictFailed = 2,
  VerdictPassed = 3,
  IllegalExit = 4,
  MultipleExit = 5,
};

int32_t combineStatus(int32_t a, int32_t b);
void recordOutcome(Model& model, int32_t fileIndex, uint64_t objectId, int32_t outcome);
// Stub relinking over every tree, then bottom-up settling; once per run.
void computeStatuses(Model& model);
// Adds the verdicts of the node, its subtree and its following siblings.
void countVerdicts(const TestNode* node, int32_t* passed, int32_t* failed, int32_t* notExecuted);
