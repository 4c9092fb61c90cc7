// The two input readers: symbol files build the trees, the trace file marks
// what ran. The file forms return 0 when the file was read, -1 when it
// cannot be opened; the others read bytes already at hand.
#pragma once

#include "readers/byte_reader.h"

#include <cstdint>

int readSymbolFile(const char* path, int32_t fileIndex);
// The tree is named after path, as readSymbolFile names it.
void readSymbols(ByteReader& in, const char* path, int32_t fileIndex);

int readTraceFile(const char* path);
void readTrace(ByteReader& in);

// Decodes the text of a NO record (beginning with a double quote): codec form
// or UTF-8, outer quotes dropped, escapes resolved. Returns a malloc'ed text
// in the local 8-bit encoding, or null when the decoded text is empty.
char* decodeNoteText(const char* text);
