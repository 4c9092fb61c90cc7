// Whole files as byte strings, for tests that write inputs and read outputs.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Aborts when the file cannot be created: a test cannot go on without it.
inline void writeFile(const std::string& path, std::string_view bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) abort();
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// Empty when the file cannot be read.
inline std::string readFile(const std::string& path) {
  std::string bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char block[65536];
  for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
  fclose(file);
  return bytes;
}
