// The symbol file reader over any bytes: the file is read to its end, the
// tree it builds is consistent, and settling, counting and release go
// through whatever shape it has.
#include "fuzz_support.h"

#include "model/model_internal.h"
#include "model/model_report.h"
#include "model/status.h"
#include "readers/readers.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Model model;
  ByteReader in(data, size);
  readSymbols(model, in, "input.ots", 0);
  checkModel(model, true);
  computeStatuses(model);
  checkModel(model, false);
  int32_t passed = 0, failed = 0, notExecuted = 0;
  countVerdicts(fileTreeAt(model, 0), &passed, &failed, &notExecuted);
  if (passed < 0 || failed < 0 || notExecuted < 0) abort();
  return 0;
}
