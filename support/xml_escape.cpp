// One pass over the text, handing on the runs between replaced characters.
#include "support/xml_escape.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool byteIn(std::string_view text, size_t i, unsigned char low, unsigned char high) {
  if (i >= text.size()) return false;
  const unsigned char c = static_cast<unsigned char>(text[i]);
  return c >= low && c <= high;
}

// The replacement of the character at text[i], or an empty view when it
// stays; *length is how many bytes it replaces.
std::string_view replacementAt(std::string_view text, size_t i, XmlEscapeMode mode,
                               size_t* length) {
  *length = 1;
  switch (text[i]) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return mode == HtmlText ? "&#39;" : "";
    case '\t': return mode == XmlAttribute ? "&#9;" : "";
    case '\n': return mode == XmlAttribute ? "&#10;" : "";
    case '\r': return mode == XmlAttribute || mode == XmlContent ? "&#13;" : "";
    case '\\':
      if (mode == ReportText && byteIn(text, i + 1, 'n', 'n')) {
        *length = 2;
        return "&#10;";
      }
      return "";
    case '\xED':
      // A surrogate: ED A0..BF 80..BF.
      if (byteIn(text, i + 1, 0xA0, 0xBF) && byteIn(text, i + 2, 0x80, 0xBF)) {
        *length = 3;
        return kReplacement;
      }
      return "";
    case '\xEF':
      // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
      if (byteIn(text, i + 1, 0xBF, 0xBF) && byteIn(text, i + 2, 0xBE, 0xBF)) {
        *length = 3;
        return kReplacement;
      }
      return "";
    default:
      return static_cast<unsigned char>(text[i]) < 0x20 ? kReplacement : "";
  }
}

// The bytes that replacementAt may replace in some mode; the loop below
// skips the others without asking it.
struct SpecialBytes {
  bool special[256] = {};
  constexpr SpecialBytes() {
    for (int c = 0; c < 0x20; ++c) special[c] = true;
    for (const char c : "&<>\"'\\\xED\xEF") special[static_cast<unsigned char>(c)] = true;
  }
};
constexpr SpecialBytes kSpecial;

// Calls emit(piece) with the escaped text piece by piece, in order.
template <typename Emit>
void escape(std::string_view text, XmlEscapeMode mode, Emit emit) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!kSpecial.special[static_cast<unsigned char>(text[i])]) continue;
    size_t length;
    const std::string_view replacement = replacementAt(text, i, mode, &length);
    if (replacement.empty()) continue;
    if (i > run) emit(text.substr(run, i - run));
    emit(replacement);
    i += length - 1;
    run = i + 1;
  }
  if (text.size() > run) emit(text.substr(run));
}

}  // namespace

void appendEscapedXml(std::string* out, std::string_view text, XmlEscapeMode mode) {
  escape(text, mode, [out](std::string_view piece) { out->append(piece); });
}

void writeEscapedXml(FILE* file, std::string_view text, XmlEscapeMode mode) {
  escape(text, mode,
         [file](std::string_view piece) { fwrite(piece.data(), 1, piece.size(), file); });
}
