// A block of the page's data, compressed with zlib as it is appended and
// written out in base64. Compression is kept only when it pays: a small
// block that zlib does not make smaller stays as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

class CompressedBlock {
 public:
  CompressedBlock();
  ~CompressedBlock();
  CompressedBlock(const CompressedBlock&) = delete;
  CompressedBlock& operator=(const CompressedBlock&) = delete;

  void append(const void* bytes, size_t size);
  void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
  void appendByte(uint8_t byte) { append(&byte, 1); }
  // Unsigned LEB128: seven bits a byte, low first.
  void appendVarint(uint64_t value);
  // Byte length as a varint, then the bytes.
  void appendString(std::string_view text);

  // Ends the stream; nothing may be appended after.
  void finish();
  size_t rawSize() const { return rawSize_; }
  bool compressed() const { return compressed_; }
  // The block's bytes as written: compressed (zlib format) or raw.
  const std::string& bytes() const { return out_; }

 private:
  void deflateInput(bool last);

  struct Stream;
  std::unique_ptr<Stream> stream_;
  std::string input_;  // appended bytes not yet compressed
  std::string raw_;    // a copy of the first bytes, to fall back on
  std::string out_;
  size_t rawSize_ = 0;
  bool compressed_ = true;
};

// Appends value as an unsigned LEB128: seven bits a byte, low first.
void appendVarint(std::string* out, uint64_t value);

// Writes bytes in base64 (RFC 4648, with padding), without line breaks.
void writeBase64(FILE* out, const std::string& bytes);
