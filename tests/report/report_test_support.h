// Helpers shared by the report tests: a stream into memory and whole files.
#pragma once

#include "tests/file_bytes.h"

#include <cstdio>
#include <cstdlib>
#include <string>

// A stream that writes into memory; text() closes it and returns the bytes.
class MemoryFile {
 public:
  MemoryFile() : file_(open_memstream(&data_, &size_)) {}
  ~MemoryFile() {
    if (file_) fclose(file_);
    free(data_);
  }
  FILE* get() const { return file_; }
  std::string text() {
    if (file_) fclose(file_);
    file_ = nullptr;
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};
