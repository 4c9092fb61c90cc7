// Numbers in texts of the report and on the command line: decimal digits
// only (a leading '-' where the range allows negative values), no spaces,
// no '+', checked against a range before they can overflow; and the
// hexadecimal digits of XML character references, the same way.
//
//   parseDecimal("42", 0, 100, &v) -> true, 42;   "1e3", "", "-1" (min 0), "101" -> false
//   parseHexadecimal("20AC", 0x10FFFF, &v) -> true, 0x20AC;   "x1", "110000" -> false
#pragma once

#include <cstdint>
#include <string_view>

bool parseDecimal(std::string_view text, int64_t min, int64_t max, int64_t* value);
// One or more of 0-9, a-f, A-F, at most max (at least 0).
bool parseHexadecimal(std::string_view text, int64_t max, int64_t* value);

// True for one or more ASCII digits and nothing else.
bool isDigits(std::string_view text);
bool isHexDigits(std::string_view text);
