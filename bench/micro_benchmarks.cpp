// Micro-benchmarks of the hot paths: the token readers, trace numbers, node
// lookup at growing model sizes, escaping and the cell writers.
//
//   build/release/bench/veldora_micro_bench [--benchmark_filter=REGEX]
#include "model/kinds.h"
#include "model/model_build.h"
#include "readers/byte_reader.h"
#include "readers/numbers.h"
#include "readers/readers.h"
#include "report/xml_writer.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A scratch file of trace-like lines, written once per process.
struct Sample {
  std::string path;
  int64_t bytes = 0;
};
const Sample& traceSample() {
  static Sample sample;
  if (sample.path.empty()) {
    sample.path = "/tmp/veldora_micro_" + std::to_string(getpid()) + ".tdf";
    FILE* file = fopen(sample.path.c_str(), "wb");
    for (unsigned i = 0; i < 400000; ++i)
      sample.bytes += fprintf(file, "OT %x %u\n", i * 7919u, i % 2);
    fclose(file);
  }
  return sample;
}

void BM_ReadTokens(benchmark::State& state) {
  const Sample& sample = traceSample();
  for (auto _ : state) {
    ByteReader in(sample.path.c_str());
    Token keyword, rest;
    while (!in.atEnd()) {
      benchmark::DoNotOptimize(readUntil(in, keyword, ' '));
      benchmark::DoNotOptimize(readRestOfLine(in, rest));
    }
  }
  state.SetBytesProcessed(state.iterations() * sample.bytes);
}
BENCHMARK(BM_ReadTokens)->Unit(benchmark::kMillisecond);

void BM_ParseTraceNumber(benchmark::State& state) {
  const char* const numbers[] = {"1a2b3c", "ffffffff", "10h", "h1a2b", "7", "deadbeef"};
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(parseTraceNumber(numbers[i++ % 6]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseTraceNumber);

// findNode in a model of state.range(0) nodes over two files: the time per
// lookup should not grow with the model.
void BM_FindNode(benchmark::State& state) {
  const uint32_t nodes = static_cast<uint32_t>(state.range(0));
  Model model;
  addSymbolFile(model, 0, "first.ots");
  addSymbolFile(model, 1, "second.ots");
  for (uint32_t i = 0; i < nodes; ++i)
    addChildNode(model, static_cast<int32_t>(i & 1), KindTestCase, 2 + i / 2, "case", 1, 1, 0);
  uint64_t x = 1;
  for (auto _ : state) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    uint32_t i = static_cast<uint32_t>(x >> 33) % nodes;
    benchmark::DoNotOptimize(findNode(model, static_cast<int32_t>(i & 1), 2 + i / 2));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindNode)->RangeMultiplier(8)->Range(1 << 10, 1 << 18);

const char* const kAsciiCell = "s.size() == 42 && name == \"stack\"";
const char* const kPlainCell = "test_push_stack_1234";
const char* const kUtf8Cell = "Gr\xc3\xb6\xc3\x9f" "e(v) == 42";

void BM_EscapeText(benchmark::State& state) {
  const QString text = QString::fromUtf8(state.range(0) ? kUtf8Cell : kAsciiCell);
  for (auto _ : state) benchmark::DoNotOptimize(escapedUtf8(text.simplified(), ReportText));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EscapeText)->Arg(0)->Arg(1);

// The cell writers into /dev/null: formatting and escaping, not the disk.
class NullFile {
 public:
  NullFile() : file_(fopen("/dev/null", "wb")) {}
  ~NullFile() { fclose(file_); }
  FILE* get() const { return file_; }

 private:
  FILE* file_;
};

void BM_WriteTextCell(benchmark::State& state) {
  const char* const texts[] = {kPlainCell, kAsciiCell, kUtf8Cell};
  const char* text = texts[state.range(0)];
  NullFile out;
  for (auto _ : state) writeTextCell(out.get(), text, StylePassed);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteTextCell)->DenseRange(0, 2);

void BM_WriteLinkCell(benchmark::State& state) {
  NullFile out;
  for (auto _ : state)
    writeLinkCell(out.get(), kPlainCell, StylePassed, "/work/tests/driver0.cpp", 4711);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteLinkCell);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  unlink(traceSample().path.c_str());
  return 0;
}
