// A streaming XML 1.0 tokenizer: start tags, end tags and text, read from a
// file in blocks, for documents far larger than memory.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <XROD><NODE a="x &amp; y">text &lt; &#10;more<EMPTY/></NODE></XROD>
//
// gives StartTag XROD, StartTag NODE (a = "x & y"), Text "text < \nmore",
// StartTag EMPTY, EndTag EMPTY, EndTag NODE, EndTag XROD, End.
//
// Every document that is not well-formed ends in an Error token with the
// line and column of the fault. Names are taken as they are (no namespace
// processing: "XROD:NODE" is one name). Comments and processing instructions
// are checked and skipped; CDATA sections come as text. Not supported, and so
// errors: document type declarations and encodings other than UTF-8.
// Two leniencies, for files of an earlier generator: raw control characters
// that XML forbids read as U+FFFD, and one attribute can be named whose value
// may hold raw quotes, "<" and "&" (see setLenientAttribute).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum XmlTokenKind { XmlStartTag, XmlEndTag, XmlText, XmlEnd, XmlError };

struct XmlAttribute {
  std::string_view name;
  std::string_view value;  // references replaced, white space characters made spaces
};

struct XmlToken {
  XmlTokenKind kind = XmlEnd;
  std::string_view name;  // of a tag
  // The text of a Text token (line ends made line feeds, references
  // replaced); the message of an Error token.
  std::string_view text;
  bool whiteSpace = false;  // a Text token of spaces, tabs and line ends only
  int64_t line = 1;         // where the token (or the fault) begins, from 1
  int64_t column = 1;       // in characters, from 1
  std::vector<XmlAttribute> attributes;
};

class XmlTokenizer {
 public:
  XmlTokenizer();
  ~XmlTokenizer();
  XmlTokenizer(const XmlTokenizer&) = delete;
  XmlTokenizer& operator=(const XmlTokenizer&) = delete;

  // False, with the system's reason in *error, when the file cannot be read;
  // a directory is refused here.
  bool openFile(const char* path, std::string* error);
  // Tokenizes bytes held in memory (a copy is kept).
  void openBytes(std::string_view bytes);

  // In start tags named element, the value of this attribute ends only at a
  // quote followed by another attribute or the tag's end, and a "<" or an
  // "&" that starts no reference stands for itself.
  void setLenientAttribute(std::string element, std::string attribute);

  // The next token. Its views stay valid until the next call. After End or
  // Error every call returns the same token again.
  const XmlToken& next();

 private:
  enum Step { StepDone, StepMore, StepFailed };

  Step scanToken();
  Step scanText(const char* p);
  Step skipSpaceOutsideRoot(const char* p);
  Step scanTextSpecial(const char*& p, const char*& run, bool* nonSpace);
  Step scanStartTag(const char* p);
  Step scanAttribute(const char*& p, bool lenientTag);
  Step scanAttributeValue(const char*& p, size_t index, std::string_view* value, bool lenient);
  Step lenientValueEnds(const char* p, bool* ends);
  std::string* valueScratch(size_t index);
  Step scanValueSpecial(const char*& p, std::string* scratch, const char*& run, bool lenient);
  Step scanEndTag(const char* p);
  Step scanComment(const char* p);
  Step scanProcessingInstruction(const char* p);
  Step scanCData(const char* p);
  Step scanDeclaration(const char* p);
  Step scanMarkupDeclaration(const char* p);
  Step lineEnd(const char*& p);
  Step scanNameRest(const char* start, const char*& p);
  Step scanReference(const char*& p, std::string* out, bool* valid);
  Step skipSpaceRun(const char*& p, bool* skipped);
  Step skipChar(const char*& p);
  Step passCharacter(const char*& p, std::string* out, const char*& run);
  Step keyword(const char*& p, const char* word, bool* found);
  Step expect(const char*& p, const char* literal, const char* message);
  Step scanQuoted(const char*& p, std::string_view* value);
  Step fail(const char* at, const char* message);
  Step failText(const char* at, std::string message);
  Step atEnd(const char* at);
  bool refill();
  void position(const char* at, int64_t* line, int64_t* column) const;

  // The steps taken for nearly every token, inline in xml_tokenizer.cpp
  // (and used nowhere else); their rarer cases are the steps above.
  inline Step scanName(const char*& p);
  inline Step skipSpace(const char*& p, bool* skipped);
  inline Step scanEq(const char*& p);
  inline bool repeatedAttribute(std::string_view name);
  inline void produceText(const char* p, const char* run, bool nonSpace);
  inline void newline(const char* afterLineFeed);
  inline void commit(const char* newPos);

  int fd_ = -1;
  bool eof_ = false;
  struct FreeBytes {
    void operator()(char* p) const { free(p); }
  };
  std::unique_ptr<char, FreeBytes> buf_;  // malloc'd, to grow by realloc
  size_t capacity_ = 0;
  size_t pos_ = 0;  // first byte not yet tokenized
  size_t end_ = 0;  // bytes in buf_
  uint64_t consumed_ = 0;  // bytes dropped from the buffer's front so far

  // Line and column of buf_[pos_]; while a token is scanned, the line feeds
  // met since its start, and the continuation bytes (10xxxxxx) of the
  // characters passed since its start or its last line feed.
  int64_t line_ = 1;
  int64_t column_ = 1;
  int64_t scanLines_ = 0;
  const char* scanLineStart_ = nullptr;
  int64_t scanContinuations_ = 0;
  const char* tokenStart_ = nullptr;

  enum State { BeforeRoot, InRoot, AfterRoot, Finished };
  State state_ = BeforeRoot;
  bool seenMarkup_ = false;  // a declaration, comment or instruction before the root
  bool pendingEnd_ = false;  // a self-closing tag's end tag comes next
  bool produced_ = false;    // the scan made a token (white space outside the root makes none)
  size_t bomLength_ = 0;
  std::string openNames_;             // names of the open elements, back to back
  std::vector<size_t> openStarts_;  // where each begins in openNames_
  std::string lenientElement_;
  std::string lenientAttribute_;

  XmlToken token_;
  std::string textScratch_;
  // One decoded value per attribute; a deque, so growing it moves none of
  // the values that earlier attributes of the same tag point into.
  std::deque<std::string> attributeScratch_;
  std::set<std::string_view> attributeNames_;  // of a tag with many attributes
  std::string message_;
  std::string readError_;
};
