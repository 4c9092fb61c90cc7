// The node table: every node by its key (file index, identifier), in one
// open-addressed table with linear probing that doubles when half full.
//
//   slots:  [ - ][ 0/2 ][ 0/1a ][ - ][ 1/2 ][ - ] ...   (node pointers)
//
// The first node registered under a key is the one found; later nodes with
// the same key are refused (they stay in their trees). The slot of a key is
// taken from a mix of both parts of the key, so a lookup costs one probe on
// average whatever the number of nodes, where 97 chains cost a walk that
// grows with it.
#include "model/node_table.h"

#include "support/runtime.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kInitialCapacity = 1024;  // a power of two

TestNode** slots;
size_t capacity;  // 0 before the first node
size_t used;

bool hasKey(const TestNode* node, int32_t fileIndex, uint64_t objectId) {
  return node->objectId == objectId && node->fileIndex == fileIndex;
}

// Identifiers are mostly small and consecutive; the mix spreads them over
// the whole table so that probe runs stay short.
size_t slotOf(int32_t fileIndex, uint64_t objectId) {
  uint64_t h = objectId ^ (static_cast<uint64_t>(static_cast<uint32_t>(fileIndex)) << 40);
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return static_cast<size_t>(h) & (capacity - 1);
}

void insertSlot(TestNode* node) {
  size_t i = slotOf(node->fileIndex, node->objectId);
  while (slots[i]) i = (i + 1) & (capacity - 1);
  slots[i] = node;
}

void grow() {
  TestNode** old = slots;
  size_t oldCapacity = capacity;
  capacity = capacity ? capacity * 2 : kInitialCapacity;
  slots = static_cast<TestNode**>(checkedMalloc(capacity * sizeof(TestNode*)));
  memset(slots, 0, capacity * sizeof(TestNode*));
  for (size_t i = 0; i < oldCapacity; ++i)
    if (old[i]) insertSlot(old[i]);
  free(old);
}

}  // namespace

int nodeKeyHash(int32_t fileIndex, uint64_t objectId) {
  constexpr int bucketCount = 97;
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
  putDigits(fileIndex < 0 ? 0 - static_cast<uint64_t>(fileIndex)
                          : static_cast<uint64_t>(fileIndex), 10);
  put('/');
  putDigits(objectId, 16);
  put('h');
  return static_cast<int>(sum % bucketCount);
}

bool registerNode(TestNode* node) {
  if (2 * (used + 1) > capacity) grow();
  size_t i = slotOf(node->fileIndex, node->objectId);
  for (; slots[i]; i = (i + 1) & (capacity - 1))
    if (hasKey(slots[i], node->fileIndex, node->objectId)) return false;
  slots[i] = node;
  ++used;
  return true;
}

TestNode* findNode(int32_t fileIndex, uint64_t objectId) {
  if (!capacity) return nullptr;
  for (size_t i = slotOf(fileIndex, objectId); slots[i]; i = (i + 1) & (capacity - 1))
    if (hasKey(slots[i], fileIndex, objectId)) return slots[i];
  return nullptr;
}

void releaseNodeTable() {
  free(slots);
  slots = nullptr;
  capacity = 0;
  used = 0;
}
