// Buffered byte input and the token readers that both input readers share.
//
// Both formats are read by delimiters, not by lines: a token runs up to its
// delimiter byte, line feeds are dropped wherever they occur, and a token
// keeps at most 1023 bytes (the rest is read and dropped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// A file read through one 64 KiB buffer. A read error counts as the end of
// the file, so no loop over get() can spin on a failing stream.
class ByteReader {
 public:
  explicit ByteReader(const char* path);
  ~ByteReader();
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool isOpen() const { return file_ != nullptr; }

  // The next byte (0 to 255), or -1 at the end of the file.
  int get() { return pos_ < end_ ? buffer_[pos_++] : refill(); }

  // True once a read has met the end of the file (like feof: reading the
  // last byte does not yet set it).
  bool atEnd() const { return ended_; }

 private:
  int refill();

  FILE* file_;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool ended_ = false;
};

// One token, NUL-terminated. Readers keep a few and reuse them from record
// to record, so reading allocates nothing.
struct Token {
  static constexpr size_t capacity = 1023;
  char text[capacity + 1];
};

// Reads up to the delimiter (consumed, not kept) or the end of the file.
char* readUntil(ByteReader& in, Token& token, char delimiter);
// The same with either of two delimiters.
char* readUntilEither(ByteReader& in, Token& token, char first, char second);
// Reads up to the line feed.
char* readRestOfLine(ByteReader& in, Token& token);
// Reads and discards one byte, whatever it is.
void skipByte(ByteReader& in);

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

// A hexadecimal field, stored as the 64-bit two's-complement pattern of its
// value.
inline uint64_t hexField(const char* text) {
  return static_cast<uint64_t>(convertNumber(text, 16));
}

// A decimal field kept as a 32-bit integer: the low 32 bits of its value.
inline int32_t decimalField(const char* text) {
  return static_cast<int32_t>(static_cast<uint32_t>(convertNumber(text, 10)));
}
