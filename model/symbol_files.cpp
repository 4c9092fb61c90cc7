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
#include "model/model_report.h"
#include "support/runtime.h"

#include <cstdlib>
#include <cstring>

namespace {

SymbolFileRecord* newRecord(Model& model, int32_t fileIndex, int32_t traceIndex) {
  SymbolFiles& files = model.files;
  SymbolFileRecord* record =
      static_cast<SymbolFileRecord*>(model.memory.alloc(sizeof(SymbolFileRecord)));
  record->fileIndex = fileIndex;
  record->traceIndex = traceIndex;
  record->order = files.recordCount++;
  record->next = files.list;
  files.list = record;
  files.newestByFile[fileIndex] = record;
  if (traceIndex == 0)
    files.unbound.push_back(record);
  else
    files.newestByTrace[traceIndex] = record;
  return record;
}

SymbolFileRecord* newestRecordOf(const SymbolFiles& files, int32_t fileIndex) {
  auto found = files.newestByFile.find(fileIndex);
  return found == files.newestByFile.end() ? nullptr : found->second;
}

SymbolFileRecord* firstWithChecksums(SymbolFiles& files, uint64_t checksum1, uint64_t checksum2) {
  if (!files.checksumsIndexed) {
    files.newestByChecksum.clear();
    for (SymbolFileRecord* record = files.list; record; record = record->next)
      files.newestByChecksum.emplace(std::make_pair(record->checksum1, record->checksum2), record);
    files.checksumsIndexed = true;
  }
  auto found = files.newestByChecksum.find({checksum1, checksum2});
  return found == files.newestByChecksum.end() ? nullptr : found->second;
}

SymbolFileRecord* treeRecordAt(const SymbolFiles& files, int n) {
  const std::vector<SymbolFileRecord*>& records = files.treeRecords;
  if (n < 0 || static_cast<size_t>(n) >= records.size()) return nullptr;
  return records[records.size() - 1 - static_cast<size_t>(n)];
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

void addSymbolFile(Model& model, int32_t fileIndex, const char* path) {
  char* name = fileNameOf(path);
  if (char* dot = strchr(name, '.')) *dot = '\0';
  TestNode* root = addRootNode(model, fileIndex, name);
  free(name);
  SymbolFileRecord* record = newRecord(model, fileIndex, 0);
  record->root = root;
  model.files.treeRecords.push_back(record);
  model.files.checksumsIndexed = false;
}

void setFileChecksum(Model& model, int32_t fileIndex, uint64_t checksum1, uint64_t checksum2) {
  if (SymbolFileRecord* record = newestRecordOf(model.files, fileIndex)) {
    record->checksum1 = checksum1;
    record->checksum2 = checksum2;
    model.files.checksumsIndexed = false;
  }
}

void setDriverInfo(Model& model, int32_t fileIndex, const char* directory, const char* fileName,
                   uint64_t value) {
  SymbolFileRecord* record = newestRecordOf(model.files, fileIndex);
  if (!record) return;
  record->driverValue = value;
  // New texts for this record alone: extra records keep the ones they share.
  if (directory) record->driverDirectory = model.memory.copyText(directory);
  if (fileName) record->driverFileName = model.memory.copyText(fileName);
}

void bindTraceIndex(Model& model, int32_t traceIndex, uint64_t checksum1, uint64_t checksum2) {
  SymbolFiles& files = model.files;
  SymbolFileRecord* match = firstWithChecksums(files, checksum1, checksum2);
  if (!match) return;
  if (match->traceIndex == 0) {
    match->traceIndex = traceIndex;
    if (traceIndex != 0) {
      SymbolFileRecord*& newest = files.newestByTrace[traceIndex];
      if (!newest || newest->order < match->order) newest = match;
    }
    return;
  }
  // A second trace number for the same file: an extra record without a tree.
  SymbolFileRecord* record = newRecord(model, match->fileIndex, traceIndex);
  record->driverValue = match->driverValue;
  record->checksum1 = checksum1;
  record->checksum2 = checksum2;
  record->driverDirectory = match->driverDirectory;
  record->driverFileName = match->driverFileName;
  files.newestByChecksum[{checksum1, checksum2}] = record;
}

int32_t fileIndexOfTrace(Model& model, int32_t traceIndex) {
  SymbolFiles& files = model.files;
  if (traceIndex != 0) {
    auto found = files.newestByTrace.find(traceIndex);
    return found == files.newestByTrace.end() ? -1 : found->second->fileIndex;
  }
  std::vector<SymbolFileRecord*>& unbound = files.unbound;
  while (!unbound.empty() && unbound.back()->traceIndex != 0) unbound.pop_back();
  return unbound.empty() ? -1 : unbound.back()->fileIndex;
}

int fileTreeCount(const Model& model) { return static_cast<int>(model.files.treeRecords.size()); }

TestNode* fileTreeAt(const Model& model, int n) {
  SymbolFileRecord* record = treeRecordAt(model.files, n);
  return record ? record->root : nullptr;
}

char* driverPath(const Model& model, int32_t fileIndex) {
  SymbolFileRecord* record = newestRecordOf(model.files, fileIndex);
  return record ? joinDriverPath(record) : nullptr;
}

char* driverPathAt(const Model& model, int n) {
  SymbolFileRecord* record = treeRecordAt(model.files, n);
  return record ? joinDriverPath(record) : nullptr;
}
