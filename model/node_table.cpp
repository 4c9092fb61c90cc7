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

#include "model/model.h"
#include "model/model_memory.h"

#include <random>

namespace {

constexpr size_t kInitialCapacity = 1024;  // a power of two

// The 128-bit product of a and b, its halves folded into one.
uint64_t foldedProduct(uint64_t a, uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

}  // namespace

struct NodeTable::Slot {
  uint64_t hash;
  TestNode* node;  // null: empty
};

// The hash is keyed with random bits drawn for each table: identifiers come
// from the input, and a fixed mix can be inverted to make every key of a
// file land in one probe run, each insertion and lookup then walking all of
// it. Which node a key finds never depends on the key.
NodeTable::NodeTable() {
  std::random_device device;
  auto draw = [&device] { return uint64_t(device()) << 32 | device(); };
  k0_ = draw();
  k1_ = draw();
  k2_ = draw();
}

NodeTable::~NodeTable() { releaseZeroedArray(slots_, capacity_ * sizeof(Slot)); }

// Identifiers are mostly small and consecutive, and a trace visits them
// nearly in order. The mix spreads groups of eight consecutive identifiers
// over the whole table, so that probe runs stay short, while the members
// of a group keep neighbouring slots, so that nearby lookups share cache
// lines. A group holds at most eight keys of a file, whatever the input.
uint64_t NodeTable::keyHash(int32_t fileIndex, uint64_t objectId) const {
  const uint64_t group = objectId >> 3;
  const uint64_t file = static_cast<uint32_t>(fileIndex);
  const uint64_t h = foldedProduct(foldedProduct(group ^ k0_, file ^ k1_), group ^ k2_);
  return h << 3 | (objectId & 7);
}

namespace {

bool holdsKey(const TestNode* node, int32_t fileIndex, uint64_t objectId) {
  return node->objectId == objectId && node->fileIndex == fileIndex;
}

}  // namespace

void NodeTable::grow() {
  Slot* old = slots_;
  size_t oldCapacity = capacity_;
  capacity_ = capacity_ ? capacity_ * 2 : kInitialCapacity;
  slots_ = static_cast<Slot*>(allocateZeroedArray(capacity_ * sizeof(Slot)));
  for (size_t i = 0; i < oldCapacity; ++i) {
    if (!old[i].node) continue;
    size_t j = old[i].hash & (capacity_ - 1);
    while (slots_[j].node) j = (j + 1) & (capacity_ - 1);
    slots_[j] = old[i];
  }
  releaseZeroedArray(old, oldCapacity * sizeof(Slot));
}

bool NodeTable::add(TestNode* node) {
  if (2 * (used_ + 1) > capacity_) grow();
  uint64_t hash = keyHash(node->fileIndex, node->objectId);
  size_t i = hash & (capacity_ - 1);
  for (; slots_[i].node; i = (i + 1) & (capacity_ - 1))
    if (slots_[i].hash == hash && holdsKey(slots_[i].node, node->fileIndex, node->objectId))
      return false;
  slots_[i] = {hash, node};
  ++used_;
  return true;
}

TestNode* NodeTable::find(int32_t fileIndex, uint64_t objectId) const {
  if (!capacity_) return nullptr;
  uint64_t hash = keyHash(fileIndex, objectId);
  for (size_t i = hash & (capacity_ - 1); slots_[i].node; i = (i + 1) & (capacity_ - 1))
    if (slots_[i].hash == hash && holdsKey(slots_[i].node, fileIndex, objectId))
      return slots_[i].node;
  return nullptr;
}
