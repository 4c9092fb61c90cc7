#include "readers/byte_reader.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

ByteReader::ByteReader(const char* path) : file_(fopen(path, "rb")) {
  if (!file_) return;
  buffer_.reset(new unsigned char[kBufferSize]);
  data_ = buffer_.get();
}

// An empty block still counts as open: it reads as an empty file.
ByteReader::ByteReader(const void* bytes, size_t size)
    : data_(size ? static_cast<const unsigned char*>(bytes) : reinterpret_cast<const unsigned char*>("")),
      end_(size) {}

ByteReader::~ByteReader() {
  if (file_) fclose(file_);
}

int ByteReader::refill() {
  if (ended_ || !file_) {
    ended_ = true;
    return -1;
  }
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
