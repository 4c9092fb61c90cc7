// Element writers of the report file. Every element goes straight to the
// stream; nothing is kept between calls.
//
//   <XROD:NODE name="push_pop" type="Test Case" state="ok" sum="1" icone="method.xpm"><TITLE LEVEL="2" TAG="nodex12" STYLE="Title3 Passed">
//   <LINK TARGET="src/stack line 20">
//   <TEXT>Test Case push_pop</TEXT>
//   </LINK>
//   </TITLE>
//   <CELL_TEXT STYLE="Array Passed">a&lt;b &amp; &quot;c&quot;&#10;d</CELL_TEXT>
//   <CELL STYLE="Array Failed"><LINK TARGET=" line 7">
//   <TEXT>pop</TEXT>
//   </LINK>
//   </CELL>
//
// Texts are simplified (white-space runs become one space, ends trimmed),
// encoded in UTF-8 and escaped by the shared escaper in its ReportText mode:
// "&", backslash-n, '"', "<" and ">" are replaced, and characters that XML
// 1.0 forbids become U+FFFD, so any input bytes give a well-formed file.
#include "report/xml_writer.h"

#include "model/model.h"
#include "support/utf8.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <charconv>

namespace {

namespace format = report_format;

// " NAME=\"" of an attribute.
void writeAttributeStart(FILE* file, const char* name) {
  putc(' ', file);
  fputs(name, file);
  fputs("=\"", file);
}


// A decimal number without the format parsing of fprintf.
void writeDecimal(FILE* file, int value) {
  char digits[12];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  fwrite(digits, 1, end.ptr - digits, file);
}

bool isAsciiSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

bool isAscii(const char* bytes) {
  for (; *bytes; ++bytes)
    if (static_cast<unsigned char>(*bytes) >= 0x80)
      return false;
  return true;
}

// True when the locale's codec decodes every ASCII byte to the character of
// the same code, so ASCII texts can skip decoding. Checked again only when
// the codec changes.
bool localCodecKeepsAscii() {
  static const QTextCodec* checked = nullptr;
  static bool keeps = false;
  const QTextCodec* codec = QTextCodec::codecForLocale();
  if (codec != checked) {
    char ascii[127];
    for (int i = 0; i < 127; ++i)
      ascii[i] = static_cast<char>(i + 1);
    keeps = codec->toUnicode(ascii, 127) == QString::fromLatin1(ascii, 127);
    checked = codec;
  }
  return keeps;
}

// The end of the text from p on in which white space comes only as single
// spaces between words: that much is simplified already.
const char* simplifiedRunEnd(const char* p) {
  for (;;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c > ' ') {
      ++p;
    } else if (c == ' ') {
      const unsigned char next = static_cast<unsigned char>(p[1]);
      if (next == '\0' || isAsciiSpace(next)) return p;
      p += 2;
    } else if (c == '\0' || isAsciiSpace(c)) {
      return p;
    } else {
      ++p;  // a control character: the escaper's
    }
  }
}

// writeEscaped for a text made only of ASCII bytes, without decoding or
// copies: the simplified runs go to the escaper as they are, with one space
// for the white space between them. Escaping a run alone gives what escaping
// the whole simplified text gives, because no replacement looks past a space.
void writeEscapedAscii(FILE* file, const char* p) {
  while (isAsciiSpace(static_cast<unsigned char>(*p))) ++p;
  while (*p) {
    const char* run = p;
    p = simplifiedRunEnd(p);
    writeEscapedXml(file, std::string_view(run, static_cast<size_t>(p - run)), ReportText);
    while (isAsciiSpace(static_cast<unsigned char>(*p))) ++p;
    if (*p) putc(' ', file);
  }
}

// The text in UTF-8, a surrogate without its partner encoded on its own
// (ED A0..BF xx) so that the escaper makes it U+FFFD; the toolkit's encoder
// would make it '?'.
std::string utf8Of(const QString& text) {
  const QChar* chars = text.constData();
  const int size = text.size();
  std::string out;
  out.reserve(static_cast<size_t>(size) + static_cast<size_t>(size) / 2);
  for (int i = 0; i < size; ++i) {
    char32_t c = chars[i].unicode();
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < size && chars[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(chars[i], chars[i + 1]);
      ++i;
    }
    appendUtf8(&out, c);
  }
  return out;
}

// "<NAME>"; no line feed.
void writeStartTag(FILE* file, const char* element) {
  putc('<', file);
  fputs(element, file);
  putc('>', file);
}

void writeTitleStart(FILE* file, int level, int style, int tagNumber) {
  const int styleNumber = level >= 4 ? 5 : level + 1;
  const char* suffix = style == StyleFailed   ? format::kFailedSuffix
                       : style == StylePassed ? format::kPassedSuffix
                                              : "";
  putc('<', file);
  fputs(format::kTitle, file);
  writeAttributeStart(file, format::kLevel);
  writeDecimal(file, level);
  putc('"', file);
  writeAttributeStart(file, format::kTag);
  fputs(format::kTitleTag, file);
  writeDecimal(file, tagNumber);
  putc('"', file);
  writeAttributeStart(file, format::kStyle);
  fputs(format::kTitleStyle, file);
  writeDecimal(file, styleNumber);
  fputs(suffix, file);
  fputs("\">\n", file);
}

}  // namespace

std::string escapedUtf8(const QString& text, XmlEscapeMode mode) {
  std::string out;
  appendEscapedXml(&out, utf8Of(text), mode);
  return out;
}

void writeCellStart(FILE* file, const char* element, int style) {
  putc('<', file);
  fputs(element, file);
  writeAttributeStart(file, format::kStyle);
  fputs(cellStyleName(style), file);
  fputs("\">", file);
}

