// The two input readers: symbol files build the trees, the trace file marks
// what ran. The file forms return 0 when the file was read, -1 when it
// cannot be opened; the others read bytes already at hand.
#pragma once

#include "model/model.h"
#include "readers/byte_reader.h"

#include <cstdint>

int readSymbolFile(Model& model, const char* path, int32_t fileIndex);
// The tree is named after path, as readSymbolFile names it.
void readSymbols(Model& model, ByteReader& in, const char* path, int32_t fileIndex);

int readTraceFile(Model& model, const char* path);
void readTrace(Model& model, ByteReader& in);
