#include "readers/byte_reader.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

ByteReader::ByteReader(const char* path) : descriptor_(open(path, O_RDONLY | O_CLOEXEC)) {
  if (descriptor_ < 0) return;
  buffer_.reset(new unsigned char[kBufferSize]);
  data_ = buffer_.get();
}

// An empty block still counts as open: it reads as an empty file.
ByteReader::ByteReader(const void* bytes, size_t size)
    : data_(size ? static_cast<const unsigned char*>(bytes) : reinterpret_cast<const unsigned char*>("")),
      end_(size) {}

ByteReader::~ByteReader() {
  if (descriptor_ >= 0) close(descriptor_);
}

int ByteReader::refill() {
  if (ended_ || descriptor_ < 0) {
    ended_ = true;
    return -1;
  }
  // The end of the file and an error (a directory opens but fails with
  // EISDIR) both end the input for good.
  ssize_t got;
  do
    got = read(descriptor_, buffer_.get(), kBufferSize);
  while (got < 0 && errno == EINTR);
  pos_ = 0;
  end_ = got > 0 ? static_cast<size_t>(got) : 0;
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
