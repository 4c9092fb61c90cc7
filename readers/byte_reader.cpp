#include "readers/byte_reader.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

ByteReader::ByteReader(const char* path)
    : file_(fopen(path, "rb")), buffer_(new unsigned char[kBufferSize]) {}

ByteReader::~ByteReader() {
  if (file_) fclose(file_);
}

int ByteReader::refill() {
  if (ended_ || !file_) return -1;
  // fread returns 0 at the end of the file and on an error alike (a
  // directory opens but fails with EISDIR); both end the input for good.
  end_ = fread(buffer_.get(), 1, kBufferSize, file_);
  pos_ = 0;
  if (end_ == 0) {
    ended_ = true;
    return -1;
  }
  return buffer_[pos_++];
}

char* readUntilEither(ByteReader& in, Token& token, char first, char second) {
  size_t length = 0;
  for (;;) {
    int c = in.get();
    if (c < 0 || c == static_cast<unsigned char>(first) ||
        c == static_cast<unsigned char>(second))
      break;
    if (c == '\n') continue;
    if (length < Token::capacity) token.text[length++] = static_cast<char>(c);
  }
  token.text[length] = '\0';
  return token.text;
}

char* readUntil(ByteReader& in, Token& token, char delimiter) {
  return readUntilEither(in, token, delimiter, delimiter);
}

char* readRestOfLine(ByteReader& in, Token& token) {
  return readUntil(in, token, '\n');
}

void skipByte(ByteReader& in) {
  in.get();
}

int64_t convertNumber(const char* text, int base) {
  const char* p = text;
  while (isSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digitValue(p[2]) < 16)
    p += 2;

  // The magnitude may reach 2^63 for a negative value, one more than the
  // largest positive one.
  const uint64_t limit = negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
  uint64_t magnitude = 0;
  bool overflow = false;
  // magnitude * base + d > limit, tested without a division per digit.
  for (int d; (d = digitValue(*p)) < base; ++p) {
    uint64_t next;
    if (__builtin_mul_overflow(magnitude, static_cast<uint64_t>(base), &next) ||
        __builtin_add_overflow(next, static_cast<uint64_t>(d), &next) || next > limit)
      overflow = true;
    else
      magnitude = next;
  }
  if (overflow) magnitude = limit;
  return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}
