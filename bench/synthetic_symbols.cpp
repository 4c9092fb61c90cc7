// The symbol file of one synthetic test driver, for example:
//
//   CK 8f3a11c2 5e210001
//   OF "/work/tests/driver0/" "driver0.cpp" 1
//   VO 8.2.0.1 build 070
//   DP Mon Mar  3 10:12:44 2008
//   CL 2 "Stack1" line=5 parent=1;
//   WR 3 "push" line=6 parent=2;
//   RQ 4 "count >= 0" line=7 parent=3;
//   EN 5 "count == old_count + 1" line=9 parent=3;
//   ST 6 "Idle1" line=11 parent=2;
//   SB 7 "stub_read_1" line=14 parent=1;
//   TS 9 "stack_suite_2" line=20 parent=1;
//   CB a "prologue" line=21 parent=9;
//   TC b "test_push_stack_3" line=23 parent=9; link=7;
//   CH c "s.size() == 3" line=24 parent=b;
//   CP d "push" line=25 parent=b;
//   PR e "value of stack" line=27 parent=b;
//
// Parents always come before their children. Classes, stubs, procedures and
// suites are mixed in proportions typical of a driver; the execution events of
// the run are planned while the objects are written.
#include "bench/synthetic_plan.h"

#include <cstring>
#include <string>

namespace {

const char* const kNouns[] = {"stack", "queue",  "buffer", "parser", "socket", "matrix",
                              "account", "session", "cache", "timer", "router", "sensor"};
const char* const kVerbs[] = {"push", "pop",   "insert", "remove", "open",   "close",
                              "read", "write", "reset",  "update", "lookup", "resize"};
const char* const kStates[] = {"Idle", "Running", "Waiting", "Stopped", "Failed", "Ready"};

// Check kinds below a test case, weighted as in typical test scripts.
struct WeightedKind {
  const char* keyword;
  uint32_t weight;
};
const WeightedKind kCaseChecks[] = {{"CH", 46}, {"CM", 8}, {"CX", 5}, {"CY", 5},
                                    {"CS", 8},  {"PR", 14}, {"CO", 14}};

// Writer of one file: hands out identifiers, counts the object budget down
// and plans the run's events.
class SymbolWriter {
 public:
  SymbolWriter(LineFile& out, Random& random, FilePlan& plan, int64_t objects)
      : out_(out), random_(random), plan_(plan), remaining_(objects) {}

  void writeBody() {
    while (remaining_ > 0) {
      uint32_t r = random_.below(100);
      if (r < 15) writeClass();
      else if (r < 25) writeStub();
      else if (r < 35) writeProc();
      else writeSuite();
    }
    flushClassEvents(pendingClass_.size());
    plan_.deferFrom = deferPoint();
  }

 private:
  // A node record; returns its identifier, or 0 (nothing written) when the
  // object budget is spent.
  uint32_t node(const char* keyword, const std::string& name, uint32_t parent,
                uint32_t link = 0) {
    if (remaining_ == 0) return 0;
    --remaining_;
    uint32_t id = nextId_++;
    line_ += random_.range(1, 4);
    std::string quoted = escaped(name);
    if (link)
      out_.line("%s %x \"%s\" line=%d parent=%x; link=%x;", keyword, id, quoted.c_str(), line_,
                parent, link);
    else
      out_.line("%s %x \"%s\" line=%d parent=%x;", keyword, id, quoted.c_str(), line_, parent);
    return id;
  }

  // A record the reader reads over (calls and the like); not an object.
  void skippedRecord(const char* keyword, const char* name, uint32_t parent) {
    line_ += 1;
    out_.line("%s %x \"%s\" line=%d parent=%x;", keyword, nextId_++, name, line_, parent);
  }

  // The writer's escapes: a backslash before a double quote or a backslash.
  static std::string escaped(const std::string& name) {
    std::string text;
    for (char c : name) {
      if (c == '"' || c == '\\') text += '\\';
      text += c;
    }
    return text;
  }

  std::string serial() { return std::to_string(++serial_); }

  uint8_t loopWeight() {
    uint32_t r = random_.below(100);
    if (r < 80) return static_cast<uint8_t>(random_.range(1, 3));
    if (r < 95) return static_cast<uint8_t>(random_.range(8, 16));
    return static_cast<uint8_t>(random_.range(40, 60));
  }

  void plan(std::vector<TraceEvent>& events, uint32_t id, TraceEventKind kind, bool flag = false) {
    uint8_t weight = kind == EventVerdict || kind == EventVisit ? loopWeight() : 0;
    events.push_back({id, kind, weight, flag});
  }

