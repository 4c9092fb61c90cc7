// zlib's deflate over 256 KiB pieces of input; level 6, the default, costs
// about a second for the data of a million-object report and halves what
// level 1 leaves.
#include "export/page/compressed_block.h"

#include <zlib.h>

namespace {

constexpr size_t kPiece = 256 * 1024;
constexpr size_t kRawKept = 64 * 1024;  // blocks up to this size may stay raw
constexpr int kLevel = 6;

}  // namespace

struct CompressedBlock::Stream {
  z_stream z{};
};

CompressedBlock::CompressedBlock() : stream_(new Stream) {
  deflateInit(&stream_->z, kLevel);
}

CompressedBlock::~CompressedBlock() { deflateEnd(&stream_->z); }

void CompressedBlock::append(const void* bytes, size_t size) {
  const char* p = static_cast<const char*>(bytes);
  if (rawSize_ < kRawKept) raw_.append(p, std::min(size, kRawKept - rawSize_));
  rawSize_ += size;
  input_.append(p, size);
  if (input_.size() >= kPiece) deflateInput(false);
}

void appendVarint(std::string* out, uint64_t value) {
  do {
    uint8_t byte = value & 0x7F;
    value >>= 7;
    if (value) byte |= 0x80;
    out->push_back(static_cast<char>(byte));
  } while (value);
}

void CompressedBlock::appendVarint(uint64_t value) {
  std::string bytes;
  ::appendVarint(&bytes, value);
  append(bytes);
}

void CompressedBlock::appendString(std::string_view text) {
  appendVarint(text.size());
  append(text);
}

void CompressedBlock::deflateInput(bool last) {
  z_stream& z = stream_->z;
  z.next_in = reinterpret_cast<Bytef*>(input_.data());
  z.avail_in = static_cast<uInt>(input_.size());
  char buffer[64 * 1024];
  int result;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
    out_.append(buffer, sizeof buffer - z.avail_out);
  } while (z.avail_out == 0 || (last && result != Z_STREAM_END));
  input_.clear();
}

void CompressedBlock::finish() {
  deflateInput(true);
  if (rawSize_ <= kRawKept && out_.size() >= rawSize_) {
    out_ = std::move(raw_);
    compressed_ = false;
  }
  raw_.clear();
  raw_.shrink_to_fit();
  input_.shrink_to_fit();
}

void writeBase64(FILE* out, const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  char line[4096];
  size_t used = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
    line[used++] = kDigits[v >> 18];
    line[used++] = kDigits[(v >> 12) & 63];
    line[used++] = kDigits[(v >> 6) & 63];
    line[used++] = kDigits[v & 63];
    if (used == sizeof line) {
      fwrite(line, 1, used, out);
      used = 0;
    }
  }
  if (i < n) {
    const uint32_t v = (uint32_t(p[i]) << 16) | (i + 1 < n ? uint32_t(p[i + 1]) << 8 : 0);
    line[used++] = kDigits[v >> 18];
    line[used++] = kDigits[(v >> 12) & 63];
    line[used++] = i + 1 < n ? kDigits[(v >> 6) & 63] : '=';
    line[used++] = '=';
  }
  fwrite(line, 1, used, out);
}
