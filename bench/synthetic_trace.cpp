// The trace file of the planned run, for example:
//
//   SF 1 8f3a11c2 5e210001
//   OT 9
//   OT b
//   OT c 1
//   OT c 1
//   NO "value of stack = 42"
//   OT e
//   OT 6
//   OT 6 2
//   SF 2 9a0b7f13 c4d70002
//   ...
//   CS 1
//   OT 1f3
//
// Every file is bound by an SF record and runs the first nine tenths of its
// events; then a CS record switches back to each file for the rest. Checks
// and state visits repeat as inside loops until the requested number of
// records is reached.
#include "bench/synthetic_plan.h"

namespace {

// Records one event makes without loop repetitions.
int64_t baseRecords(const TraceEvent& event) {
  switch (event.kind) {
    case EventNote: return 2;
    case EventVisit: return event.flag ? 2 : 1;
    default: return 1;
  }
}

bool repeats(const TraceEvent& event) {
  return event.kind == EventVerdict || event.kind == EventVisit;
}

class TraceWriter {
 public:
  TraceWriter(LineFile& out, const std::vector<FilePlan>& plans, int64_t records, Random& random)
      : out_(out), plans_(plans), random_(random) {
    int64_t minimum = 0;
    for (const FilePlan& plan : plans) {
      minimum += plan.deferFrom < plan.events.size() ? 2 : 1;  // SF, CS
      for (const TraceEvent& event : plan.events) {
        minimum += baseRecords(event);
        if (repeats(event)) totalWeight_ += event.weight;
      }
    }
    extra_ = records > minimum && totalWeight_ > 0 ? static_cast<uint64_t>(records - minimum) : 0;
  }

  void write() {
    for (size_t f = 0; f < plans_.size(); ++f) {
      const FilePlan& plan = plans_[f];
      out_.line("SF %zx %x %x", f + 1, plan.checksum1, plan.checksum2);
      writeEvents(plan, 0, plan.deferFrom);
    }
    for (size_t f = 0; f < plans_.size(); ++f) {
      const FilePlan& plan = plans_[f];
      if (plan.deferFrom == plan.events.size()) continue;
      out_.line("CS %zx", f + 1);
      writeEvents(plan, plan.deferFrom, plan.events.size());
    }
  }

 private:
  void writeEvents(const FilePlan& plan, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      const TraceEvent& event = plan.events[i];
      switch (event.kind) {
        case EventReach:
          out_.line("OT %x", event.id);
          break;
        case EventNote:
          writeNote();
          out_.line("OT %x", event.id);
          break;
        case EventVerdict: {
          uint64_t n = repetitions(event);
          for (uint64_t r = 0; r < n; ++r)
            out_.line("OT %x %d", event.id, event.flag && r == 0 ? 0 : 1);
          break;
        }
        case EventVisit: {
          uint64_t n = repetitions(event);
          for (uint64_t r = 0; r < n; ++r) out_.line("OT %x", event.id);
          if (event.flag) out_.line("OT %x %d", event.id, random_.percent(50) ? 2 : 3);
          break;
        }
      }
    }
  }

  // 1 plus this event's share of the extra records: the shares are cut from
  // a running total, so they add up to exactly the extra records. 128-bit
  // products: extra records times total weight pass 64 bits at 10^8 records.
  uint64_t repetitions(const TraceEvent& event) {
    if (extra_ == 0) return 1;
    using Wide = unsigned __int128;
    uint64_t before = static_cast<uint64_t>(Wide(extra_) * weightSoFar_ / totalWeight_);
    weightSoFar_ += event.weight;
    return 1 + static_cast<uint64_t>(Wide(extra_) * weightSoFar_ / totalWeight_) - before;
  }

  // Mostly plain UTF-8 notes; some carry an escaped line break, some name the
  // codec of their text.
  void writeNote() {
    uint32_t r = random_.below(100);
    uint32_t n = random_.below(1000);
    if (r < 90) out_.line("NO \"value = %u\"", n);
    else if (r < 95) out_.line("NO \"first line\\nsecond line %u\"", n);
    else out_.line("NO \"ISO-8859-1\" \"caf\xe9 %u\"", n);
  }

  LineFile& out_;
  const std::vector<FilePlan>& plans_;
  Random& random_;
  uint64_t totalWeight_ = 0;
  uint64_t weightSoFar_ = 0;
  uint64_t extra_ = 0;
};

}  // namespace

bool writeTraceFile(const std::string& path, const std::vector<FilePlan>& plans, int64_t records,
                    Random& random, int64_t* lines, int64_t* bytes) {
  LineFile out(path);
  if (!out.isOpen()) return false;
  TraceWriter(out, plans, records, random).write();
  *lines += out.lines();
  *bytes += out.bytes();
  return out.close();
}
