// The generated inputs read by the real readers: no object is dropped, every
// symbol file is bound, every trace number parses, and the run has passed
// and failed verdicts, notes and relinked stubs like a real one.
#include "bench/synthetic_inputs.h"
#include "readers/readers.h"
#include "tests/model_fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace {

struct Tally {
  int nodes = 0;
  int notes = 0;
  int stubChildren = 0;
};

void tally(TestNode* node, void* user) {
  Tally* t = static_cast<Tally*>(user);
  ++t->nodes;
  for (NoteText* note = node->firstNote; note; note = note->next) ++t->notes;
  if (node->kind == KindStub)
    for (TestNode* child = node->firstChild; child; child = child->nextSibling) ++t->stubChildren;
}

using SyntheticRun = ModelTest;

TEST_F(SyntheticRun, GeneratedInputsReadCompletely) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("veldora_run_" + std::to_string(getpid()));
  SyntheticOptions options;
  options.seed = 17;
  options.objects = 6000;
  options.traceRecords = 60000;
  options.files = 3;
  options.outDir = dir.string();
  SyntheticSummary summary;
  ASSERT_EQ(writeSyntheticInputs(options, &summary), 0);

  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(readSymbolFile(model, summary.symbolFiles[i].c_str(), i), 0);
  testing::internal::CaptureStderr();
  ASSERT_EQ(readTraceFile(model, summary.traceFile.c_str()), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // no malformed trace number
  for (int i = 0; i < 3; ++i) EXPECT_EQ(fileIndexOfTrace(model, i + 1), i);
  EXPECT_EQ(fileTreeCount(model), 3);

  Tally before;
  for (int i = 0; i < fileTreeCount(model); ++i) walkTree(fileTreeAt(model, i), tally, &before);
  EXPECT_EQ(before.nodes, 6000 + 3);
  EXPECT_GT(before.notes, 100);

  computeStatuses(model);
  Tally after;
  int32_t passed = 0, failed = 0, notExecuted = 0;
  for (int i = 0; i < fileTreeCount(model); ++i) {
    walkTree(fileTreeAt(model, i), tally, &after);
    countVerdicts(fileTreeAt(model, i), &passed, &failed, &notExecuted);
  }
  EXPECT_EQ(after.nodes, before.nodes);  // relinking moves nodes, keeps them all
  EXPECT_GT(after.stubChildren, before.stubChildren);
  EXPECT_GT(passed, 10 * failed);
  EXPECT_GT(failed, 0);
  EXPECT_GT(notExecuted, 0);
  fs::remove_all(dir);
}

}  // namespace
