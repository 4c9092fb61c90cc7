// Model memory as a bump allocator over 4 MiB chunks mapped from the system:
// fresh mappings are already zero, and the kernel may back them with huge
// pages, which cuts the page faults of a large model. Sanitizer builds take
// one malloc per block instead, so that overflows between blocks are still
// caught.
#include "model/model_memory.h"

#include "support/diagnostics.h"
#include "support/runtime.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VELDORA_MODEL_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELDORA_MODEL_BLOCKS 1
#endif
#endif

#ifdef VELDORA_MODEL_BLOCKS

void* ModelMemory::alloc(size_t size) {
  void* block = checkedMalloc(size ? size : 1);
  memset(block, 0, size);
  blocks_.push_back(block);
  return block;
}

ModelMemory::~ModelMemory() {
  for (void* block : blocks_) free(block);
}

void* allocateZeroedArray(size_t size) {
  void* array = checkedMalloc(size);
  memset(array, 0, size);
  return array;
}

void releaseZeroedArray(void* array, size_t) { free(array); }

#else

#include <sys/mman.h>

namespace {

constexpr size_t kChunkSize = size_t(4) << 20;
constexpr size_t kAlignment = 8;  // enough for every model record

size_t roundUp(size_t size, size_t to) { return (size + to - 1) / to * to; }

// Zeroed pages straight from the system.
void* mapZeroed(size_t size) {
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) reportMessageS0(MsgOutOfMemory, NoLocation, 0);  // does not return
  madvise(memory, size, MADV_HUGEPAGE);  // a hint; ignored where unsupported
  return memory;
}

}  // namespace

// A mapped chunk starts with its header; blocks follow.
struct ModelMemory::Chunk {
  Chunk* next;
  size_t size;
};

void ModelMemory::newChunk(size_t blockSize) {
  const size_t header = roundUp(sizeof(Chunk), kAlignment);
  const size_t size = roundUp(header + blockSize, kChunkSize);
  void* memory = mapZeroed(size);
  Chunk* chunk = static_cast<Chunk*>(memory);
  chunk->next = chunks_;
  chunk->size = size;
  chunks_ = chunk;
  cursor_ = static_cast<char*>(memory) + header;
  limit_ = static_cast<char*>(memory) + size;
}

void* ModelMemory::alloc(size_t size) {
  size = roundUp(size ? size : 1, kAlignment);
  if (size > static_cast<size_t>(limit_ - cursor_)) newChunk(size);
  void* block = cursor_;
  cursor_ += size;
  return block;
}

ModelMemory::~ModelMemory() {
  while (Chunk* chunk = chunks_) {
    chunks_ = chunk->next;
    munmap(chunk, chunk->size);
  }
}

void* allocateZeroedArray(size_t size) { return mapZeroed(size ? size : 1); }

void releaseZeroedArray(void* array, size_t size) {
  if (array) munmap(array, size ? size : 1);
}

#endif

char* ModelMemory::copyText(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(alloc(size));
  memcpy(copy, text, size);
  return copy;
}
