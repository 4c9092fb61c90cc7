// What the readers use to build the model: symbol files with their trees
// and records, trace bindings, notes and the global compiler texts.
#pragma once

#include "model/model.h"

#include <string>

// A new tree whose Test Driver root (identifier 1) is named after the file
// name of path up to its first dot.
void addSymbolFile(Model& model, int32_t fileIndex, const char* path);
void setFileChecksum(Model& model, int32_t fileIndex, uint64_t checksum1, uint64_t checksum2);
// Null texts leave the stored ones.
void setDriverInfo(Model& model, int32_t fileIndex, const char* directory, const char* fileName,
                   uint64_t value);
// A node under the node (fileIndex, parentId); dropped when there is no such
// parent. A key that is taken already keeps its first node in the table.
void addChildNode(Model& model, int32_t fileIndex, int32_t kind, uint64_t objectId,
                  const char* name, uint64_t parentId, int32_t line, uint64_t linkId);

// Gives the trace number to the symbol file with this checksum pair; a file
// bound already gets an extra record with the new number.
void bindTraceIndex(Model& model, int32_t traceIndex, uint64_t checksum1, uint64_t checksum2);
// The file index that the trace number selects; -1 when none.
int32_t fileIndexOfTrace(Model& model, int32_t traceIndex);

// Copies the text (which may hold byte 0) to the node; nothing when there is
// no node.
void appendNote(Model& model, int32_t fileIndex, uint64_t objectId, const std::string& text);
// The first text of the run counts; later ones are ignored.
void setCompilerVersion(Model& model, const char* text);
void setCompilationTime(Model& model, const char* text);
