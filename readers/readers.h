// The two input readers: symbol files build the trees, the trace file marks
// what ran. Both return 0 when the file was read, -1 when it cannot be opened.
#pragma once

#include <QByteArray>
#include <cstdint>

int readSymbolFile(const char* path, int32_t fileIndex);
int readTraceFile(const char* path);

// A trace number: hexadecimal digits, "h" before them for least significant
// first, "h" after them as a suffix. Errors are written to standard error and
// the number counts as 0.
uint64_t parseTraceNumber(const char* text);

// Decodes the text of a NO record (beginning with a double quote): codec form
// or UTF-8, outer quotes dropped, escapes resolved. Returns a malloc'ed text
// in the local 8-bit encoding, or null when the decoded text is empty.
char* decodeNoteText(const char* text);
