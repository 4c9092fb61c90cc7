// Members lists: encoding, and the bounded reading that trusts nothing of
// the bytes (see member_list.h).
#include "export/history/member_list.h"

namespace {

const char kMore[] = "hold more ids than its report had objects";
const char kNoList[] = "are no list of ids";
const char kOutOfRange[] = "hold an id out of range";
const char kTwice[] = "hold an id twice";

// The most bytes a varint of 64 bits takes.
const int kVarintBytes = 10;

void appendVarint(std::string* out, uint64_t value) {
  while (value >= 0x80) {
    *out += static_cast<char>(value | 0x80);
    value >>= 7;
  }
  *out += static_cast<char>(value);
}

}  // namespace

std::string encodeMembers(const std::vector<int64_t>& ids) {
  std::string varints;
  int64_t last = 0;
  for (const int64_t id : ids) {
    // Both above 0: the difference fits.
    const int64_t difference = id - last;
    const uint64_t doubled = static_cast<uint64_t>(difference) << 1;
    appendVarint(&varints, difference < 0 ? ~doubled : doubled);
    last = id;
  }
  uLongf size = compressBound(varints.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
            reinterpret_cast<const Bytef*>(varints.data()), varints.size(), Z_BEST_SPEED);
  packed.resize(size);
  return packed;
}

MemberReader::MemberReader(std::string packed, int64_t limit, MemberFormat format)
    : packed_(std::move(packed)), format_(format), limit_(limit) {
  // A sound list of limit ids deflates to no more than this.
  if (limit < 0 || packed_.size() > compressBound(static_cast<uLong>(limit) * kVarintBytes)) {
    stop(kMore);
    return;
  }
  z_.next_in = reinterpret_cast<Bytef*>(&packed_[0]);
  z_.avail_in = static_cast<uInt>(packed_.size());
  started_ = inflateInit(&z_) == Z_OK;
  if (!started_) stop(kNoList);
}

MemberReader::~MemberReader() {
  if (started_) inflateEnd(&z_);
}

bool MemberReader::fill() {
  if (fault_ || ended_) return false;
  z_.next_out = block_;
  z_.avail_out = sizeof block_;
  const int status = inflate(&z_, Z_NO_FLUSH);
  if (status == Z_STREAM_END) ended_ = true;
  else if (status != Z_OK) return stop(kNoList);  // damaged or cut short
  at_ = block_;
  end_ = z_.next_out;
  return true;
}

bool MemberReader::next(int64_t* id) {
  uint64_t value = 0;
  int shift = 0;
  for (;;) {
    if (at_ == end_) {
      if (fill()) continue;
      if (fault_) return false;
      // The end: neither a varint cut short nor bytes after the stream.
      if (shift != 0 || z_.avail_in != 0) return stop(kNoList);
      return false;
    }
    if (count_ == limit_) return stop(kMore);
    const unsigned char byte = *at_++;
    if (shift == 63 && byte > 1) return stop(kNoList);
    value |= static_cast<uint64_t>(byte & 0x7f) << shift;
    if (!(byte & 0x80)) break;
    shift += 7;
  }
  int64_t difference;
  if (format_ == MemberDifferences) {
    difference = static_cast<int64_t>(value >> 1);
    if (value & 1) difference = ~difference;
  } else {
    if (value > static_cast<uint64_t>(INT64_MAX)) return stop(kOutOfRange);
    difference = static_cast<int64_t>(value);
  }
  if (difference == 0) return stop(count_ == 0 ? kOutOfRange : kTwice);
  if (__builtin_add_overflow(last_, difference, &last_) || last_ < 1) return stop(kOutOfRange);
  ++count_;
  *id = last_;
  return true;
}
