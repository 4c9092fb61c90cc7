// One pass over the text, copying the runs between replaced characters.
#include "support/xml_escape.h"

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The replacement of the character at text[i] and its length in bytes, or
// null when it stays.
const char* replacementAt(std::string_view text, size_t i, XmlEscapeMode mode, size_t* length) {
  *length = 1;
  switch (text[i]) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return mode == HtmlText ? "&#39;" : nullptr;
    case '\t': return mode == XmlAttribute ? "&#9;" : nullptr;
    case '\n': return mode == XmlAttribute ? "&#10;" : nullptr;
    case '\r': return mode == HtmlText ? nullptr : "&#13;";
    case '\xEF':
      // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
      if (text.substr(i + 1, 1) == "\xBF" &&
          (text.substr(i + 2, 1) == "\xBE" || text.substr(i + 2, 1) == "\xBF")) {
        *length = 3;
        return kReplacement;
      }
      return nullptr;
    default:
      return static_cast<unsigned char>(text[i]) < 0x20 ? kReplacement : nullptr;
  }
}

}  // namespace

void appendEscapedXml(std::string* out, std::string_view text, XmlEscapeMode mode) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t length;
    const char* replacement = replacementAt(text, i, mode, &length);
    if (!replacement) continue;
    out->append(text.data() + run, i - run);
    out->append(replacement);
    i += length - 1;
    run = i + 1;
  }
  out->append(text.data() + run, text.size() - run);
}
