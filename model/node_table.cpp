// The node table: every node by its key (file index, identifier), in one
// open-addressed table with linear probing that doubles when half full.
//
//   slots:  [ - ][ hash(0/2), node ][ hash(0/1a), node ][ - ][ hash(1/2), node ] ...
//
// The first node registered under a key is the one found; later nodes with
// the same key are refused (they stay in their trees). A slot keeps the full
// hash of its key beside the node, so probing past other keys and growing
// never touch the nodes themselves. A lookup costs one probe on average
// whatever the number of nodes, where 97 chains cost a walk that grows with
// it.
#include "model/node_table.h"

#include "model/model_memory.h"

namespace {

constexpr size_t kInitialCapacity = 1024;  // a power of two

struct Slot {
  uint64_t hash;
  TestNode* node;  // null: empty
};

Slot* slots;
size_t capacity;  // 0 before the first node
size_t used;

// Identifiers are mostly small and consecutive, and a trace visits them
// nearly in order. The mix spreads groups of eight consecutive identifiers
// over the whole table, so that probe runs stay short, while the members
// of a group keep neighbouring slots, so that nearby lookups share cache
// lines.
uint64_t keyHash(int32_t fileIndex, uint64_t objectId) {
  uint64_t h = (objectId >> 3) ^ (static_cast<uint64_t>(static_cast<uint32_t>(fileIndex)) << 40);
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h << 3 | (objectId & 7);
}

bool holdsKey(const Slot& slot, uint64_t hash, int32_t fileIndex, uint64_t objectId) {
  return slot.hash == hash && slot.node->objectId == objectId &&
         slot.node->fileIndex == fileIndex;
}

void grow() {
  Slot* old = slots;
  size_t oldCapacity = capacity;
  capacity = capacity ? capacity * 2 : kInitialCapacity;
  slots = static_cast<Slot*>(allocateZeroedArray(capacity * sizeof(Slot)));
  for (size_t i = 0; i < oldCapacity; ++i) {
    if (!old[i].node) continue;
    size_t j = old[i].hash & (capacity - 1);
    while (slots[j].node) j = (j + 1) & (capacity - 1);
    slots[j] = old[i];
  }
  releaseZeroedArray(old, oldCapacity * sizeof(Slot));
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
  uint64_t hash = keyHash(node->fileIndex, node->objectId);
  size_t i = hash & (capacity - 1);
  for (; slots[i].node; i = (i + 1) & (capacity - 1))
    if (holdsKey(slots[i], hash, node->fileIndex, node->objectId)) return false;
  slots[i] = {hash, node};
  ++used;
  return true;
}

TestNode* findNode(int32_t fileIndex, uint64_t objectId) {
  if (!capacity) return nullptr;
  uint64_t hash = keyHash(fileIndex, objectId);
  for (size_t i = hash & (capacity - 1); slots[i].node; i = (i + 1) & (capacity - 1))
    if (holdsKey(slots[i], hash, fileIndex, objectId)) return slots[i].node;
  return nullptr;
}

void releaseNodeTable() {
  releaseZeroedArray(slots, capacity * sizeof(Slot));
  slots = nullptr;
  capacity = 0;
  used = 0;
}
