#include "export/page/json_text.h"

void appendJsonString(std::string* out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out->push_back('"');
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(c);
    } else if (u < 0x20 || c == '<') {
      out->append("\\u00");
      out->push_back(kHex[u >> 4]);
      out->push_back(kHex[u & 15]);
    } else {
      out->push_back(c);
    }
  }
  out->push_back('"');
}
