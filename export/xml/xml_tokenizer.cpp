// The XML tokenizer: one scan per token over a buffer refilled from the file.
//
//   <TABLE BORDER="1">            StartTag TABLE, BORDER = "1"
//   <CELL_TEXT STYLE="Array">a &amp; b</CELL_TEXT>
//                                 StartTag CELL_TEXT, Text "a & b", EndTag
//
// A token that runs past the buffer's end is scanned again from its start
// once the buffer is full again (it doubles when one token fills it), so no
// scan keeps state across refills and a token costs at most about twice its
// length, from a file or from a pipe. Positions: the line and column of the
// next token are kept up to date as tokens are taken, from the line ends and
// the continuation bytes that the scans meet anyway; only the place of an
// error is counted again, over its token's bytes.
#include "export/xml/xml_tokenizer.h"

#include "support/decimal.h"
#include "support/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBlockSize = 1 << 20;
const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Byte classes, one bit per scan that passes a byte of its class without a
// second look. The buffer ends in a NUL byte, in no class, so these runs stop
// there too and check for the buffer's end only once they stopped.
enum : uint8_t {
  kNameStart = 1,     // may start a name (ASCII)
  kNameChar = 2,      // may follow in a name (ASCII)
  kTextPlain = 4,     // character data other than white space and markup
  kTextSpace = 8,     // space and tab in character data
  kValuePlain = 16,   // stays as it is in an attribute value (quotes aside)
  kMarkupPlain = 32,  // ends nothing in a comment, an instruction or CDATA
  kSpace = 64,        // white space between markup, line ends too
};

struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of() {
    for (int c = ' '; c < 0x80; ++c) of[c] = kTextPlain | kValuePlain | kMarkupPlain;
    for (int c = 'a'; c <= 'z'; ++c) {
      of[c] |= kNameStart | kNameChar;
      of[c - 'a' + 'A'] |= kNameStart | kNameChar;
    }
    for (int c = '0'; c <= '9'; ++c) of[c] |= kNameChar;
    of[int('_')] |= kNameStart | kNameChar;
    of[int(':')] |= kNameStart | kNameChar;
    of[int('-')] |= kNameChar;
    of[int('.')] |= kNameChar;
    of[int(' ')] = kTextSpace | kValuePlain | kMarkupPlain | kSpace;
    of[int('\t')] = kTextSpace | kMarkupPlain | kSpace;
    of[int('\n')] = of[int('\r')] = kSpace;
    of[int('<')] &= ~(kTextPlain | kValuePlain);
    of[int('&')] &= ~(kTextPlain | kValuePlain);
    of[int('"')] &= ~kValuePlain;
    of[int('\'')] &= ~kValuePlain;
    of[int(']')] &= ~(kTextPlain | kMarkupPlain);  // "]]>" in text, the end of CDATA
    of[int('-')] &= ~kMarkupPlain;                 // the end of a comment
    of[int('?')] &= ~kMarkupPlain;                 // the end of an instruction
  }
};
constexpr ByteClasses kBytes;

bool in(const char* p, uint8_t classes) {
  return (kBytes.of[static_cast<unsigned char>(*p)] & classes) != 0;
}

// Past the bytes from p on that are in the classes. A copy of the cursor,
// kept in a register: a cursor passed by reference would be stored at
// every byte.
const char* skipIn(const char* p, uint8_t classes) {
  while (in(p, classes)) ++p;
  return p;
}

bool isAsciiNameStart(unsigned char c) { return kBytes.of[c] & kNameStart; }
bool isAsciiNameChar(unsigned char c) { return kBytes.of[c] & kNameChar; }

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

XmlTokenizer::XmlTokenizer() = default;

XmlTokenizer::~XmlTokenizer() {
  if (fd_ >= 0) close(fd_);
}

bool XmlTokenizer::openFile(const char* path, std::string* error) {
  fd_ = open(path, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    *error = strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = strerror(EISDIR);
    return false;
  }
  capacity_ = kBlockSize;
  buf_.reset(static_cast<char*>(malloc(capacity_ + 1)));
  if (!buf_) {
    *error = strerror(ENOMEM);
    return false;
  }
  buf_.get()[0] = '\0';
  return true;
}

void XmlTokenizer::openBytes(std::string_view bytes) {
  capacity_ = bytes.size();
  buf_.reset(static_cast<char*>(malloc(capacity_ + 1)));
  if (!buf_) abort();
  memcpy(buf_.get(), bytes.data(), bytes.size());
  end_ = bytes.size();
  buf_.get()[end_] = '\0';
  eof_ = true;
}

void XmlTokenizer::setLenientAttribute(std::string element, std::string attribute) {
  lenientElement_ = std::move(element);
  lenientAttribute_ = std::move(attribute);
}

