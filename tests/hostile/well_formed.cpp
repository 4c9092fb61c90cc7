// Checks, in one pass: UTF-8 encoding and the XML character range; one root
// element; start and end tags that match, with unique quoted attributes;
// references that are one of the five named entities or a character
// reference to an allowed character; no "<" in attribute values and no "]]>"
// in text; comments, processing instructions and CDATA sections.
#include "well_formed.h"

#include <cstdint>
#include <vector>

namespace {

bool isXmlChar(uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  if (c <= 0xD7FF) return true;
  if (c < 0xE000) return false;
  if (c <= 0xFFFD) return true;
  return c >= 0x10000 && c <= 0x10FFFF;
}

// Decodes the character at pos; false on a malformed or overlong sequence.
bool decodeUtf8(std::string_view s, size_t pos, uint32_t& c, size_t& length) {
  unsigned char b = static_cast<unsigned char>(s[pos]);
  uint32_t minimum;
  if (b < 0x80) {
    c = b, length = 1;
    return true;
  } else if ((b & 0xE0) == 0xC0) {
    c = b & 0x1F, length = 2, minimum = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    c = b & 0x0F, length = 3, minimum = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    c = b & 0x07, length = 4, minimum = 0x10000;
  } else {
    return false;
  }
  if (pos + length > s.size()) return false;
  for (size_t i = 1; i < length; ++i) {
    unsigned char t = static_cast<unsigned char>(s[pos + i]);
    if ((t & 0xC0) != 0x80) return false;
    c = (c << 6) | (t & 0x3F);
  }
  return c >= minimum;
}

bool isNameStart(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b == ':' || b >= 0x80;
}

bool isNameChar(unsigned char b) {
  return isNameStart(b) || (b >= '0' && b <= '9') || b == '-' || b == '.';
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class Checker {
 public:
  explicit Checker(std::string_view s) : s_(s) {}

  std::string run() {
    for (size_t pos = 0; pos < s_.size();) {
      uint32_t c;
      size_t length;
      if (!decodeUtf8(s_, pos, c, length)) return fault("malformed UTF-8");
      if (!isXmlChar(c)) return fault("character not allowed in XML", pos);
      pos += length;
    }
    if (s_.compare(0, 5, "<?xml") == 0 && !skipPast("?>")) return error_;
    bool rootSeen = false;
    while (pos_ < s_.size()) {
      if (s_[pos_] == '<') {
        if (!markup(rootSeen)) return error_;
      } else if (open_.empty()) {
        if (!isSpace(s_[pos_])) return fault("text outside the root element");
        ++pos_;
      } else if (!text()) {
        return error_;
      }
    }
    if (!open_.empty()) return fault("element " + open_.back() + " is not closed");
    if (!rootSeen) return fault("no root element");
    return std::string();
  }

 private:
  std::string fault(const std::string& what) { return fault(what, pos_); }
  std::string fault(const std::string& what, size_t at) {
    error_ = what + " at byte " + std::to_string(at);
    return error_;
  }
  bool fail(const std::string& what) {
    fault(what);
    return false;
  }

  bool skipPast(std::string_view end) {
    size_t found = s_.find(end, pos_ + 1);
    if (found == std::string_view::npos) return fail("unterminated markup");
    pos_ = found + end.size();
    return true;
  }

  bool name(std::string& out) {
    size_t start = pos_;
    if (pos_ >= s_.size() || !isNameStart(static_cast<unsigned char>(s_[pos_])))
      return fail("name expected");
    while (pos_ < s_.size() && isNameChar(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    out.assign(s_.substr(start, pos_ - start));
    return true;
  }

  bool spaces() {
    size_t start = pos_;
    while (pos_ < s_.size() && isSpace(s_[pos_])) ++pos_;
    return pos_ > start;
  }

  // A reference starting at the "&" at pos_.
  bool reference() {
    size_t semicolon = s_.find(';', pos_);
    if (semicolon == std::string_view::npos || semicolon - pos_ > 12)
      return fail("unterminated reference");
    std::string_view body = s_.substr(pos_ + 1, semicolon - pos_ - 1);
    if (body == "amp" || body == "lt" || body == "gt" || body == "quot" || body == "apos") {
      pos_ = semicolon + 1;
      return true;
    }
    if (body.size() < 2 || body[0] != '#') return fail("unknown entity");
    bool hex = body[1] == 'x';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return fail("empty character reference");
    uint32_t value = 0;
    for (char d : digits) {
      int v = d >= '0' && d <= '9' ? d - '0'
              : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
              : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                            : -1;
      if (v < 0) return fail("bad character reference");
      value = value * (hex ? 16 : 10) + static_cast<uint32_t>(v);
      if (value > 0x10FFFF) return fail("character reference out of range");
    }
    if (!isXmlChar(value)) return fail("character reference to a forbidden character");
    pos_ = semicolon + 1;
    return true;
  }

  bool text() {
    while (pos_ < s_.size() && s_[pos_] != '<') {
      if (s_[pos_] == '&') {
        if (!reference()) return false;
      } else if (s_.compare(pos_, 3, "]]>") == 0) {
        return fail("]]> in text");
      } else {
        ++pos_;
      }
    }
    return true;
  }

  bool attributeValue() {
    if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return fail("quote expected");
    char quote = s_[pos_++];
    while (pos_ < s_.size() && s_[pos_] != quote) {
      if (s_[pos_] == '<') return fail("< in an attribute value");
      if (s_[pos_] == '&') {
        if (!reference()) return false;
      } else {
        ++pos_;
      }
    }
    if (pos_ >= s_.size()) return fail("unterminated attribute value");
    ++pos_;
    return true;
  }

  bool startTag(bool& rootSeen) {
    ++pos_;  // "<"
    std::string element;
    if (!name(element)) return false;
    if (open_.empty()) {
      if (rootSeen) return fail("second root element");
      rootSeen = true;
    }
    std::vector<std::string> attributes;
    for (;;) {
      bool separated = spaces();
      if (pos_ >= s_.size()) return fail("unterminated start tag");
      if (s_[pos_] == '>') {
        ++pos_;
        open_.push_back(std::move(element));
        return true;
      }
      if (s_.compare(pos_, 2, "/>") == 0) {
        pos_ += 2;
        return true;
      }
      if (!separated) return fail("space expected before an attribute");
      std::string attribute;
      if (!name(attribute)) return false;
      for (const std::string& seen : attributes)
        if (seen == attribute) return fail("duplicate attribute " + attribute);
      attributes.push_back(attribute);
      spaces();
      if (pos_ >= s_.size() || s_[pos_] != '=') return fail("= expected");
      ++pos_;
      spaces();
      if (!attributeValue()) return false;
    }
  }

  bool endTag() {
    pos_ += 2;  // "</"
    std::string element;
    if (!name(element)) return false;
    spaces();
    if (pos_ >= s_.size() || s_[pos_] != '>') return fail("> expected");
    if (open_.empty() || open_.back() != element) return fail("mismatched end tag " + element);
    open_.pop_back();
    ++pos_;
    return true;
  }

  bool markup(bool& rootSeen) {
    if (s_.compare(pos_, 4, "<!--") == 0) {
      size_t end = s_.find("--", pos_ + 4);
      if (end == std::string_view::npos || s_.compare(end, 3, "-->") != 0)
        return fail("bad comment");
      pos_ = end + 3;
      return true;
    }
    if (s_.compare(pos_, 9, "<![CDATA[") == 0) {
      if (open_.empty()) return fail("CDATA outside the root element");
      return skipPast("]]>");
    }
    if (s_.compare(pos_, 2, "<?") == 0) {
      if (s_.compare(pos_, 5, "<?xml") == 0) return fail("misplaced XML declaration");
      return skipPast("?>");
    }
    if (s_.compare(pos_, 2, "<!") == 0) return fail("declarations are not expected");
    if (s_.compare(pos_, 2, "</") == 0) return endTag();
    return startTag(rootSeen);
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::vector<std::string> open_;
  std::string error_;
};

}  // namespace

std::string wellFormedError(std::string_view document) { return Checker(document).run(); }
