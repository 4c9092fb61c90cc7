// Model memory: blocks of any size come zeroed, aligned and apart from each
// other, also beyond the size of one chunk and after a release; zeroed
// arrays come zeroed however often they are taken and given back.
#include "model/model_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Block {
  unsigned char* bytes;
  size_t size;
};

bool allZero(const unsigned char* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (bytes[i]) return false;
  return true;
}

// Fills blocks of mixed sizes (small records, names, one larger than a
// chunk) with their own pattern, then checks that no block overwrote another.
TEST(ModelMemory, BlocksAreZeroedAlignedAndApart) {
  auto memory = std::make_unique<ModelMemory>();
  std::vector<Block> blocks;
  const size_t sizes[] = {1, 7, 8, 20, 36, 128, 3000, 9u << 20, 0, 13};
  for (int round = 0; round < 3000; ++round) {
    size_t size = sizes[round % (sizeof sizes / sizeof sizes[0])];
    if (size > 4096 && round > 10) size = 64;  // one large block is enough
    auto* bytes = static_cast<unsigned char*>(memory->alloc(size));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 8, 0u) << size;
    ASSERT_TRUE(allZero(bytes, size)) << size;
    memset(bytes, round & 0xff, size);
    blocks.push_back({bytes, size});
  }
  for (size_t i = 0; i < blocks.size(); ++i)
    for (size_t j = 0; j < blocks[i].size; ++j)
      ASSERT_EQ(blocks[i].bytes[j], i & 0xff) << "block " << i << " byte " << j;
  // Fresh blocks of a new memory after a release are zeroed again.
  memory = std::make_unique<ModelMemory>();
  for (int round = 0; round < 1000; ++round) {
    auto* bytes = static_cast<unsigned char*>(memory->alloc(4000));
    ASSERT_TRUE(allZero(bytes, 4000)) << round;
    memset(bytes, 0xab, 4000);
  }
}

TEST(ModelMemory, TextCopiesAreIndependent) {
  ModelMemory memory;
  char text[] = "name \xC3\xB6";
  char* copy = memory.copyText(text);
  text[0] = 'N';
  EXPECT_STREQ(copy, "name \xC3\xB6");
  EXPECT_STREQ(memory.copyText(""), "");
}

TEST(ModelMemory, ZeroedArraysAreZeroedEachTime) {
  for (size_t size : {size_t(16), size_t(16) << 10, size_t(32) << 20, size_t(16) << 10}) {
    auto* bytes = static_cast<unsigned char*>(allocateZeroedArray(size));
    ASSERT_TRUE(allZero(bytes, size)) << size;
    memset(bytes, 0x5a, size);
    releaseZeroedArray(bytes, size);
  }
}

}  // namespace