bool XmlTokenizer::refill() {
  if (eof_) return false;
  if (pos_ > 0) {
    memmove(buf_.get(), buf_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    consumed_ += pos_;
    pos_ = 0;
  }
  if (end_ == capacity_) {
    // realloc moves the pages of a large block rather than copying them, so
    // a long token is not held twice while the buffer grows.
    char* bigger = static_cast<char*>(realloc(buf_.get(), capacity_ * 2 + 1));
    if (!bigger) {
      readError_ = "cannot read the file: a token too long for the memory";
      eof_ = true;
      return false;
    }
    static_cast<void>(buf_.release());
    buf_.reset(bigger);
    capacity_ *= 2;
  }
  // The unfinished token is scanned again only once at least as many bytes
  // have come as it holds: a pipe hands over a few KiB per read, and a long
  // token rescanned after each of them would cost the square of its length.
  // So each rescan follows a doubling, and a short token is handed on after
  // the first read that completes it, without waiting for a full buffer.
  const size_t before = end_;
  const size_t wanted = std::min(capacity_, before + std::max<size_t>(before, 1));
  while (end_ < wanted) {
    const ssize_t n = read(fd_, buf_.get() + end_, capacity_ - end_);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readError_ = std::string("cannot read the file: ") + strerror(errno);
    eof_ = true;
    break;
  }
  buf_.get()[end_] = '\0';
  return end_ > before;
}

void XmlTokenizer::newline(const char* afterLineFeed) {
  ++scanLines_;
  scanLineStart_ = afterLineFeed;
  scanContinuations_ = 0;
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

// Every byte of a token that is taken was checked to be UTF-8 on its way,
// its continuation bytes counted then: the column needs no second pass.
void XmlTokenizer::commit(const char* newPos) {
  if (scanLines_) {
    line_ += scanLines_;
    column_ = 1 + (newPos - scanLineStart_) - scanContinuations_;
  } else {
    column_ += (newPos - tokenStart_) - scanContinuations_;
  }
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
    // The end tag of a self-closing tag keeps the start tag's name, place
    // and view of the buffer, which stays as it is until the next scan.
    pendingEnd_ = false;
    openNames_.resize(openStarts_.back());
    openStarts_.pop_back();
    if (openStarts_.empty()) state_ = AfterRoot;
    token_.kind = XmlEndTag;
    token_.attributes.clear();
    return token_;
  }
  for (;;) {
    tokenStart_ = buf_.get() + pos_;
    scanLines_ = 0;
    scanContinuations_ = 0;
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
  scanContinuations_ += n - 1;
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

// The usual cases inline: no white space, or one space before the next name.
XmlTokenizer::Step XmlTokenizer::skipSpace(const char*& p, bool* skipped) {
  const char* q = p + (*p == ' ');
  if (!in(q, kSpace) && q != buf_.get() + end_) {
    *skipped = q != p;
    p = q;
    return StepDone;
  }
  return skipSpaceRun(p, skipped);
}

XmlTokenizer::Step XmlTokenizer::skipSpaceRun(const char*& p, bool* skipped) {
  const char* start = p;
  for (;;) {
    p = skipIn(p, kTextSpace);  // spaces and tabs
    if (*p != '\n' && *p != '\r') break;
    const Step s = lineEnd(p);
    if (s != StepDone) return s;
  }
  if (p == buf_.get() + end_) return atEnd(p);
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
  const Step s = skipSpace(p, &spaced);
  if (s != StepDone) return s;
  // skipSpace stopped before the buffer's end.
  if (*p != '=') return fail(p, "expected '=' after the attribute name");
  ++p;
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

// Passes the name at p. The callers make its view themselves, from their
// own copy of p: a view written here and read there as one would cost a
// stall of the store forwarding on every name.
XmlTokenizer::Step XmlTokenizer::scanName(const char*& p) {
  const char* start = p;
  // An ASCII name, the usual one, in one run; anything else as it comes.
  if (in(p, kNameStart)) {
    p = skipIn(p + 1, kNameChar);
    if (static_cast<unsigned char>(*p) < 0x80 && p != buf_.get() + end_) return StepDone;
  }
  return scanNameRest(start, p);
}

// The name from start on, past its bytes up to p, which are ASCII.
XmlTokenizer::Step XmlTokenizer::scanNameRest(const char* start, const char*& p) {
  const char* end = buf_.get() + end_;
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
    scanContinuations_ += n - 1;
  }
  if (p == start) return p == end ? atEnd(p) : fail(p, "expected a name");
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
    p = skipIn(p, kTextSpace);
    if (in(p, kTextPlain)) {
      nonSpace = true;
      p = skipIn(p + 1, kTextPlain | kTextSpace);
    }
    if (*p == '<') break;
    if (*p == '\n') {
      ++p;
      newline(p);
      continue;
    }
    if (p == end) {
      if (!eof_) return StepMore;
      break;  // cut off: the next scan reports it
    }
    // A raw control character or one of several bytes is text too.
    const bool special = *p == '\r' || *p == '&' || *p == ']';
    const Step s = special ? scanTextSpecial(p, run, &nonSpace)
                           : passCharacter(p, &textScratch_, run);
    if (s != StepDone) return s;
    nonSpace = nonSpace || !special;
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

// A carriage return, "]" or "&" in character data. A carriage return becomes
// a line feed (with the one that may follow it), so the text is copied up to
// it; so is the text before a reference, which is replaced.
XmlTokenizer::Step XmlTokenizer::scanTextSpecial(const char*& p, const char*& run,
                                                 bool* nonSpace) {
  const char* end = buf_.get() + end_;
  switch (*p) {
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

// A quoted attribute value: a view of the buffer when the value stands
// there as it is, else decoded into the scratch string of its attribute.
XmlTokenizer::Step XmlTokenizer::scanAttributeValue(const char*& p, size_t index,
                                                    std::string_view* value, bool lenient) {
  if (*p != '"' && *p != '\'') return fail(p, "expected a quoted attribute value");
  const char quote = *p++;
  const char* start = p;
  const char* run = p;             // the bytes from here on are not in *scratch yet
  std::string* scratch = nullptr;  // taken at the first byte that may need decoding
  for (;;) {
    p = skipIn(p, kValuePlain);
    if (p == buf_.get() + end_) return atEnd(p);
    if (*p == quote) {
      bool ends = true;
      const Step s = lenient ? lenientValueEnds(p, &ends) : StepDone;
      if (s != StepDone) return s;
      if (ends) break;
      ++p;
    } else if (*p == '"' || *p == '\'') {  // the other quote
      ++p;
    } else {
      if (!scratch) scratch = valueScratch(index);
      const Step s = scanValueSpecial(p, scratch, run, lenient);
      if (s != StepDone) return s;
    }
  }
  if (!scratch || scratch->empty()) {
    *value = std::string_view(start, static_cast<size_t>(p - start));
  } else {
    scratch->append(run, p);
    *value = *scratch;
  }
  ++p;
  return StepDone;
}

// The lenient attribute's value ends at a quote (at p) only where another
// attribute or the tag's end follows.
XmlTokenizer::Step XmlTokenizer::lenientValueEnds(const char* p, bool* ends) {
  const char* end = buf_.get() + end_;
  const char* q = p + 1;
  q = skipIn(q, kSpace);
  const bool spaced = q != p + 1;
  if (q + 1 >= end && !eof_) return StepMore;
  *ends = q == end || *q == '>' || (*q == '/' && q + 1 < end && q[1] == '>');
  if (!*ends && spaced && in(q, kNameStart)) {
    q = skipIn(skipIn(q + 1, kNameChar), kSpace);
    if (q == end && !eof_) return StepMore;
    *ends = *q == '=';
  }
  return StepDone;
}

// The scratch string of the attribute at index, emptied.
std::string* XmlTokenizer::valueScratch(size_t index) {
  if (attributeScratch_.size() <= index) attributeScratch_.resize(index + 1);
  std::string* scratch = &attributeScratch_[index];
  scratch->clear();
  return scratch;
}

// A byte of an attribute value that does not stay as it is: white space
// becomes a space and a reference its character; a raw control character
// becomes U+FFFD, and any other character is checked.
XmlTokenizer::Step XmlTokenizer::scanValueSpecial(const char*& p, std::string* scratch,
                                                  const char*& run, bool lenient) {
  const char c = *p;
  if (c == '\t' || c == '\n' || c == '\r') {
    scratch->append(run, p);
    *scratch += ' ';
    if (c == '\t') {
      ++p;
    } else {
      const Step s = lineEnd(p);
      if (s != StepDone) return s;
    }
  } else if (c == '<') {
    if (!lenient) return fail(p, "a '<' in an attribute value");
    ++p;
    return StepDone;
  } else if (c == '&') {
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
  } else {  // a control character, or one that is not ASCII
    return passCharacter(p, scratch, run);
  }
  run = p;
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
  Step s = scanName(q);
  if (s != StepDone) return s;
  const std::string_view name(p + 1, static_cast<size_t>(q - (p + 1)));
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
    s = scanAttribute(q, lenientTag);
    if (s != StepDone) return s;
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

// One attribute of a start tag, from its name at p: added to the token.
XmlTokenizer::Step XmlTokenizer::scanAttribute(const char*& p, bool lenientTag) {
  const char* start = p;
  Step s = scanName(p);
  if (s != StepDone) return s;
  const std::string_view name(start, static_cast<size_t>(p - start));
  if (repeatedAttribute(name))
    return failText(start, "the attribute " + std::string(name) + " is given twice");
  s = scanEq(p);
  if (s != StepDone) return s;
  // Its value is written in place (a tag cut off by the buffer's end is
  // scanned again from its start, its attributes from none).
  XmlAttribute& attribute = token_.attributes.emplace_back();
  attribute.name = name;
  return scanAttributeValue(p, token_.attributes.size() - 1, &attribute.value,
                            lenientTag && name == lenientAttribute_);
}

XmlTokenizer::Step XmlTokenizer::scanEndTag(const char* p) {
  const char* q = p + 2;
  Step s = scanName(q);
  if (s != StepDone) return s;
  const std::string_view name(p + 2, static_cast<size_t>(q - (p + 2)));
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
    p = skipIn(p, kMarkupPlain);
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
  Step s = scanName(q);
  if (s != StepDone) return s;
  const std::string_view target(p + 2, static_cast<size_t>(q - (p + 2)));
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
    q = skipIn(q, kMarkupPlain);
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
    p = skipIn(p, kMarkupPlain);
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
