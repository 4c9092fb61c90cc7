// Buffered byte input and the token readers that both input readers share.
//
// Both formats are read by delimiters, not by lines: a token runs up to its
// delimiter byte, line feeds are dropped wherever they occur, and a token
// keeps at most 1023 bytes (the rest is read and dropped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The bytes of a file, read through one 64 KiB buffer straight from its
// descriptor, or of a block in memory. A read error counts as the end of the
// file, so no loop over get() can spin on a failing stream.
class ByteReader {
 public:
  explicit ByteReader(const char* path);
  // The bytes are not copied; they must outlive the reader.
  ByteReader(const void* bytes, size_t size);
  ~ByteReader();
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool isOpen() const { return data_ != nullptr; }

  // The next byte (0 to 255), or -1 at the end of the input.
  int get() { return pos_ < end_ ? data_[pos_++] : refill(); }

  // True once a read has met the end of the input (like feof: reading the
  // last byte does not yet set it).
  bool atEnd() const { return ended_; }

 private:
  int refill();

  int descriptor_ = -1;
  std::unique_ptr<unsigned char[]> buffer_;
  const unsigned char* data_ = nullptr;
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

// Reads up to the delimiter (consumed, not kept) or the end of the input.
char* readUntil(ByteReader& in, Token& token, char delimiter);
// The same with either of two delimiters.
char* readUntilEither(ByteReader& in, Token& token, char first, char second);
// Reads up to the line feed.
char* readRestOfLine(ByteReader& in, Token& token);
// Reads and discards one byte, whatever it is.
void skipByte(ByteReader& in);
