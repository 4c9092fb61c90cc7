// Shared by the reader tests: fixture paths, and inputs read from memory.
#pragma once

#include "readers/readers.h"
#include "tests/model_fixture.h"

#include <string>

// The trace number errors as they reach standard error.
inline constexpr char kNonHexa[] = "\nnon hexa digit found in number\n";
inline constexpr char kOverflow[] = "\n32 bits number overflow\n";

inline std::string fixture(const char* name) {
  return std::string(VELDORA_TEST_DATA) + "/" + name;
}

// Reads the bytes as the symbol file text.ots would be read.
inline void readSymbolText(Model& model, const std::string& bytes, int32_t fileIndex) {
  ByteReader in(bytes.data(), bytes.size());
  readSymbols(model, in, "text.ots", fileIndex);
}
