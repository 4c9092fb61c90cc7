// The trace file reader over any bytes, against a fixed model of two symbol
// files: test cases with checks and notes, a class with states and
// transitions, and a stub linked from the other file.
#include "fuzz_support.h"

#include "model/model_report.h"
#include "model/status.h"
#include "readers/readers.h"

#include <cstdlib>

namespace {

const char kStackSymbols[] =
    "OF \"src/\" \"stack_test.cpp\" 1\n"
    "CK 11 22\n"
    "TS 2 \"Stack\" line=10 parent=1;\n"
    "TC 3 \"push_pop\" line=20 parent=2;\n"
    "CH 4 \"top() == 3\" line=21 parent=3;\n"
    "CO 5 \"after push\" line=22 parent=3;\n"
    "CH 6 \"pop() == 3\" line=23 parent=3;\n"
    "CX 7 \"throws\" line=24 parent=3;\n"
    "CH 8 \"inner\" line=25 parent=7;\n"
    "PC 9 \"helper\" line=30 parent=2; link=a;\n"
    "PR b \"printed\" line=31 parent=9;\n"
    "CL c \"Stack\" line=40 parent=1;\n"
    "WR d \"push\" line=41 parent=c;\n"
    "RQ e \"size < max\" line=42 parent=d;\n"
    "EN f \"size > 0\" line=43 parent=d;\n"
    "IV 10 \"size <= max\" line=44 parent=c;\n"
    "ST 11 \"Empty\" line=45 parent=c;\n"
    "OS 12 \"Full\" line=46 parent=c;\n"
    "TR 13 \"push\" line=47 parent=c;\n";

const char kStubSymbols[] =
    "CK 33 44\n"
    "TL 2 \"Mocks\" line=5 parent=1;\n"
    "SB a \"write\" line=6 parent=2;\n"
    "CS 3 \"called\" line=7 parent=a;\n"
    "SL 4 \"Log\" line=8 parent=1;\n"
    "ST 5 \"Open\" line=9 parent=4;\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Model model;
  ByteReader stack(kStackSymbols, sizeof kStackSymbols - 1);
  readSymbols(model, stack, "stack.ots", 0);
  ByteReader stub(kStubSymbols, sizeof kStubSymbols - 1);
  readSymbols(model, stub, "stub.ots", 1);
  ByteReader trace(data, size);
  readTrace(model, trace);
  checkModel(model, true);
  computeStatuses(model);
  checkModel(model, false);
  for (int i = 0; i < fileTreeCount(model); ++i) {
    int32_t passed = 0, failed = 0, notExecuted = 0;
    countVerdicts(fileTreeAt(model, i), &passed, &failed, &notExecuted);
    if (passed < 0 || failed < 0 || notExecuted < 0) abort();
  }
  return 0;
}
