// The tokenizer as it stood before its scans were made faster, kept unchanged
// as the oracle of the differential test: the same bytes must give the same
// tokens, texts, errors and places from both.
#pragma once

#include "export/xml/xml_tokenizer.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

class XmlTokenizer {
 public:
  XmlTokenizer();
  ~XmlTokenizer();
  XmlTokenizer(const XmlTokenizer&) = delete;
  XmlTokenizer& operator=(const XmlTokenizer&) = delete;

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
  void produceText(const char* p, const char* run, bool nonSpace);
  Step scanStartTag(const char* p);
  Step scanEndTag(const char* p);
  Step scanComment(const char* p);
  Step scanProcessingInstruction(const char* p);
  Step scanCData(const char* p);
  Step scanDeclaration(const char* p);
  Step scanMarkupDeclaration(const char* p);
  Step lineEnd(const char*& p);
  Step scanName(const char*& p, std::string_view* name);
  bool repeatedAttribute(std::string_view name);
  Step scanAttributeValue(const char*& p, std::string* scratch, std::string_view* value,
                          bool lenient);
  Step scanReference(const char*& p, std::string* out, bool* valid);
  Step skipSpace(const char*& p, bool* skipped);
  Step skipChar(const char*& p);
  Step passCharacter(const char*& p, std::string* out, const char*& run);
  Step keyword(const char*& p, const char* word, bool* found);
  Step expect(const char*& p, const char* literal, const char* message);
  Step scanEq(const char*& p);
  Step scanQuoted(const char*& p, std::string_view* value);
  Step fail(const char* at, const char* message);
  Step failText(const char* at, std::string message);
  Step atEnd(const char* at);

  bool refill();
  void newline(const char* afterLineFeed);
  void commit(const char* newPos);
  void position(const char* at, int64_t* line, int64_t* column) const;

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
  // met since its start.
  int64_t line_ = 1;
  int64_t column_ = 1;
  int64_t scanLines_ = 0;
  const char* scanLineStart_ = nullptr;
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
  std::string endName_;
  std::string textScratch_;
  // One decoded value per attribute; a deque, so growing it moves none of
  // the values that earlier attributes of the same tag point into.
  std::deque<std::string> attributeScratch_;
  std::set<std::string_view> attributeNames_;  // of a tag with many attributes
  std::string message_;
  std::string readError_;
};

}  // namespace reference
