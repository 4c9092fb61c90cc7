// The number fields of both input formats.
#pragma once

#include <cstdint>

// The value of a digit in any base up to 36 (letters of either case count
// from 10); 99 for any other byte.
inline int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Converts like strtol: optional leading white space, optional sign, for
// base 16 an optional "0x" or "0X", then digits up to the first other byte.
// No digits give 0; values beyond the signed 64-bit range saturate.
int64_t convertNumber(const char* text, int base);

// A hexadecimal field of a symbol file, stored as the 64-bit two's-complement
// pattern of its value.
inline uint64_t hexField(const char* text) {
  return static_cast<uint64_t>(convertNumber(text, 16));
}

// A decimal field kept as a 32-bit integer: the low 32 bits of its value.
inline int32_t decimalField(const char* text) {
  return static_cast<int32_t>(static_cast<uint32_t>(convertNumber(text, 10)));
}

// A trace number: hexadecimal digits, "h" before them for least significant
// first, "h" after them as a suffix. Errors are written to standard error and
// the number counts as 0.
uint64_t parseTraceNumber(const char* text);
