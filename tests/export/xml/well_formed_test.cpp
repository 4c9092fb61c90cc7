// The tokenizer against libxml2's xmllint on many small mutations of a real
// report: each is accepted by both or rejected by both. The mutations leave
// out what the tokenizer reads on purpose otherwise (raw control characters,
// the lenient DOCUMENT TITLE) or refuses on purpose (declarations other
// than version 1.0 in UTF-8).
#include "export/xml/xml_tokenizer.h"

#include "tests/file_bytes.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

bool tokenizerAccepts(const std::string& bytes) {
  XmlTokenizer tokenizer;
  tokenizer.openBytes(bytes);
  for (;;) {
    const XmlTokenKind kind = tokenizer.next().kind;
    if (kind == XmlEnd) return true;
    if (kind == XmlError) return false;
  }
}

bool xmllintAccepts(const std::string& path) {
  const std::string command = "xmllint --noout '" + path + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST(WellFormed, AgreesWithXmllintOnMutations) {
  std::string base = readFile(std::string(VELDORA_TEST_DATA) + "/golden/page_example/report.xrd");
  ASSERT_FALSE(base.empty());
  // The declaration line stays; DOCUMENT is renamed so no value is lenient.
  for (size_t at; (at = base.find("DOCUMENT")) != std::string::npos;) base.replace(at, 8, "DOKUMENT");
  const size_t bodyStart = base.find('\n') + 1;
  const std::string specials = "<>&;\"'/=!?-[]#x :\n\t\xC3\xA4\x80\xFF";
  std::mt19937 random(12345);
  const std::string path = testing::TempDir() + "mutation.xml";
  int accepted = 0;
  constexpr int kMutations = 300;
  for (int i = 0; i < kMutations; ++i) {
    std::string bytes = base;
    const size_t at = bodyStart + random() % (bytes.size() - bodyStart);
    const char c = specials[random() % specials.size()];
    switch (random() % 3) {
      case 0: bytes.erase(at, 1 + random() % 3); break;
      case 1: bytes.insert(at, 1, c); break;
      default: bytes[at] = c; break;
    }
    writeFile(path, bytes);
    const bool ours = tokenizerAccepts(bytes);
    accepted += ours;
    EXPECT_EQ(ours, xmllintAccepts(path)) << "mutation " << i << " at " << at << ": "
                                          << bytes.substr(at > 40 ? at - 40 : 0, 80);
  }
  // Both outcomes are well represented.
  EXPECT_GT(accepted, kMutations / 10);
  EXPECT_LT(accepted, kMutations * 9 / 10);
}

}  // namespace
