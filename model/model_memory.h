// Memory for what a model keeps until it is destroyed: nodes, their names,
// counter records and notes. Blocks are cut from large chunks and returned
// all at once, so the millions of small objects of a big run cost neither a
// malloc and a header each nor a walk over the trees at release.
#pragma once

#include <cstddef>
#include <vector>

class ModelMemory {
 public:
  ModelMemory() = default;
  ~ModelMemory();  // returns every block
  ModelMemory(const ModelMemory&) = delete;
  ModelMemory& operator=(const ModelMemory&) = delete;

  // A zeroed block, aligned for any model record. Exhaustion ends the
  // program through the out-of-memory diagnostic.
  void* alloc(size_t size);
  // A copy of the NUL-terminated text.
  char* copyText(const char* text);

 private:
  struct Chunk;
  void newChunk(size_t blockSize);

  Chunk* chunks_ = nullptr;
  char* cursor_ = nullptr;
  char* limit_ = nullptr;
  std::vector<void*> blocks_;  // sanitizer builds: one malloc per block
};

// A large zeroed array that is released on its own (the node table's slots,
// replaced as the table grows): fresh pages, so not zeroed a second time.
void* allocateZeroedArray(size_t size);
void releaseZeroedArray(void* array, size_t size);
