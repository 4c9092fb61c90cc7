// What the symbol file generator hands to the trace generator: per symbol
// file its checksum pair and the sequence of execution events a test run
// would produce for it. Also the seeded random source and the line writer
// both use.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// splitmix64: the same sequence on every platform and standard library,
// which std::uniform_int_distribution does not promise.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // 0 .. n - 1 (n > 0).
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  // lo .. hi inclusive.
  uint32_t range(uint32_t lo, uint32_t hi) { return lo + below(hi - lo + 1); }
  bool percent(uint32_t p) { return below(100) < p; }
  template <typename T, size_t N>
  const T& pick(const T (&items)[N]) { return items[below(N)]; }

 private:
  uint64_t state_;
};

// One OT record (or NO + OT) of the run, in the order the run makes them.
enum TraceEventKind : uint8_t {
  EventReach,    // OT id, once: a test container was entered
  EventNote,     // NO "text" then OT id: a print or a comment
  EventVerdict,  // OT id 1 (or 0): a check; repeated when inside a loop
  EventVisit,    // OT id: a state or transition; repeated like a verdict
};

struct TraceEvent {
  uint32_t id;
  uint8_t kind;    // TraceEventKind
  uint8_t weight;  // share of the loop repetitions (verdicts and visits)
  bool flag;       // verdict: fails once; visit: adds one illegal or multiple exit
};

struct FilePlan {
  uint32_t checksum1 = 0;
  uint32_t checksum2 = 0;
  std::vector<TraceEvent> events;
  // events[deferFrom ..] run after a CS switch back to this file, once every
  // file has had its SF record.
  size_t deferFrom = 0;
};

// A file written line by line through stdio's buffer, counting what it wrote.
class LineFile {
 public:
  explicit LineFile(const std::string& path) : file_(fopen(path.c_str(), "wb")) {
    if (file_) setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  }
  ~LineFile() { close(); }
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // One formatted line; the format carries no line feed.
  void line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    int n = vfprintf(file_, format, args);
    va_end(args);
    if (n < 0 || fputc('\n', file_) == EOF) failed_ = true;
    bytes_ += n + 1;
    ++lines_;
  }
  // Closes the file; false when any write or the close failed.
  bool close() {
    if (!file_) return !failed_;
    if (fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
  }
  int64_t bytes() const { return bytes_; }
  int64_t lines() const { return lines_; }

 private:
  FILE* file_;
  bool failed_ = false;
  int64_t bytes_ = 0;
  int64_t lines_ = 0;
};

// Writes the symbol file of driver `fileIndex` with exactly `objects` node
// records and fills its plan. Returns false when the file cannot be written.
bool writeSymbolFile(const std::string& path, int fileIndex, int64_t objects, Random& random,
                     FilePlan* plan, int64_t* lines, int64_t* bytes);

// Writes the trace of the planned run with `records` lines (or the minimum
// the plans need). Returns false when the file cannot be written.
bool writeTraceFile(const std::string& path, const std::vector<FilePlan>& plans, int64_t records,
                    Random& random, int64_t* lines, int64_t* bytes);
