// A small XML well-formedness check for report files, with its own stack so
// that documents nested a million levels deep are checked like flat ones.
#pragma once

#include <string>
#include <string_view>

// Empty when the bytes are a well-formed XML 1.0 document in UTF-8 without a
// document type declaration; otherwise the first fault and its byte offset.
// Namespace prefixes are plain name characters: they need no declaration.
std::string wellFormedError(std::string_view document);
