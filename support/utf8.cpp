// One character of UTF-8 at a time; the callers' loops skip ASCII runs
// themselves where speed counts.
#include "support/utf8.h"

int decodeUtf8(const char* p, const char* end, uint32_t* c) {
  const unsigned char first = static_cast<unsigned char>(*p);
  if (first < 0x80) {
    *c = first;
    return 1;
  }
  int length;
  uint32_t value;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
    value = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    value = first & 0x0F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    value = first & 0x07;
  } else {
    return -1;
  }
  for (int i = 1; i < length; ++i) {
    if (p + i >= end) return 0;
    const unsigned char next = static_cast<unsigned char>(p[i]);
    if ((next & 0xC0) != 0x80) return -1;
    value = (value << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF.
  if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF))
    return -1;
  *c = value;
  return length;
}

void appendUtf8(std::string* out, uint32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool isValidUtf8(const std::string& bytes) {
  const char* end = bytes.data() + bytes.size();
  for (const char* p = bytes.data(); p < end;) {
    uint32_t c;
    const int n = decodeUtf8(p, end, &c);
    if (n <= 0) return false;
    p += n;
  }
  return true;
}
