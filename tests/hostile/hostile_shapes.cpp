// The hostile shapes and their ordinary counterparts:
//
//   rebinding        SF/CS pairs for one checksum pair, long OF texts
//   link-records     links resolved while the trace made many file records
//   many-files       one test case per symbol file
//   stub-chain       children handed along a chain of stubs
//   chained-stubs    three chained stubs over many test cases (memory)
//   crafted-ids      identifiers whose old, fixed hash collides
//   deep-stub-links  many links to one Stub deep in its tree
//   codec-names      notes in codecs that do not exist, after every codec there is
//
// A plain input has the records of its shape without what made them costly
// (no links, distinct bindings, ordinary identifiers, known codecs), at
// about the same size.
#include "hostile_shapes.h"

#include "tests/file_bytes.h"

#include <QTextCodec>

#include <cstdint>
#include <cstdio>

namespace {

std::string hex(uint64_t value) {
  char text[20];
  snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(value));
  return text;
}

std::string record(const char* keyword, uint64_t id, const std::string& name, uint64_t parent,
                   uint64_t link = 0) {
  std::string line = std::string(keyword) + " " + hex(id) + " \"" + name + "\" line=1 parent=" +
                     hex(parent) + ";";
  if (link) line += " link=" + hex(link) + ";";
  return line + "\n";
}

ShapeRun oneFile(const std::string& folder, const std::string& symbols, const std::string& trace) {
  writeFile(folder + "/s.ots", symbols);
  writeFile(folder + "/run.tdf", trace);
  return {{"-ots", "s.ots", "-tdf", "run.tdf", "-xrd", "out.xrd"}};
}

// Every new binding of the checksum pair made a file record with copies of
// both OF texts, and every CS of the first binding walked all records.
ShapeRun rebinding(int scale, const std::string& folder, bool plain) {
  std::string symbols = "OF \"" + std::string(1000, 'd') + "\" \"" + std::string(1000, 'f') +
                        "\" 1\nCK 11 22\n" + record("TC", 2, "case", 1) + record("CH", 3, "k", 2);
  std::string trace;
  for (int i = 1; i <= scale; ++i) {
    // The plain trace binds once and selects that file again, in as many bytes.
    if (plain) trace += i == 1 ? "SF 1 11 22\nCS 1\n" : "OT 3 1\nCS 1\n";
    else trace += "SF " + hex(i) + " 11 22\nCS 1\n";
  }
  return oneFile(folder, symbols, trace);
}

// Each link looked for its Stub through every file record.
ShapeRun linkRecords(int scale, const std::string& folder, bool plain) {
  std::string symbols = "CK 11 22\n" + record("SB", 2, "stub", 1);
  for (int i = 0; i < scale; ++i) {
    uint64_t id = 0x100 + 2 * uint64_t(i);
    symbols += record("TC", id, "t", 1, plain ? 0 : 2) + record("CH", id + 1, "k", id);
  }
  std::string trace;
  for (int i = 1; i <= 4 * scale; ++i) trace += "SF " + hex(i) + " 11 22\n";
  return oneFile(folder, symbols, trace);
}

ShapeRun manyFiles(int scale, const std::string& folder, bool plain) {
  // The plain run has the same test cases in one file.
  ShapeRun run;
  run.arguments.push_back("-ots");
  std::string trace;
  std::string single = "CK 1 1\n";
  for (int i = 1; i <= scale; ++i) {
    if (plain) {
      single += record("TC", 2 * uint64_t(i), "case", 1) + record("CH", 2 * uint64_t(i) + 1, "k", 2 * uint64_t(i));
      trace += "OT " + hex(2 * uint64_t(i)) + "\nOT " + hex(2 * uint64_t(i) + 1) + " 1\n";
      continue;
    }
    std::string name = "f" + std::to_string(i) + ".ots";
    writeFile(folder + "/" + name, "CK " + hex(i) + " 1\n" + record("TC", 2, "case", 1) +
                                       record("CH", 3, "k", 2));
    run.arguments.push_back(name);
    trace += "SF " + hex(i) + " " + hex(i) + " 1\nOT 2\nOT 3 1\n";
  }
  if (plain) {
    writeFile(folder + "/s.ots", single);
    run.arguments.push_back("s.ots");
    trace = "SF 1 1 1\n" + trace;
  }
  writeFile(folder + "/run.tdf", trace);
  run.arguments.insert(run.arguments.end(), {"-tdf", "run.tdf", "-xrd", "out.xrd"});
  return run;
}

