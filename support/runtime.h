// Small services shared by every subsystem.
#pragma once

#include <cstddef>

// malloc that never returns null for a non-zero size: exhaustion ends the
// process through the out-of-memory diagnostic.
void* checkedMalloc(size_t size);

// True when stat() on the path succeeds (directories and unreadable files
// count as existing).
bool fileExists(const char* path);

// The last component of a path, as a new string the caller frees.
char* fileNameOf(const char* path);
