// UTF-8 decoding and encoding of one character, as XML and the reports use
// it: overlong forms, surrogates and values past U+10FFFF are invalid.
//
//   "\xC3\xA9" -> U+00E9, length 2;   "\xC3" alone -> 0 (cut off);   "\xC0\x80" -> -1
#pragma once

#include <cstdint>
#include <string>

// The UTF-8 sequence that starts at p, before end: its length (1 for an
// ASCII byte), 0 when end comes inside it, -1 when it is not valid UTF-8.
// The character goes to *c.
int decodeUtf8(const char* p, const char* end, uint32_t* c);

// Appends the UTF-8 bytes of c (at most U+10FFFF).
void appendUtf8(std::string* out, uint32_t c);

// True when the bytes are valid UTF-8 from start to end.
bool isValidUtf8(const std::string& bytes);