// The children of the first stub travel along the chain. The suite's name
// fills a composed name at the first move, so the names and the report
// stay small; the plain cases carry names of the same length.
ShapeRun stubChain(int scale, const std::string& folder, bool plain) {
  const std::string suite(1985, 's');
  std::string symbols = "CK 11 22\n" + record("TS", 2, suite, 1);
  for (int i = 0; i < scale; ++i)
    symbols += record("SB", 0x10000000 + uint64_t(i), "s", 2, plain ? 0 : 0x10000001 + uint64_t(i));
  for (int i = 0; i < scale; ++i) {
    std::string name = "c" + std::to_string(i);
    if (plain) name = suite + " / " + name;
    symbols += record("TC", 0x100 + uint64_t(i), name, 0x10000000);
  }
  return oneFile(folder, symbols, "");
}

// Test cases renamed at each of three stubs once took a block of the
// largest name size; the plain run has one stub.
ShapeRun chainedStubs(int scale, const std::string& folder, bool plain) {
  std::string symbols = "CK 11 22\n" + record("TS", 2, "a", 1);
  const int stubs = plain ? 1 : 3;
  for (int i = 0; i < stubs; ++i)
    symbols += record("SB", 0x10000000 + uint64_t(i), "s", 2, i + 1 < stubs ? 0x10000001 + uint64_t(i) : 0);
  for (int i = 0; i < scale; ++i) symbols += record("TC", 0x100 + uint64_t(i), "case", 0x10000000);
  return oneFile(folder, symbols, "");
}

// The node table's former hash: groups of eight identifiers mixed by a fixed
// function. Identifiers of nine hexadecimal digits whose groups land within
// 256 of the 65,536 group positions of the final table make one probe run.
uint64_t formerGroupHash(uint64_t group) {
  uint64_t h = group;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

ShapeRun craftedIds(int scale, const std::string& folder, bool plain) {
  std::string symbols = "CK 11 22\n";
  std::string trace = "SF 1 11 22\n";
  uint64_t group = uint64_t(1) << 29;  // identifiers from 2^32: nine digits
  for (int made = 0; made < scale; ++group) {
    if (!plain && (formerGroupHash(group) & 0xffff) >= 256) continue;
    for (uint64_t member = 0; member < 8 && made < scale; ++member, ++made) {
      uint64_t id = group << 3 | member;
      symbols += record("TC", id, "c", 1);
      trace += "OT " + hex(id) + "\n";
    }
  }
  return oneFile(folder, symbols, trace);
}

// A Stub at the bottom of a chain of suites, visited before the test cases
// that link to it, each of which checked the whole depth for a cycle.
ShapeRun deepStubLinks(int scale, const std::string& folder, bool plain) {
  std::string symbols = "CK 11 22\n";
  for (int i = 0; i < scale; ++i) symbols += record("TS", 0x1000000 + uint64_t(i), "s", i ? 0x1000000 + uint64_t(i) - 1 : 1);
  const uint64_t stub = 0x2000000;
  symbols += record("SB", stub, "deep", 0x1000000 + uint64_t(scale) - 1);
  for (int i = 0; i < scale; ++i) {
    uint64_t id = 0x100 + 2 * uint64_t(i);
    symbols += record("TC", id, "t", 1, plain ? 0 : stub) + record("CH", id + 1, "k", id);
  }
  return oneFile(folder, symbols, "");
}

// Notes first in every codec there is, each of which joins the list that Qt
// scans for a name it does not know; then notes in codecs that do not exist.
ShapeRun codecNames(int scale, const std::string& folder, bool plain) {
  std::string symbols = "CK 11 22\n" + record("TC", 2, "case", 1) + record("PR", 3, "p", 2);
  std::string trace = "SF 1 11 22\n";
  auto note = [&trace](const std::string& codec) {
    trace += "NO \"" + codec + "\" \"n\"\nOT 3\n";
  };
  for (const QByteArray& codec : QTextCodec::availableCodecs()) note(codec.toStdString());
  for (int i = 0; i < scale; ++i) note(plain ? "ISO-8859-1" : "no-such-codec-" + std::to_string(i % 10));
  return oneFile(folder, symbols, trace);
}

struct Shape {
  const char* name;
  ShapeRun (*write)(int scale, const std::string& folder, bool plain);
};

const Shape kShapes[] = {
    {"rebinding", rebinding},       {"link-records", linkRecords},
    {"many-files", manyFiles},      {"stub-chain", stubChain},
    {"chained-stubs", chainedStubs}, {"crafted-ids", craftedIds},
    {"deep-stub-links", deepStubLinks}, {"codec-names", codecNames},
};

}  // namespace

const std::vector<std::string>& shapeNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const Shape& shape : kShapes) all.push_back(shape.name);
    return all;
  }();
  return names;
}

ShapeRun writeShape(const std::string& name, int scale, const std::string& folder) {
  const bool plain = name.rfind("plain-", 0) == 0;
  const std::string base = plain ? name.substr(6) : name;
  for (const Shape& shape : kShapes)
    if (base == shape.name) return shape.write(scale, folder, plain);
  return {};
}
