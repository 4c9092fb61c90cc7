// Number fields:
//
//   symbol file   TC 2a "case" line=14 parent=1;   hexadecimal identifiers, decimal lines
//   trace file    OT h10 1                         h10 is 0x01, 10h is 0x10
#include "readers/numbers.h"

#include "support/diagnostics.h"

#include <QCoreApplication>

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Number errors are their own lines, outside the diagnostics' line form.
void reportNumberError(const QString& message) {
  writeToStandardError(QLatin1Char('\n') + message + QLatin1Char('\n'));
}

}  // namespace

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

uint64_t parseTraceNumber(const char* text) {
  uint64_t value = 0;
  int digits = 0;
  bool reversed = false;
  for (const char* p = text; *p; ++p) {
    if (digits > 8) {
      reportNumberError(QCoreApplication::translate("VELDORA", "32 bits number overflow"));
      return 0;
    }
    int d = digitValue(*p);
    if (d < 16) {
      // Reversed digits fill nibble after nibble from the low end; a ninth
      // one lands in bits 32 to 35, as in the ordinary notation.
      if (reversed) value |= uint64_t(d) << (4 * digits);
      else value = value * 16 + uint64_t(d);
      ++digits;
    } else if (*p == 'h' || *p == 'H') {
      // Leading: reversed notation. Trailing: a suffix after which one more
      // digit is still let through.
      if (digits == 0) reversed = true;
      else digits = 8;
    } else {
      reportNumberError(QCoreApplication::translate("VELDORA", "non hexa digit found in number"));
      return 0;
    }
  }
  return value;
}
