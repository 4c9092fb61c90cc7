// The node table: 97 buckets, each a chain of entries. A key (file index,
// identifier) is hashed through its text, file 0 and identifier 0x1A being
//
//   0/1ah
//
// and the bucket is the sum of (position + 1) * byte over that text, modulo
// 97. The head of a chain is the first node ever entered in the bucket; later
// entries go directly after it.
//
// Cost: a lookup walks its chain, so it grows with the node count / 97.
#include "model/node_table.h"

#include "support/runtime.h"

#include <cstdlib>

namespace {

constexpr int bucketCount = 97;

struct TableEntry {
  TestNode* node;
  TableEntry* next;
};

TableEntry* buckets[bucketCount];

bool hasKey(const TestNode* node, int32_t fileIndex, uint64_t objectId) {
  return node->objectId == objectId && node->fileIndex == fileIndex;
}

}  // namespace

int nodeKeyHash(int32_t fileIndex, uint64_t objectId) {
  // Weighs the bytes of the "%d/%lxh" text as they would be printed, without
  // printing them.
  int64_t sum = 0;
  int64_t position = 0;
  auto put = [&](char c) { sum += ++position * static_cast<signed char>(c); };
  auto putDigits = [&](uint64_t value, unsigned base) {
    char digits[20];  // uint64 has at most 20 decimal digits
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value);
    while (count) put(digits[--count]);
  };
  if (fileIndex < 0) put('-');
  putDigits(fileIndex < 0 ? 0 - static_cast<uint64_t>(fileIndex) : static_cast<uint64_t>(fileIndex), 10);
  put('/');
  putDigits(objectId, 16);
  put('h');
  return static_cast<int>(sum % bucketCount);
}

bool registerNode(TestNode* node) {
  TableEntry** bucket = &buckets[nodeKeyHash(node->fileIndex, node->objectId)];
  for (TableEntry* entry = *bucket; entry; entry = entry->next)
    if (hasKey(entry->node, node->fileIndex, node->objectId)) return false;
  TableEntry* entry = static_cast<TableEntry*>(checkedMalloc(sizeof(TableEntry)));
  entry->node = node;
  if (!*bucket) {
    entry->next = nullptr;
    *bucket = entry;
  } else {
    entry->next = (*bucket)->next;
    (*bucket)->next = entry;
  }
  return true;
}

TestNode* findNode(int32_t fileIndex, uint64_t objectId) {
  for (TableEntry* entry = buckets[nodeKeyHash(fileIndex, objectId)]; entry; entry = entry->next)
    if (hasKey(entry->node, fileIndex, objectId)) return entry->node;
  return nullptr;
}

void releaseNodeTable() {
  for (TableEntry*& bucket : buckets) {
    while (bucket) {
      TableEntry* next = bucket->next;
      free(bucket);
      bucket = next;
    }
  }
}
