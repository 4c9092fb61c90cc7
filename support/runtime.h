// Small services shared by every subsystem.
#pragma once

#include <cstddef>
#include <cstdint>

// malloc that never returns null for a non-zero size: exhaustion ends the
// process through the out-of-memory diagnostic.
void* checkedMalloc(size_t size);

// The device and inode that name a file.
struct FileIdentity {
  uint64_t device;
  uint64_t inode;
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
};

// True when stat() on the path succeeds (directories and unreadable files
// count as existing); the identity of the file then goes to *identity when
// it is given.
bool fileExists(const char* path, FileIdentity* identity = nullptr);

// The last component of a path, as a new string the caller frees.
char* fileNameOf(const char* path);
