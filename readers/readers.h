// The two input readers: symbol files build the trees, the trace file marks
// what ran. The file forms return 0 when the file was read, -1 when it
// cannot be opened; the others read bytes already at hand.
#pragma once

#include "model/model.h"
#include "readers/byte_reader.h"

#include <cstdint>
#include <optional>
#include <string>

int readSymbolFile(Model& model, const char* path, int32_t fileIndex);
// The tree is named after path, as readSymbolFile names it.
void readSymbols(Model& model, ByteReader& in, const char* path, int32_t fileIndex);

int readTraceFile(Model& model, const char* path);
void readTrace(Model& model, ByteReader& in);

// Decodes the text of a NO record (beginning with a double quote): codec form
// or UTF-8, outer quotes dropped, escapes resolved. Returns the text in the
// local 8-bit encoding (an escaped byte 0 included), or nothing when the
// decoded text is empty.
std::optional<std::string> decodeNoteText(const char* text);
