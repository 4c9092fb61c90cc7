// The symbol file records: one per symbol file with its tree, plus one per
// extra trace binding, newest first, and the indexes that keep every
// question about them constant time whatever the number of files.
//
//   symbol file list:  extra record of file 0 (trace 3) -> file 1 (trace 2) -> file 0 (trace 1)
//
// The list order decides every answer: the newest record of a file index
// takes its driver texts, the first record with a checksum pair takes a
// binding, the first record with a trace number is the file it selects.
// Records only ever join at the front and a trace number, once given, stays,
// so "first in list order" is "newest" and each index keeps the newest
// record that fits.
#include "model/model_build.h"
#include "model/model_internal.h"
#include "model/model_memory.h"
#include "model/model_report.h"
#include "support/runtime.h"

#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

struct ChecksumPairHash {
  size_t operator()(const std::pair<uint64_t, uint64_t>& pair) const {
    return std::hash<uint64_t>()(pair.first * 0x9e3779b97f4a7c15ULL ^ pair.second);
  }
};

SymbolFileRecord* fileList;
uint32_t recordCount;
std::vector<SymbolFileRecord*> treeRecords;  // creation order: list order reversed
std::unordered_map<int32_t, SymbolFileRecord*> newestByFile;
std::unordered_map<int32_t, SymbolFileRecord*> newestByTrace;  // trace numbers other than 0
// Records still without a trace number, in creation order; bound ones are
// dropped from the top when they get there.
std::vector<SymbolFileRecord*> unbound;
// Built at the first binding: checksums are set while the symbol files are
// read, and the trace comes after them.
std::unordered_map<std::pair<uint64_t, uint64_t>, SymbolFileRecord*, ChecksumPairHash> newestByChecksum;
bool checksumsIndexed;

SymbolFileRecord* newRecord(int32_t fileIndex, int32_t traceIndex) {
  SymbolFileRecord* record = static_cast<SymbolFileRecord*>(modelAlloc(sizeof(SymbolFileRecord)));
  record->fileIndex = fileIndex;
  record->traceIndex = traceIndex;
  record->order = recordCount++;
  record->next = fileList;
  fileList = record;
  newestByFile[fileIndex] = record;
  if (traceIndex == 0)
    unbound.push_back(record);
  else
    newestByTrace[traceIndex] = record;
  return record;
}

SymbolFileRecord* newestRecordOf(int32_t fileIndex) {
  auto found = newestByFile.find(fileIndex);
  return found == newestByFile.end() ? nullptr : found->second;
}

SymbolFileRecord* firstWithChecksums(uint64_t checksum1, uint64_t checksum2) {
  if (!checksumsIndexed) {
    newestByChecksum.clear();
    for (SymbolFileRecord* record = fileList; record; record = record->next)
      newestByChecksum.emplace(std::make_pair(record->checksum1, record->checksum2), record);
    checksumsIndexed = true;
  }
  auto found = newestByChecksum.find({checksum1, checksum2});
  return found == newestByChecksum.end() ? nullptr : found->second;
}

SymbolFileRecord* treeRecordAt(int n) {
  if (n < 0 || static_cast<size_t>(n) >= treeRecords.size()) return nullptr;
  return treeRecords[treeRecords.size() - 1 - static_cast<size_t>(n)];
}

char* joinDriverPath(const SymbolFileRecord* record) {
  const char* directory = record->driverDirectory ? record->driverDirectory : "";
  const char* fileName = record->driverFileName ? record->driverFileName : "";
  size_t directoryLength = strlen(directory);
  size_t fileNameSize = strlen(fileName) + 1;
  char* path = static_cast<char*>(checkedMalloc(directoryLength + fileNameSize));
  memcpy(path, directory, directoryLength);
  memcpy(path + directoryLength, fileName, fileNameSize);
  return path;
}

}  // namespace

SymbolFileRecord* symbolFileList() { return fileList; }

void addSymbolFile(int32_t fileIndex, const char* path) {
  char* name = fileNameOf(path);
  if (char* dot = strchr(name, '.')) *dot = '\0';
  TestNode* root = addRootNode(fileIndex, name);
  free(name);
  SymbolFileRecord* record = newRecord(fileIndex, 0);
  record->root = root;
  treeRecords.push_back(record);
  checksumsIndexed = false;
}

void setFileChecksum(int32_t fileIndex, uint64_t checksum1, uint64_t checksum2) {
  if (SymbolFileRecord* record = newestRecordOf(fileIndex)) {
    record->checksum1 = checksum1;
    record->checksum2 = checksum2;
    checksumsIndexed = false;
  }
}

void setDriverInfo(int32_t fileIndex, const char* directory, const char* fileName, uint64_t value) {
  SymbolFileRecord* record = newestRecordOf(fileIndex);
  if (!record) return;
  record->driverValue = value;
  // New texts for this record alone: extra records keep the ones they share.
  if (directory) record->driverDirectory = modelCopyText(directory);
  if (fileName) record->driverFileName = modelCopyText(fileName);
}

void bindTraceIndex(int32_t traceIndex, uint64_t checksum1, uint64_t checksum2) {
  SymbolFileRecord* match = firstWithChecksums(checksum1, checksum2);
  if (!match) return;
  if (match->traceIndex == 0) {
    match->traceIndex = traceIndex;
    if (traceIndex != 0) {
      SymbolFileRecord*& newest = newestByTrace[traceIndex];
      if (!newest || newest->order < match->order) newest = match;
    }
    return;
  }
  // A second trace number for the same file: an extra record without a tree.
  SymbolFileRecord* record = newRecord(match->fileIndex, traceIndex);
  record->driverValue = match->driverValue;
  record->checksum1 = checksum1;
  record->checksum2 = checksum2;
  record->driverDirectory = match->driverDirectory;
  record->driverFileName = match->driverFileName;
  newestByChecksum[{checksum1, checksum2}] = record;
}

int32_t fileIndexOfTrace(int32_t traceIndex) {
  if (traceIndex != 0) {
    auto found = newestByTrace.find(traceIndex);
    return found == newestByTrace.end() ? -1 : found->second->fileIndex;
  }
  while (!unbound.empty() && unbound.back()->traceIndex != 0) unbound.pop_back();
  return unbound.empty() ? -1 : unbound.back()->fileIndex;
}

int fileTreeCount() { return static_cast<int>(treeRecords.size()); }

TestNode* fileTreeAt(int n) {
  SymbolFileRecord* record = treeRecordAt(n);
  return record ? record->root : nullptr;
}

char* driverPath(int32_t fileIndex) {
  SymbolFileRecord* record = newestRecordOf(fileIndex);
  return record ? joinDriverPath(record) : nullptr;
}

char* driverPathAt(int n) {
  SymbolFileRecord* record = treeRecordAt(n);
  return record ? joinDriverPath(record) : nullptr;
}

void releaseSymbolFiles() {
  fileList = nullptr;
  recordCount = 0;
  treeRecords.clear();
  newestByFile.clear();
  newestByTrace.clear();
  unbound.clear();
  newestByChecksum.clear();
  checksumsIndexed = false;
}
