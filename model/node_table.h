// The node table: finds a node by (file index, object identifier). The first
// node registered under a key stays the one found; later ones are refused.
#pragma once

#include <cstddef>
#include <cstdint>

struct TestNode;

class NodeTable {
 public:
  NodeTable();
  ~NodeTable();  // the nodes themselves belong to their trees
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;

  // Returns false (and keeps the table unchanged) when the key is taken.
  bool add(TestNode* node);
  // The first node registered under the key; null when there is none.
  TestNode* find(int32_t fileIndex, uint64_t objectId) const;

 private:
  struct Slot;
  uint64_t keyHash(int32_t fileIndex, uint64_t objectId) const;
  void grow();

  Slot* slots_ = nullptr;
  size_t capacity_ = 0;  // 0 before the first node
  size_t used_ = 0;
  uint64_t k0_, k1_, k2_;  // hash key
};