void writeTag(FILE* file, const char* name, bool closing) {
  fputs(closing ? "</" : "<", file);
  fputs(name, file);
  fputs(">\n", file);
}

void writeEscaped(FILE* file, const QString& text) {
  // Short ASCII texts (the usual names, labels and words) go through the
  // byte writer: the same bytes without the simplified and encoded copies.
  // U+0000 cannot travel in a byte string and takes the long way.
  constexpr int kShort = 512;
  const int size = text.size();
  if (size < kShort) {
    char bytes[kShort];
    const QChar* chars = text.constData();
    int i = 0;
    for (; i < size; ++i) {
      const char16_t c = chars[i].unicode();
      if (c == 0 || c >= 0x80)
        break;
      bytes[i] = static_cast<char>(c);
    }
    if (i == size) {
      bytes[size] = '\0';
      writeEscapedAscii(file, bytes);
      return;
    }
  }
  writeEscapedXml(file, utf8Of(text.simplified()), ReportText);
}

void writeEscapedLocal(FILE* file, const char* bytes) {
  if (!bytes)
    return;
  if (isAscii(bytes) && localCodecKeepsAscii())
    writeEscapedAscii(file, bytes);
  else
    writeEscaped(file, QString::fromLocal8Bit(bytes));
}

void writeTextElement(FILE* file, const char* tag, const QString& text) {
  putc('<', file);
  fputs(tag, file);
  putc('>', file);
  writeEscaped(file, text);
  fputs("</", file);
  fputs(tag, file);
  fputs(">\n", file);
}

void writeNodeOpen(FILE* file, const QString& name, const QString& type, const char* state,
                   int sum, int icon) {
  putc('<', file);
  fputs(format::kNode, file);
  writeAttributeStart(file, format::kName);
  writeEscaped(file, name);
  putc('"', file);
  writeAttributeStart(file, format::kType);
  writeEscaped(file, type);
  putc('"', file);
  writeAttributeStart(file, format::kState);
  fputs(state ? state : "", file);
  putc('"', file);
  if (sum > 0) {
    writeAttributeStart(file, format::kSum);
    writeDecimal(file, sum);
    putc('"', file);
  }
  if (const char* icone = iconFile(icon)) {
    writeAttributeStart(file, format::kIcon);
    fputs(icone, file);
    putc('"', file);
  }
  putc('>', file);
}

void writeTextCell(FILE* file, const char* text, int style) {
  writeCellStart(file, format::kCellText, style);
  writeEscapedLocal(file, text);
  writeTag(file, format::kCellText, true);
}

void writeTextCell(FILE* file, const QString& text, int style) {
  writeCellStart(file, format::kCellText, style);
  writeEscaped(file, text);
  writeTag(file, format::kCellText, true);
}

void writeLinkStart(FILE* file, const char* linkFile, int line) {
  putc('<', file);
  fputs(format::kLink, file);
  writeAttributeStart(file, format::kTarget);
  writeEscapedLocal(file, linkFile);
  fputs(format::kLineSeparator, file);
  writeDecimal(file, line);
  fputs("\">", file);
}

void writeLinkCell(FILE* file, const char* text, int style, const char* linkFile, int line) {
  writeCellStart(file, format::kCell, style);
  writeLinkStart(file, linkFile, line);
  putc('\n', file);
  writeStartTag(file, format::kText);
  writeEscapedLocal(file, text);
  writeTag(file, format::kText, true);
  writeTag(file, format::kLink, true);
  writeTag(file, format::kCell, true);
}

void writeSectionStart(FILE* file, const char* tagPrefix, int tagNumber) {
  putc('<', file);
  fputs(format::kSection, file);
  writeAttributeStart(file, format::kTag);
  fputs(tagPrefix, file);
  writeDecimal(file, tagNumber);
  fputs("\">\n", file);
}

void writeCheckHeaderRow(FILE* file, int style, bool withMethod) {
  writeTag(file, format::kRow, false);
  if (withMethod)
    writeTextCell(file, QCoreApplication::translate("VELDORA Cell text", "Method"), style);
  writeTextCell(file, QCoreApplication::translate("VELDORA Cell text", "Expression"), style);
  writeTextCell(file, QCoreApplication::translate("VELDORA Cell text", "Status"), style);
  writeTextCell(file, QCoreApplication::translate("VELDORA Cell text", "Executed"), style);
  writeTextCell(file, QCoreApplication::translate("VELDORA Cell text", "Failed"), style);
  writeTextCell(file, QCoreApplication::translate("VELDORA Cell text", "Passed"), style);
  writeTag(file, format::kRow, true);
}

void writeTitle(FILE* file, const QString& text, int level, int style, int tagNumber) {
  writeTitleStart(file, level, style, tagNumber);
  writeTextElement(file, format::kText, text);
  writeTag(file, format::kTitle, true);
}

void writeLinkedTitle(FILE* file, const QString& text, int level, int style, int tagNumber,
                      const char* linkFile, int line) {
  writeTitleStart(file, level, style, tagNumber);
  writeLinkStart(file, linkFile, line);
  putc('\n', file);
  writeTextElement(file, format::kText, text);
  writeTag(file, format::kLink, true);
  writeTag(file, format::kTitle, true);
}

int cellStyleOf(int status) {
  switch (status) {
    case Failed: return StyleFailed;
    case Passed: return StylePassed;
    default: return StylePlain;
  }
}

const char* nodeStateCode(int status) {
  switch (status) {
    case Passed: return format::kPassed;
    case Failed: return format::kFailed;
    default: return format::kNotExecuted;
  }
}
