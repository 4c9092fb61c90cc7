// The check that a written report is well-formed XML, for the hostile tests
// and the pipeline harness: the exporter's tokenizer over the whole
// document. The tokenizer reads raw control characters (reports of an
// earlier generator hold them); veldora must never write one, so here they
// are faults too.
#pragma once

#include "export/xml/xml_tokenizer.h"

#include <string>
#include <string_view>

// Empty when the bytes are a well-formed XML 1.0 document in UTF-8;
// otherwise the first fault and where it is.
inline std::string xmlFault(std::string_view document) {
  for (size_t i = 0; i < document.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(document[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
      return "a control character at byte " + std::to_string(i);
  }
  XmlTokenizer tokenizer;
  tokenizer.openBytes(document);
  for (;;) {
    const XmlToken& token = tokenizer.next();
    if (token.kind == XmlEnd) return std::string();
    if (token.kind == XmlError)
      return std::to_string(token.line) + ":" + std::to_string(token.column) + ": " +
             std::string(token.text);
  }
}
