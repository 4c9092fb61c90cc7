// Number parsing with the range checked digit by digit.
#include "support/decimal.h"

namespace {

// The value of c as a digit in the radix (10 or 16), or -1.
int digitValue(char c, int radix) {
  if (c >= '0' && c <= '9') return c - '0';
  if (radix == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (radix == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool allDigits(std::string_view text, int radix) {
  if (text.empty()) return false;
  for (const char c : text)
    if (digitValue(c, radix) < 0) return false;
  return true;
}

// The digits accumulated as a negative number, whose range holds every
// int64_t, down to limit: false once they would pass it, so a
// text of any length stops there.
bool accumulate(std::string_view digits, int radix, int64_t limit, int64_t* value) {
  if (!allDigits(digits, radix)) return false;
  int64_t v = 0;
  for (const char c : digits) {
    const int digit = digitValue(c, radix);
    if (v < (limit + digit) / radix) return false;
    v = v * radix - digit;
  }
  if (v < limit) return false;
  *value = v;
  return true;
}

}  // namespace

bool parseDecimal(std::string_view text, int64_t min, int64_t max, int64_t* value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative && min >= 0) return false;
  int64_t v;
  if (!accumulate(text.substr(negative ? 1 : 0), 10, negative ? min : -max, &v)) return false;
  if (!negative) v = -v;
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

bool parseHexadecimal(std::string_view text, int64_t max, int64_t* value) {
  int64_t v;
  if (max < 0 || !accumulate(text, 16, -max, &v)) return false;
  *value = -v;
  return true;
}

bool isDigits(std::string_view text) { return allDigits(text, 10); }

bool isHexDigits(std::string_view text) { return allDigits(text, 16); }