  std::string checkExpression() {
    std::string n = std::to_string(random_.range(0, 99));
    switch (random_.below(20)) {
      case 0: case 1: case 2: case 3: case 4: return "s.size() == " + n;
      case 5: case 6: case 7: return "v[" + n + "] < limit";
      case 8: case 9: return "p != nullptr && p->ok()";
      case 10: case 11: return std::string("name == \"") + random_.pick(kNouns) + n + "\"";
      case 12: case 13: return "a >= " + n + " || b <= " + n;
      case 14: return "text == \"a\\nb\"";
      case 15: return "Gr\xc3\xb6\xc3\x9f" "e(v) == " + n;
      default: return std::string(random_.pick(kVerbs)) + "(" + n + ") == true";
    }
  }

  // A check below a test case, proc or stub; planned when its unit runs.
  // Prints and comments leave a note in the trace, the others a verdict.
  bool writeCheck(const char* keyword, uint32_t parent, bool runs) {
    bool isPrint = strcmp(keyword, "PR") == 0;
    bool isComment = strcmp(keyword, "CO") == 0;
    std::string name = isPrint     ? std::string("value of ") + random_.pick(kNouns)
                       : isComment ? std::string("after ") + random_.pick(kVerbs)
                                   : checkExpression();
    uint32_t id = node(keyword, name, parent);
    if (!id) return false;
    if (runs)
      plan(plan_.events, id, isPrint || isComment ? EventNote : EventVerdict, random_.percent(2));
    return true;
  }

  const char* caseCheckKeyword() {
    uint32_t r = random_.below(100);
    for (const WeightedKind& k : kCaseChecks) {
      if (r < k.weight) return k.keyword;
      r -= k.weight;
    }
    return "CH";
  }

  // A unit of execution (test case, proc, stub): reached or not as a whole;
  // class members are exercised by the units that run after them.
  bool openUnit(uint32_t id) {
    bool runs = random_.percent(95);
    if (runs) plan(plan_.events, id, EventReach);
    return runs;
  }
  void closeUnit(bool runs) {
    if (runs) flushClassEvents(random_.range(2, 6));
  }

  void writeCase(uint32_t parent) {
    std::string verb = random_.pick(kVerbs);  // one draw per statement keeps the order fixed
    std::string name = "test_" + verb + "_" + random_.pick(kNouns) + "_" + serial();
    uint32_t link = lastStub_ && random_.percent(10) ? lastStub_ : 0;
    uint32_t id = node("TC", name, parent, link);
    if (!id) return;
    bool runs = openUnit(id);
    uint32_t checks = random_.range(1, 7);
    for (uint32_t i = 0; i < checks; ++i) {
      if (!writeCheck(caseCheckKeyword(), id, runs)) return;
      if (random_.percent(30)) skippedRecord("CP", random_.pick(kVerbs), id);
    }
    if (random_.percent(3)) node("EX", std::string("x = ") + random_.pick(kNouns), id);
    closeUnit(runs);
  }

  void writeSuite() {
    uint32_t suite = node("TS", std::string(random_.pick(kNouns)) + "_suite_" + serial(), 1);
    if (!suite) return;
    plan(plan_.events, suite, EventReach);
    if (random_.percent(80)) node("CB", "prologue", suite);
    if (random_.percent(3)) node("RC", "component", suite);
    uint32_t cases = random_.range(2, 8);
    for (uint32_t i = 0; i < cases && remaining_ > 0; ++i) writeCase(suite);
    if (random_.percent(20)) {
      uint32_t testClass = node("TL", std::string("Test") + random_.pick(kNouns) + serial(), suite);
      if (!testClass) return;
      plan(plan_.events, testClass, EventReach);
      uint32_t inner = random_.range(2, 5);
      for (uint32_t i = 0; i < inner && remaining_ > 0; ++i) writeCase(testClass);
    }
    if (random_.percent(60)) node("CE", "epilogue", suite);
    if (random_.percent(2)) skippedRecord(random_.percent(50) ? "NC" : "RU", "misc", suite);
  }

  void writeProc() {
    uint32_t id = node("PC", std::string("proc_") + random_.pick(kVerbs) + "_" + serial(), 1);
    if (!id) return;
    bool runs = openUnit(id);
    uint32_t checks = random_.range(1, 4);
    for (uint32_t i = 0; i < checks; ++i)
      if (!writeCheck(random_.percent(80) ? "CH" : "PR", id, runs)) return;
    closeUnit(runs);
  }

