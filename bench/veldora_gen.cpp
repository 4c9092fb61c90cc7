// veldora_gen: writes synthetic symbol files and a trace file for the
// benchmark.
//
//   veldora_gen [--seed N] [--objects N] [--trace-records N] [--files K] --out DIR
//
// Prints one line: the files written and their record counts.
#include "bench/synthetic_inputs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool parseCount(const char* text, int64_t min, int64_t* value) {
  char* end = nullptr;
  long long n = strtoll(text, &end, 10);
  if (end == text || *end != '\0' || n < min) return false;
  *value = n;
  return true;
}

int usage(const char* program) {
  fprintf(stderr,
          "usage: %s [--seed N] [--objects N] [--trace-records N] [--files K] --out DIR\n",
          program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SyntheticOptions options;
  bool haveOut = false;
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    if (i + 1 >= argc) return usage(argv[0]);
    const char* value = argv[++i];
    int64_t n = 0;
    if (strcmp(option, "--out") == 0) {
      options.outDir = value;
      haveOut = true;
    } else if (strcmp(option, "--seed") == 0 && parseCount(value, 0, &n)) {
      options.seed = static_cast<uint64_t>(n);
    } else if (strcmp(option, "--objects") == 0 && parseCount(value, 0, &n)) {
      options.objects = n;
    } else if (strcmp(option, "--trace-records") == 0 && parseCount(value, 0, &n)) {
      options.traceRecords = n;
    } else if (strcmp(option, "--files") == 0 && parseCount(value, 1, &n) && n <= 65535) {
      options.files = static_cast<int>(n);
    } else {
      return usage(argv[0]);
    }
  }
  if (!haveOut) return usage(argv[0]);

  SyntheticSummary summary;
  if (writeSyntheticInputs(options, &summary) != 0) {
    fprintf(stderr, "%s: cannot write the inputs in %s\n", argv[0], options.outDir.c_str());
    return 1;
  }
  printf("%zu symbol files, %lld objects, %lld symbol lines, %lld trace records, %lld bytes\n",
         summary.symbolFiles.size(), static_cast<long long>(summary.objects),
         static_cast<long long>(summary.symbolLines), static_cast<long long>(summary.traceRecords),
         static_cast<long long>(summary.bytes));
  return 0;
}
