// Memory for what the model keeps until releaseModel: nodes, their names,
// counter records and notes. Blocks are cut from large chunks and returned
// all at once, so the millions of small objects of a big run cost neither a
// malloc and a header each nor a walk over the trees at release.
#pragma once

#include <cstddef>

// A zeroed block, aligned for any model record. Exhaustion ends the program
// through the out-of-memory diagnostic.
void* modelAlloc(size_t size);
// A copy of the NUL-terminated text in model memory.
char* modelCopyText(const char* text);
// Returns every block; none may be used afterwards.
void releaseModelMemory();

// A large zeroed array that is released on its own (the node table's slots,
// replaced as the table grows): fresh pages, so not zeroed a second time.
void* allocateZeroedArray(size_t size);
void releaseZeroedArray(void* array, size_t size);