  void writeStub() {
    uint32_t id = node("SB", std::string("stub_") + random_.pick(kVerbs) + "_" + serial(), 1);
    if (!id) return;
    lastStub_ = id;
    bool runs = random_.percent(90);
    if (runs) plan(plan_.events, id, EventReach);
    uint32_t checks = random_.range(1, 3);
    for (uint32_t i = 0; i < checks; ++i)
      if (!writeCheck(random_.percent(60) ? "CH" : "CS", id, runs)) return;
  }

  // Class members: contracts with pre and post conditions, invariants,
  // states, observation states and transitions. Most are exercised later.
  void member(const char* keyword, const std::string& name, uint32_t parent,
              TraceEventKind kind, uint32_t flagPercent) {
    uint32_t id = node(keyword, name, parent);
    if (id && random_.percent(90))
      plan(pendingClass_, id, kind, random_.percent(flagPercent));
  }

  void writeClass() {
    std::string name = std::string(random_.percent(50) ? "Stack" : "Queue") + serial();
    uint32_t cls = node(random_.percent(85) ? "CL" : "SL", name, 1);
    if (!cls) return;
    if (random_.percent(10)) skippedRecord("PY", "capacity", cls);
    uint32_t contracts = random_.range(1, 5);
    for (uint32_t i = 0; i < contracts && remaining_ > 0; ++i) {
      uint32_t contract = node("WR", random_.pick(kVerbs), cls);
      if (!contract) return;
      member("RQ", "count >= 0", contract, EventVerdict, 2);
      if (random_.percent(80)) member("EN", "count == old_count + 1", contract, EventVerdict, 2);
    }
    for (uint32_t i = random_.range(0, 2); i > 0; --i)
      member("IV", "size() <= capacity()", cls, EventVerdict, 2);
    std::string from = random_.pick(kStates) + serial();
    for (uint32_t i = random_.range(0, 4); i > 0; --i)
      member("ST", random_.pick(kStates) + serial(), cls, EventVisit, 3);
    for (uint32_t i = random_.range(0, 2); i > 0; --i)
      member("OS", "observed " + from, cls, EventVisit, 1);
    for (uint32_t i = random_.range(0, 4); i > 0; --i)
      member("TR", from + " -> " + random_.pick(kStates), cls, EventVisit, 0);
  }

  void flushClassEvents(size_t count) {
    if (count > pendingClass_.size()) count = pendingClass_.size();
    plan_.events.insert(plan_.events.end(), pendingClass_.begin(), pendingClass_.begin() + count);
    pendingClass_.erase(pendingClass_.begin(), pendingClass_.begin() + count);
  }

  // The last tenth of the run, cut at a unit boundary, runs after a CS switch.
  size_t deferPoint() const {
    for (size_t i = plan_.events.size() * 9 / 10; i < plan_.events.size(); ++i)
      if (plan_.events[i].kind == EventReach) return i;
    return plan_.events.size();
  }

  LineFile& out_;
  Random& random_;
  FilePlan& plan_;
  int64_t remaining_;
  uint32_t nextId_ = 2;  // 1 is the root
  int32_t line_ = 1;
  uint32_t serial_ = 0;
  uint32_t lastStub_ = 0;
  std::vector<TraceEvent> pendingClass_;
};

}  // namespace

bool writeSymbolFile(const std::string& path, int fileIndex, int64_t objects, Random& random,
                     FilePlan* plan, int64_t* lines, int64_t* bytes) {
  LineFile out(path);
  if (!out.isOpen()) return false;
  // Distinct pairs for up to 65535 files, so every SF record binds its file.
  plan->checksum1 = static_cast<uint32_t>(random.next()) | 0x80000000u;
  plan->checksum2 = (static_cast<uint32_t>(random.next()) << 16) |
                    static_cast<uint32_t>((fileIndex + 1) & 0xffff);
  out.line("CK %x %x", plan->checksum1, plan->checksum2);
  out.line("OF \"/work/tests/driver%d/\" \"driver%d.cpp\" %x", fileIndex, fileIndex,
           fileIndex + 1);
  out.line("VO 8.2.0.1 build 070");
  out.line("DP Mon Mar  3 10:12:44 2008");
  SymbolWriter(out, random, *plan, objects).writeBody();
  *lines += out.lines();
  *bytes += out.bytes();
  return out.close();
}
