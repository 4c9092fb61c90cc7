// Decimal parsing with the range checked digit by digit.
#include "support/decimal.h"

bool parseDecimal(std::string_view text, int64_t min, int64_t max, int64_t* value) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (!isDigits(digits) || (negative && min >= 0)) return false;
  // Accumulated as a negative number, whose range holds every int64_t.
  const int64_t limit = negative ? min : -max;
  int64_t v = 0;
  for (const char c : digits) {
    const int digit = c - '0';
    if (v < (limit + digit) / 10) return false;
    v = v * 10 - digit;
  }
  if (v < limit) return false;
  if (!negative) v = -v;
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

bool isDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}
