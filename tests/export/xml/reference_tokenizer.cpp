// The oracle of the differential test (see reference_tokenizer.h); its
// scans are those of the tokenizer before they were made faster.
#include "tests/export/xml/reference_tokenizer.h"

#include "support/decimal.h"
#include "support/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Byte classes of character data; the hot loop skips class Plain.
enum ByteClass : uint8_t { Plain, Space, Special, Control, High };

struct ByteClasses {
  ByteClass of[256];
  constexpr ByteClasses() : of() {
    for (int c = 0; c < 256; ++c)
      of[c] = c >= 0x80 ? High : c < 0x20 ? Control : Plain;
    of[int(' ')] = Space;
    of[int('\t')] = Space;
    of[int('\n')] = Special;
    of[int('\r')] = Special;
    of[int('<')] = Special;
    of[int('&')] = Special;
    of[int(']')] = Special;
  }
};
constexpr ByteClasses kClasses;

bool isSpaceByte(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// ASCII name bytes: 1 may start a name, 2 may only follow.
struct NameBytes {
  uint8_t of[128];
  constexpr NameBytes() : of() {
    for (int c = 'a'; c <= 'z'; ++c) of[c] = of[c - 'a' + 'A'] = 1;
    of[int('_')] = of[int(':')] = 1;
    for (int c = '0'; c <= '9'; ++c) of[c] = 2;
    of[int('-')] = of[int('.')] = 2;
  }
};
constexpr NameBytes kNameBytes;

bool isAsciiNameStart(unsigned char c) { return c < 0x80 && kNameBytes.of[c] == 1; }
bool isAsciiNameChar(unsigned char c) { return c < 0x80 && kNameBytes.of[c] != 0; }

bool isNameStart(uint32_t c) {
  if (c < 0x80) return isAsciiNameStart(static_cast<unsigned char>(c));
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(uint32_t c) {
  if (c < 0x80) return isAsciiNameChar(static_cast<unsigned char>(c));
  return isNameStart(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
         (c >= 0x203F && c <= 0x2040);
}

bool isXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Characters between two points of valid UTF-8: the bytes that are not
// continuation bytes (10xxxxxx), counted eight at a time.
int64_t countChars(const char* from, const char* to) {
  int64_t continuations = 0;
  const char* p = from;
  for (; to - p >= 8; p += 8) {
    uint64_t w;
    memcpy(&w, p, 8);
    // One bit per continuation byte, moved to each byte's low end and summed.
    const uint64_t marks = (w & ~(w << 1) & 0x8080808080808080ull) >> 7;
    continuations += static_cast<int64_t>((marks * 0x0101010101010101ull) >> 56);
  }
  for (; p < to; ++p)
    continuations += (static_cast<unsigned char>(*p) & 0xC0) == 0x80;
  return (to - from) - continuations;
}

bool startsWith(const char* p, const char* end, const char* literal) {
  const size_t n = strlen(literal);
  return static_cast<size_t>(end - p) >= n && memcmp(p, literal, n) == 0;
}

bool equalsIgnoringAsciiCase(std::string_view a, const char* b) {
  if (a.size() != strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

namespace reference {

XmlTokenizer::XmlTokenizer() = default;

XmlTokenizer::~XmlTokenizer() = default;

void XmlTokenizer::openBytes(std::string_view bytes) {
  capacity_ = bytes.size() + 1;
  buf_.reset(static_cast<char*>(malloc(capacity_)));
  if (!buf_) abort();
  memcpy(buf_.get(), bytes.data(), bytes.size());
  end_ = bytes.size();
  eof_ = true;
}

void XmlTokenizer::setLenientAttribute(std::string element, std::string attribute) {
  lenientElement_ = std::move(element);
  lenientAttribute_ = std::move(attribute);
}

// Every byte is in memory from the start.
bool XmlTokenizer::refill() { return false; }

void XmlTokenizer::newline(const char* afterLineFeed) {
  ++scanLines_;
  scanLineStart_ = afterLineFeed;
}

void XmlTokenizer::position(const char* at, int64_t* line, int64_t* column) const {
  if (scanLines_ && at < scanLineStart_) {
    // A fault reported before the token's last line end (an end tag that
    // matches none, found past "</A\n"): its line ends are counted again,
    // once per document.
    const char* end = buf_.get() + end_;
    const char* lineStart = nullptr;
    *line = line_;
    for (const char* q = tokenStart_; q < at; ++q) {
      if (*q == '\n' || (*q == '\r' && (q + 1 == end || q[1] != '\n'))) {
        ++*line;
        lineStart = q + 1;
      }
    }
    *column = lineStart ? 1 + countChars(lineStart, at) : column_ + countChars(tokenStart_, at);
  } else if (scanLines_) {
    *line = line_ + scanLines_;
    *column = 1 + countChars(scanLineStart_, at);
  } else {
    *line = line_;
    *column = column_ + countChars(tokenStart_, at);
  }
}

void XmlTokenizer::commit(const char* newPos) {
  position(newPos, &line_, &column_);
  pos_ = static_cast<size_t>(newPos - buf_.get());
}

XmlTokenizer::Step XmlTokenizer::failText(const char* at, std::string message) {
  message_ = std::move(message);
  token_.kind = XmlError;
  token_.text = message_;
  token_.name = {};
  token_.attributes.clear();
  position(at, &token_.line, &token_.column);
  state_ = Finished;
  return StepFailed;
}

XmlTokenizer::Step XmlTokenizer::fail(const char* at, const char* message) {
  return failText(at, message);
}

// The buffer ends at `at`: wait for more, or the file is cut off.
XmlTokenizer::Step XmlTokenizer::atEnd(const char* at) {
  if (!eof_) return StepMore;
  if (!readError_.empty()) return failText(at, readError_);
  if (!openStarts_.empty())
    return failText(at, "the file ends inside <" + openNames_.substr(openStarts_.back()) + ">");
  return fail(at, "the file ends inside markup");
}

const XmlToken& XmlTokenizer::next() {
  if (state_ == Finished) return token_;
  if (pendingEnd_) {
    pendingEnd_ = false;
    endName_.assign(openNames_, openStarts_.back());
    openNames_.resize(openStarts_.back());
    openStarts_.pop_back();
    if (openStarts_.empty()) state_ = AfterRoot;
    token_.kind = XmlEndTag;
    token_.name = endName_;
    token_.attributes.clear();
    return token_;
  }
  for (;;) {
    tokenStart_ = buf_.get() + pos_;
    scanLines_ = 0;
    produced_ = false;
    const Step step = scanToken();
    if (step == StepFailed) return token_;
    if (step == StepMore)
      refill();
    else if (produced_)
      return token_;
  }
}

XmlTokenizer::Step XmlTokenizer::scanToken() {
  const char* p = tokenStart_;
  const char* end = buf_.get() + end_;
  if (consumed_ + pos_ == 0 && bomLength_ == 0) {
    if (end - p < 3 && !eof_) return StepMore;
    if (startsWith(p, end, "\xEF\xBB\xBF")) {
      bomLength_ = 3;
      pos_ = 3;
      tokenStart_ = p = p + 3;
    }
  }
  if (p == end) {
    if (!eof_) return StepMore;
    if (!readError_.empty()) return failText(p, readError_);
    if (state_ == InRoot) return atEnd(p);
    if (state_ == BeforeRoot)
      return fail(p, consumed_ + end_ == bomLength_ ? "the file is empty" : "no root element");
    token_.kind = XmlEnd;
    token_.name = {};
    token_.text = {};
    token_.attributes.clear();
    position(p, &token_.line, &token_.column);
    state_ = Finished;
    produced_ = true;
    return StepDone;
  }
  if (*p != '<') return scanText(p);
  if (p + 1 == end) return atEnd(p + 1);
  switch (p[1]) {
    case '/': return scanEndTag(p);
    case '?': return scanProcessingInstruction(p);
    case '!': return scanMarkupDeclaration(p);
    default: return scanStartTag(p);
  }
}

XmlTokenizer::Step XmlTokenizer::lineEnd(const char*& p) {
  const char* end = buf_.get() + end_;
  if (*p == '\r') {
    if (p + 1 == end && !eof_) return StepMore;
    if (p + 1 < end && p[1] == '\n') ++p;
  }
  ++p;
  newline(p);
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::passCharacter(const char*& p, std::string* out,
                                               const char*& run) {
  const char* end = buf_.get() + end_;
  const unsigned char c = static_cast<unsigned char>(*p);
  if (c < 0x80) {
    if (c == 0) return fail(p, "a NUL byte");
    // An earlier generator wrote control characters as they were.
    if (out) {
      out->append(run, p);
      *out += kReplacement;
      run = p + 1;
    }
    ++p;
    return StepDone;
  }
  uint32_t cp;
  const int n = decodeUtf8(p, end, &cp);
  if (n == 0) return eof_ ? fail(p, "invalid UTF-8: the file ends inside a character") : StepMore;
  if (n < 0) return fail(p, "invalid UTF-8");
  if (!isXmlChar(cp)) return fail(p, "a character that XML does not allow");
  p += n;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::skipChar(const char*& p) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (c == '\n' || c == '\r') return lineEnd(p);
  if (c >= 0x80 || (c < 0x20 && c != '\t')) {
    const char* run = p;
    return passCharacter(p, nullptr, run);
  }
  ++p;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::skipSpace(const char*& p, bool* skipped) {
  const char* end = buf_.get() + end_;
  const char* start = p;
  for (;;) {
    if (p == end) return atEnd(p);
    if (*p == ' ' || *p == '\t') {
      ++p;
    } else if (*p == '\n' || *p == '\r') {
      const Step s = lineEnd(p);
      if (s != StepDone) return s;
    } else {
      break;
    }
  }
  *skipped = p != start;
  return StepDone;
}

// found: the word stands at p (and is passed); false when another text does.
XmlTokenizer::Step XmlTokenizer::keyword(const char*& p, const char* word, bool* found) {
  const char* end = buf_.get() + end_;
  const size_t n = strlen(word);
  const size_t available = static_cast<size_t>(end - p);
  if (memcmp(p, word, available < n ? available : n) != 0) {
    *found = false;
    return StepDone;
  }
  if (available < n) return atEnd(end);
  p += n;
  *found = true;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::expect(const char*& p, const char* literal,
                                        const char* message) {
  bool found;
  const Step s = keyword(p, literal, &found);
  if (s != StepDone) return s;
  return found ? StepDone : fail(p, message);
}

XmlTokenizer::Step XmlTokenizer::scanEq(const char*& p) {
  bool spaced;
  Step s = skipSpace(p, &spaced);
  if (s != StepDone) return s;
  s = expect(p, "=", "expected '=' after the attribute name");
  if (s != StepDone) return s;
  return skipSpace(p, &spaced);
}

// A quoted value of the XML declaration (no references, no line ends).
XmlTokenizer::Step XmlTokenizer::scanQuoted(const char*& p, std::string_view* value) {
  const char* end = buf_.get() + end_;
  if (*p != '"' && *p != '\'') return fail(p, "expected a quoted value");
  const char quote = *p;
  const char* start = ++p;
  for (;; ++p) {
    if (p == end) return atEnd(p);
    if (*p == quote) break;
    if (*p == '<' || *p == '&' || *p == '\n' || *p == '\r')
      return fail(p, "a malformed value in the XML declaration");
  }
  *value = std::string_view(start, static_cast<size_t>(p - start));
  ++p;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanName(const char*& p, std::string_view* name) {
  const char* end = buf_.get() + end_;
  const char* start = p;
  for (;;) {
    if (p == end) {
      if (!eof_) return StepMore;
      break;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool first = p == start;
    if (c < 0x80) {
      if (first ? !isAsciiNameStart(c) : !isAsciiNameChar(c)) break;
      ++p;
      continue;
    }
    uint32_t cp;
    const int n = decodeUtf8(p, end, &cp);
    if (n == 0 && !eof_) return StepMore;
    if (n <= 0 || !(first ? isNameStart(cp) : isNameChar(cp))) break;
    p += n;
  }
  if (p == start) return p == end ? atEnd(p) : fail(p, "expected a name");
  *name = std::string_view(start, static_cast<size_t>(p - start));
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanReference(const char*& p, std::string* out, bool* valid) {
  const char* end = buf_.get() + end_;
  const char* body = p + 1;
  constexpr size_t kLongest = 32;  // leading zeros allowed, within reason
  const size_t window = std::min(static_cast<size_t>(end - body), kLongest);
  const char* semi = static_cast<const char*>(memchr(body, ';', window));
  *valid = false;
  if (!semi) {
    if (window < kLongest && !eof_) return StepMore;
    message_ = "an '&' that starts no reference (write &amp;)";
    return StepDone;
  }
  const std::string_view text(body, static_cast<size_t>(semi - body));
  uint32_t c = 0;
  if (!text.empty() && text[0] == '#') {
    const bool hex = text.size() > 1 && text[1] == 'x';
    const std::string_view digits = text.substr(hex ? 2 : 1);
    if (digits.empty()) {
      message_ = "a character reference without digits";
      return StepDone;
    }
    if (hex ? !isHexDigits(digits) : !isDigits(digits)) {
      message_ = "a malformed character reference";
      return StepDone;
    }
    int64_t value = 0;
    const bool inRange = hex ? parseHexadecimal(digits, 0x10FFFF, &value)
                             : parseDecimal(digits, 0, 0x10FFFF, &value);
    c = static_cast<uint32_t>(value);
    if (!inRange || !isXmlChar(c)) {
      message_ = "a character reference to a character that XML does not allow";
      return StepDone;
    }
  } else if (text == "amp") {
    c = '&';
  } else if (text == "lt") {
    c = '<';
  } else if (text == "gt") {
    c = '>';
  } else if (text == "quot") {
    c = '"';
  } else if (text == "apos") {
    c = '\'';
  } else {
    bool isName = !text.empty() && isAsciiNameStart(static_cast<unsigned char>(text[0]));
    for (const char d : text) isName = isName && isAsciiNameChar(static_cast<unsigned char>(d));
    message_ = isName ? "an undefined entity &" + std::string(text) + ";"
                      : std::string("an '&' that starts no reference (write &amp;)");
    return StepDone;
  }
  appendUtf8(out, c);
  p = semi + 1;
  *valid = true;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanText(const char* p) {
  if (state_ != InRoot) return skipSpaceOutsideRoot(p);
  textScratch_.clear();
  bool nonSpace = false;
  const char* run = p;  // the bytes from here on are not in textScratch_ yet
  const char* end = buf_.get() + end_;
  for (;;) {
    if (p == end) {
      if (!eof_) return StepMore;
      break;  // cut off: the next scan reports it
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    const ByteClass kind = kClasses.of[c];
    if (kind == Plain || kind == Space) {
      nonSpace = nonSpace || kind == Plain;
      ++p;
      continue;
    }
    if (c == '<') break;
    const Step s = kind == Special ? scanTextSpecial(p, run, &nonSpace)
                                   : passCharacter(p, &textScratch_, run);
    if (s != StepDone) return s;
    nonSpace = nonSpace || kind != Special;
  }
  produceText(p, run, nonSpace);
  return StepDone;
}

// Outside the root element only white space may stand between markup.
XmlTokenizer::Step XmlTokenizer::skipSpaceOutsideRoot(const char* p) {
  const char* end = buf_.get() + end_;
  for (;;) {
    if (p == end) {
      if (!eof_) return StepMore;
      break;
    }
    if (*p == ' ' || *p == '\t') {
      ++p;
    } else if (*p == '\n' || *p == '\r') {
      const Step s = lineEnd(p);
      if (s != StepDone) return s;
    } else if (*p == '<') {
      break;
    } else {
      return fail(p, state_ == AfterRoot ? "text after the root element"
                     : seenMarkup_      ? "text before the root element"
                                        : "not an XML document");
    }
  }
  commit(p);
  return StepDone;
}

// A line end, "]" or "&" in character data. A carriage return becomes a
// line feed (with the one that may follow it), so the text is copied up to
// it; so is the text before a reference, which is replaced.
XmlTokenizer::Step XmlTokenizer::scanTextSpecial(const char*& p, const char*& run,
                                                 bool* nonSpace) {
  const char* end = buf_.get() + end_;
  switch (*p) {
    case '\n':
      ++p;
      newline(p);
      return StepDone;
    case '\r': {
      textScratch_.append(run, p);
      textScratch_ += '\n';
      const Step s = lineEnd(p);
      run = p;
      return s;
    }
    case ']':
      if (end - p < 3 && !eof_) return StepMore;
      if (startsWith(p, end, "]]>")) return fail(p, "']]>' in text");
      *nonSpace = true;
      ++p;
      return StepDone;
    default: {  // '&'
      textScratch_.append(run, p);
      bool valid;
      const Step s = scanReference(p, &textScratch_, &valid);
      if (s != StepDone) return s;
      if (!valid) return failText(p, message_);
      *nonSpace = true;
      run = p;
      return StepDone;
    }
  }
}

// The Text token of the bytes from the token's start to p: a view of the
// buffer when nothing had to be replaced, else textScratch_.
void XmlTokenizer::produceText(const char* p, const char* run, bool nonSpace) {
  token_.kind = XmlText;
  token_.name = {};
  token_.attributes.clear();
  if (textScratch_.empty()) {
    token_.text = std::string_view(tokenStart_, static_cast<size_t>(p - tokenStart_));
  } else {
    textScratch_.append(run, p);
    token_.text = textScratch_;
  }
  token_.whiteSpace = !nonSpace;
  token_.line = line_;
  token_.column = column_;
  commit(p);
  produced_ = true;
}

XmlTokenizer::Step XmlTokenizer::scanAttributeValue(const char*& p, std::string* scratch,
                                                    std::string_view* value, bool lenient) {
  const char* end = buf_.get() + end_;
  if (*p != '"' && *p != '\'') return fail(p, "expected a quoted attribute value");
  const char quote = *p++;
  const char* start = p;
  const char* run = p;
  scratch->clear();
  for (;;) {
    if (p == end) return atEnd(p);
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == static_cast<unsigned char>(quote)) {
      if (!lenient) break;
      // The value ends where another attribute or the tag's end follows.
      const char* q = p + 1;
      while (q < end && isSpaceByte(*q)) ++q;
      const bool spaced = q != p + 1;
      if (q + 1 >= end && !eof_) return StepMore;
      if (q == end || *q == '>' || (*q == '/' && q + 1 < end && q[1] == '>')) break;
      if (spaced && isAsciiNameStart(static_cast<unsigned char>(*q))) {
        while (q < end && isAsciiNameChar(static_cast<unsigned char>(*q))) ++q;
        while (q < end && isSpaceByte(*q)) ++q;
        if (q == end && !eof_) return StepMore;
        if (q < end && *q == '=') break;
      }
      ++p;
      continue;
    }
    const ByteClass kind = kClasses.of[c];
    if (kind == Plain || c == ' ') {
      ++p;
      continue;
    }
    if (kind == Control || kind == High) {
      const Step s = passCharacter(p, scratch, run);
      if (s != StepDone) return s;
      continue;
    }
    if (c == '\t' || c == '\n' || c == '\r') {
      scratch->append(run, p);
      *scratch += ' ';
      if (c == '\t') {
        ++p;
      } else {
        const Step s = lineEnd(p);
        if (s != StepDone) return s;
      }
      run = p;
    } else if (c == ']') {
      ++p;
    } else if (c == '<') {
      if (!lenient) return fail(p, "a '<' in an attribute value");
      ++p;
    } else {  // '&'
      scratch->append(run, p);
      const char* at = p;
      bool valid;
      const Step s = scanReference(p, scratch, &valid);
      if (s != StepDone) return s;
      if (!valid) {
        if (!lenient) return failText(at, message_);
        *scratch += '&';
        ++p;
      }
      run = p;
    }
  }
  if (scratch->empty()) {
    *value = std::string_view(start, static_cast<size_t>(p - start));
  } else {
    scratch->append(run, p);
    *value = *scratch;
  }
  ++p;
  return StepDone;
}

// Whether the tag being scanned has the attribute already: a look through
// the few that tags have, and beyond them an ordered set of the names, so
// that a tag of many attributes costs a logarithm per attribute, not the
// number of those before it.
bool XmlTokenizer::repeatedAttribute(std::string_view name) {
  constexpr size_t kLookedThrough = 16;
  const std::vector<XmlAttribute>& seen = token_.attributes;
  if (seen.size() < kLookedThrough) {
    for (const XmlAttribute& a : seen)
      if (a.name == name) return true;
    return false;
  }
  if (seen.size() == kLookedThrough) {
    attributeNames_.clear();
    for (const XmlAttribute& a : seen) attributeNames_.insert(a.name);
  }
  return !attributeNames_.insert(name).second;
}

XmlTokenizer::Step XmlTokenizer::scanStartTag(const char* p) {
  const char* end = buf_.get() + end_;
  const char* q = p + 1;
  std::string_view name;
  Step s = scanName(q, &name);
  if (s != StepDone) return s;
  if (state_ == AfterRoot) return fail(p, "a second root element");
  const bool lenientTag = !lenientElement_.empty() && name == lenientElement_;
  token_.attributes.clear();
  bool selfClosing = false;
  for (;;) {
    bool spaced;
    s = skipSpace(q, &spaced);
    if (s != StepDone) return s;
    if (*q == '>') {
      ++q;
      break;
    }
    if (*q == '/') {
      if (q + 1 == end) return atEnd(q + 1);
      if (q[1] != '>') return fail(q + 1, "expected '>' after '/'");
      q += 2;
      selfClosing = true;
      break;
    }
    if (!spaced) return fail(q, "expected white space, '>' or '/>'");
    const char* attributeStart = q;
    std::string_view attribute;
    s = scanName(q, &attribute);
    if (s != StepDone) return s;
    if (repeatedAttribute(attribute))
      return failText(attributeStart,
                      "the attribute " + std::string(attribute) + " is given twice");
    s = scanEq(q);
    if (s != StepDone) return s;
    const size_t index = token_.attributes.size();
    if (attributeScratch_.size() <= index) attributeScratch_.resize(index + 1);
    std::string_view value;
    s = scanAttributeValue(q, &attributeScratch_[index], &value,
                           lenientTag && attribute == lenientAttribute_);
    if (s != StepDone) return s;
    token_.attributes.push_back({attribute, value});
  }
  token_.kind = XmlStartTag;
  token_.name = name;
  token_.text = {};
  token_.line = line_;
  token_.column = column_;
  openStarts_.push_back(openNames_.size());
  openNames_.append(name);
  state_ = InRoot;
  pendingEnd_ = selfClosing;
  commit(q);
  produced_ = true;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanEndTag(const char* p) {
  const char* q = p + 2;
  std::string_view name;
  Step s = scanName(q, &name);
  if (s != StepDone) return s;
  bool spaced;
  s = skipSpace(q, &spaced);
  if (s != StepDone) return s;
  if (*q != '>') return fail(q, "expected '>' to end the end tag");
  ++q;
  if (openStarts_.empty())
    return failText(p, "the end tag </" + std::string(name) + "> has no start tag");
  const std::string_view open = std::string_view(openNames_).substr(openStarts_.back());
  if (open != name)
    return failText(p, "the end tag </" + std::string(name) + "> does not match <" +
                           std::string(open) + ">");
  token_.kind = XmlEndTag;
  token_.name = name;
  token_.text = {};
  token_.attributes.clear();
  token_.line = line_;
  token_.column = column_;
  openNames_.resize(openStarts_.back());
  openStarts_.pop_back();
  if (openStarts_.empty()) state_ = AfterRoot;
  commit(q);
  produced_ = true;
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanMarkupDeclaration(const char* p) {
  bool found;
  const char* q = p;
  Step s = keyword(q, "<!--", &found);
  if (s != StepDone) return s;
  if (found) return scanComment(q);
  s = keyword(q, "<![CDATA[", &found);
  if (s != StepDone) return s;
  if (found) {
    if (state_ != InRoot) return fail(p, "a CDATA section outside the root element");
    return scanCData(q);
  }
  s = keyword(q, "<!DOCTYPE", &found);
  if (s != StepDone) return s;
  if (found) return fail(p, "document type declarations are not supported");
  return fail(p, "a '<!' that starts no comment or CDATA section");
}

XmlTokenizer::Step XmlTokenizer::scanComment(const char* p) {
  const char* end = buf_.get() + end_;
  for (;;) {
    if (p == end) return atEnd(p);
    if (*p == '-') {
      if (end - p < 3 && !eof_) return StepMore;
      if (p + 1 < end && p[1] == '-') {
        if (p + 2 < end && p[2] == '>') break;
        return fail(p, "a '--' inside a comment");
      }
      ++p;
      continue;
    }
    const Step s = skipChar(p);
    if (s != StepDone) return s;
  }
  if (state_ == BeforeRoot) seenMarkup_ = true;
  commit(p + 3);
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanProcessingInstruction(const char* p) {
  const char* end = buf_.get() + end_;
  const char* q = p + 2;
  std::string_view target;
  Step s = scanName(q, &target);
  if (s != StepDone) return s;
  if (equalsIgnoringAsciiCase(target, "xml")) {
    // Every case of "xml" is reserved; only the lower case one declares.
    if (target != "xml")
      return failText(p, "the instruction target " + std::string(target) +
                             " is reserved (the XML declaration is written <?xml)");
    if (consumed_ + static_cast<uint64_t>(p - buf_.get()) != bomLength_)
      return fail(p, "an XML declaration that is not at the start of the file");
    return scanDeclaration(q);
  }
  bool spaced;
  s = skipSpace(q, &spaced);
  if (s != StepDone) return s;
  if (!spaced && *q != '?') return fail(q, "expected white space after the instruction's target");
  for (;;) {
    if (q == end) return atEnd(q);
    if (*q == '?') {
      if (q + 1 == end) return atEnd(q + 1);
      if (q[1] == '>') break;
      ++q;
      continue;
    }
    s = skipChar(q);
    if (s != StepDone) return s;
  }
  if (state_ == BeforeRoot) seenMarkup_ = true;
  commit(q + 2);
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanDeclaration(const char* p) {
  bool spaced;
  bool found;
  std::string_view value;
  Step s = skipSpace(p, &spaced);
  if (s != StepDone) return s;
  if (!spaced) return fail(p, "expected white space after '<?xml'");
  if ((s = expect(p, "version", "expected the version in the XML declaration")) != StepDone ||
      (s = scanEq(p)) != StepDone || (s = scanQuoted(p, &value)) != StepDone)
    return s;
  bool digits = value.size() > 2 && value.substr(0, 2) == "1.";
  for (size_t i = 2; digits && i < value.size(); ++i) digits = value[i] >= '0' && value[i] <= '9';
  if (!digits) return fail(p, "an XML version other than 1.x");
  if ((s = skipSpace(p, &spaced)) != StepDone) return s;
  if (spaced) {
    if ((s = keyword(p, "encoding", &found)) != StepDone) return s;
    if (found) {
      if ((s = scanEq(p)) != StepDone || (s = scanQuoted(p, &value)) != StepDone) return s;
      bool name = !value.empty() && isAsciiNameStart(static_cast<unsigned char>(value[0])) &&
                  value[0] != '_' && value[0] != ':';
      for (const char c : value)
        name = name && (isAsciiNameChar(static_cast<unsigned char>(c)) || c == '_') && c != ':';
      if (!name) return fail(p, "a malformed encoding name");
      if (!equalsIgnoringAsciiCase(value, "utf-8"))
        return failText(p, "the encoding " + std::string(value) + " is not supported (only UTF-8)");
      if ((s = skipSpace(p, &spaced)) != StepDone) return s;
    }
  }
  if (spaced) {
    if ((s = keyword(p, "standalone", &found)) != StepDone) return s;
    if (found) {
      if ((s = scanEq(p)) != StepDone || (s = scanQuoted(p, &value)) != StepDone) return s;
      if (value != "yes" && value != "no") return fail(p, "standalone must be yes or no");
      if ((s = skipSpace(p, &spaced)) != StepDone) return s;
    }
  }
  if ((s = expect(p, "?>", "expected '?>' to end the XML declaration")) != StepDone) return s;
  seenMarkup_ = true;
  commit(p);
  return StepDone;
}

XmlTokenizer::Step XmlTokenizer::scanCData(const char* p) {
  const char* end = buf_.get() + end_;
  const char* start = p;
  const char* run = p;
  textScratch_.clear();
  for (;;) {
    if (p == end) return atEnd(p);
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == ']') {
      if (end - p < 3 && !eof_) return StepMore;
      if (startsWith(p, end, "]]>")) break;
      ++p;
    } else if (c == '\r') {
      textScratch_.append(run, p);
      textScratch_ += '\n';
      const Step s = lineEnd(p);
      if (s != StepDone) return s;
      run = p;
    } else if (c == '\n') {
      ++p;
      newline(p);
    } else if (c >= 0x80 || (c < 0x20 && c != '\t')) {
      const Step s = passCharacter(p, &textScratch_, run);
      if (s != StepDone) return s;
    } else {
      ++p;
    }
  }
  token_.kind = XmlText;
  token_.name = {};
  token_.attributes.clear();
  if (textScratch_.empty()) {
    token_.text = std::string_view(start, static_cast<size_t>(p - start));
  } else {
    textScratch_.append(run, p);
    token_.text = textScratch_;
  }
  token_.whiteSpace = false;
  token_.line = line_;
  token_.column = column_;
  commit(p + 3);
  produced_ = true;
  return StepDone;
}

}  // namespace reference
