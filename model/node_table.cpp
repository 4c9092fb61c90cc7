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

#include <random>

namespace {

constexpr size_t kInitialCapacity = 1024;  // a power of two

struct Slot {
  uint64_t hash;
  TestNode* node;  // null: empty
};

Slot* slots;
size_t capacity;  // 0 before the first node
size_t used;

// The hash is keyed with random bits drawn once per process: identifiers
// come from the input, and a fixed mix can be inverted to make every key of
// a file land in one probe run, each insertion and lookup then walking all
// of it. Which node a key finds never depends on the key.
struct HashKey {
  uint64_t k0, k1, k2;
};

const HashKey& hashKey() {
  static const HashKey key = [] {
    std::random_device device;
    auto draw = [&device] { return uint64_t(device()) << 32 | device(); };
    return HashKey{draw(), draw(), draw()};
  }();
  return key;
}

// The 128-bit product of a and b, its halves folded into one.
uint64_t foldedProduct(uint64_t a, uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

// Identifiers are mostly small and consecutive, and a trace visits them
// nearly in order. The mix spreads groups of eight consecutive identifiers
// over the whole table, so that probe runs stay short, while the members
// of a group keep neighbouring slots, so that nearby lookups share cache
// lines. A group holds at most eight keys of a file, whatever the input.
uint64_t keyHash(int32_t fileIndex, uint64_t objectId) {
  const HashKey& key = hashKey();
  const uint64_t group = objectId >> 3;
  const uint64_t file = static_cast<uint32_t>(fileIndex);
  const uint64_t h = foldedProduct(foldedProduct(group ^ key.k0, file ^ key.k1), group ^ key.k2);
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
