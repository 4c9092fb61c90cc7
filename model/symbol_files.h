// The symbol file records of a model and the indexes over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

struct TestNode;

// One symbol file, or an extra trace binding of one (without a tree).
struct SymbolFileRecord {
  int32_t fileIndex;
  int32_t traceIndex;            // 0 = not bound
  uint64_t driverValue;
  uint64_t checksum1;
  uint64_t checksum2;
  const char* driverDirectory;   // in model memory, shared with extra records; may be null
  const char* driverFileName;    // in model memory, shared with extra records; may be null
  TestNode* root;                // null in a record made by an extra binding
  SymbolFileRecord* next;
  uint32_t order;                // creation order, from 0
};

struct ChecksumPairHash {
  size_t operator()(const std::pair<uint64_t, uint64_t>& pair) const {
    return std::hash<uint64_t>()(pair.first * 0x9e3779b97f4a7c15ULL ^ pair.second);
  }
};

// The records live in model memory; the indexes keep every question about
// them constant time whatever the number of files.
struct SymbolFiles {
  SymbolFileRecord* list = nullptr;  // newest first
  uint32_t recordCount = 0;
  std::vector<SymbolFileRecord*> treeRecords;  // creation order: list order reversed
  std::unordered_map<int32_t, SymbolFileRecord*> newestByFile;
  std::unordered_map<int32_t, SymbolFileRecord*> newestByTrace;  // trace numbers other than 0
  // Records still without a trace number, in creation order; bound ones are
  // dropped from the top when they get there.
  std::vector<SymbolFileRecord*> unbound;
  // Built at the first binding: checksums are set while the symbol files are
  // read, and the trace comes after them.
  std::unordered_map<std::pair<uint64_t, uint64_t>, SymbolFileRecord*, ChecksumPairHash>
      newestByChecksum;
  bool checksumsIndexed = false;
};
