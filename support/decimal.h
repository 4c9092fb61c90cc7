// Decimal numbers in texts of the report and on the command line: digits
// only (a leading '-' where the range allows negative values), no spaces,
// no '+', checked against a range before they can overflow.
//
//   parseDecimal("42", 0, 100, &v) -> true, 42;   "1e3", "", "-1" (min 0), "101" -> false
#pragma once

#include <cstdint>
#include <string_view>

bool parseDecimal(std::string_view text, int64_t min, int64_t max, int64_t* value);

// True for one or more ASCII digits and nothing else.
bool isDigits(std::string_view text);
