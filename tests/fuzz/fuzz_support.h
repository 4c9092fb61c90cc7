// Shared by the harnesses: scratch files (the readers take paths), the
// application object, checks of the model and of written documents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "tests/file_bytes.h"

// Creates the application object, as the program does before anything else.
void startApplication(int* argc, char*** argv);

// A path in the harness's private scratch folder (made on first use and
// removed at exit).
std::string scratchPath(const char* name);

// The input cut at every "\n@@\n": the parts of a multi-file input.
std::vector<std::string_view> splitParts(const uint8_t* data, size_t size);

// Aborts unless every tree is consistent: parent and child links agree,
// lastChild ends each chain and statuses are TestStatus values. namesAsRead:
// names also keep the reader's length limit (stub relinking lengthens them).
void checkModel(const Model& model, bool namesAsRead);

// Aborts with the fault when the document is not well-formed.
void checkWellFormed(std::string_view document, const char* what);
