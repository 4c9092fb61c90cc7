// The tokenizer against its earlier, slower form (reference_tokenizer.h):
// over the fuzzing corpus, every report of the tests, every byte at every
// kind of place, mutations of the reports and tokens cut by the read block's
// end at every byte, both give the same tokens, attributes, texts, errors
// and places.
#include "export/xml/xml_tokenizer.h"

#include "tests/export/xml/reference_tokenizer.h"
#include "tests/file_bytes.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string lineOf(const XmlToken& t) {
  static const char* const kKinds[] = {"start", "end", "text", "END", "ERROR"};
  std::string line = std::string(kKinds[t.kind]) + " " + std::to_string(t.line) + ":" +
                     std::to_string(t.column) + " <" + std::string(t.name) + ">";
  for (const XmlAttribute& a : t.attributes)
    line += " " + std::string(a.name) + "=[" + std::string(a.value) + "]";
  if (t.kind == XmlText || t.kind == XmlError)
    line += (t.whiteSpace ? " space [" : " [") + std::string(t.text) + "]";
  return line;
}

// Every token up to End or Error, and that one once more.
template <typename Tokenizer>
Lines linesOf(Tokenizer& tokenizer) {
  Lines lines;
  for (;;) {
    const XmlToken& t = tokenizer.next();
    lines.push_back(lineOf(t));
    if (t.kind == XmlEnd || t.kind == XmlError) {
      lines.push_back(lineOf(tokenizer.next()));
      return lines;
    }
  }
}

// The reader's leniency (DOCUMENT's TITLE) on or off.
template <typename Tokenizer>
Lines linesOf(std::string_view bytes, bool lenient) {
  Tokenizer tokenizer;
  if (lenient) tokenizer.setLenientAttribute("DOCUMENT", "TITLE");
  tokenizer.openBytes(bytes);
  return linesOf(tokenizer);
}

// The first token that differs, with its neighbours: a short message for a
// long stream.
std::string firstDifference(const Lines& expected, const Lines& actual) {
  size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  if (i == expected.size() && i == actual.size()) return std::string();
  std::string message = "token " + std::to_string(i) + "\n";
  if (i > 0) message += "  both:     " + expected[i - 1] + "\n";
  message += "  expected: " + (i < expected.size() ? expected[i] : "(none)") + "\n";
  message += "  actual:   " + (i < actual.size() ? actual[i] : "(none)");
  return message;
}

void expectSameTokens(std::string_view bytes, const std::string& what) {
  for (const bool lenient : {false, true}) {
    EXPECT_EQ(firstDifference(linesOf<reference::XmlTokenizer>(bytes, lenient),
                              linesOf<XmlTokenizer>(bytes, lenient)),
              "")
        << what << (lenient ? " (lenient)" : "");
  }
}

std::vector<std::string> filesUnder(const std::string& folder, const std::string& extension) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension))
      paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

const std::string kTests = std::string(VELDORA_TEST_DATA) + "/..";

// Tokens of every kind with every detail that costs the scans a branch:
// references, line ends of each form, characters of two to four bytes in
// names, values and text, raw control characters, a lenient title,
// comments, instructions, CDATA, and a line of as many tokens as asked.
std::string allShapes(int longLine = 40) {
  std::string shapes =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<!-- head \xC3\xA4 -->\n<?pi data \xE2\x82\xAC?>\n"
      "<XROD:NODE a=\"x &amp; y\" b='it\"s' c=\"\t1\r\n2\r3\" \xC3\xA4=\"\xF0\x9F\x98\x80\">"
      "<DOCUMENT TITLE=\"q\"&d/<x> \"y\" &amp;.xrd\" TAG=\"T\"/>\r"
      "t\xC3\xA4xt &lt;&#10;&#x20AC;\x01 ]x] <![CDATA[c <&> \r\n]]]>\xE6\x97\xA5"
      "<E \n x = \"1\"  y=\"\xC3\xA4&#65;\x1F\"  />  \t<!---->"
      "<\xE6\x97\xA5-1.x\xCC\x80></\xE6\x97\xA5-1.x\xCC\x80 \r\n>"
      "<?x?>\n";
  for (int i = 0; i < longLine; ++i)
    shapes += "<P q=\"\xC3\xA4 " + std::to_string(i) + "\">\xE2\x82\xAC</P>";
  return shapes + "\n</XROD:NODE>\n<!-- tail -->\n";
}

TEST(TokenizerDifferential, CorpusAndReports) {
  std::vector<std::string> inputs = filesUnder(kTests + "/fuzz/corpus/export", "");
  const std::vector<std::string> reports = filesUnder(kTests, ".xrd");
  inputs.insert(inputs.end(), reports.begin(), reports.end());
  ASSERT_GT(inputs.size(), 500u);
  for (const std::string& path : inputs) expectSameTokens(readFile(path), path);
  expectSameTokens(allShapes(), "all shapes");
}

// Every byte, and characters of two to four bytes, at every kind of place:
// each scan's classes of bytes against the earlier scans, exhaustively.
TEST(TokenizerDifferential, EveryByteAtEveryPlace) {
  const char* const places[] = {
      "<A>@</A>",           "<A>x @y</A>",         "<A b=\"@\"/>",
      "<A b='x@y'/>",       "<A@/>",               "<A b@=\"1\"/>",
      "<A b=\"1\"@/>",      "<A></A@>",            "<A><!--@--></A>",
      "<A><?pi @?></A>",    "<A><![CDATA[@]]></A>", "<A>&@;</A>",
      "<?xml version=\"1.@\"?><A/>", "@<A/>",         "<A/>@",
      "<A>\r@</A>",         "<A b=\"\r@\"/>",      "<DOCUMENT TITLE=\"x\"@ TAG=\"y\"/>",
      "<A>]@></A>",
  };
  std::vector<std::string> insertions;
  for (int c = 0; c < 256; ++c) insertions.emplace_back(1, static_cast<char>(c));
  for (const char* character : {"\xC3\xA4", "\xCC\x80", "\xE2\x82\xAC", "\xEF\xBF\xBE",
                                "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC3"})
    insertions.emplace_back(character);
  for (const char* const place : places) {
    const size_t at = std::string_view(place).find('@');
    for (const std::string& insertion : insertions) {
      std::string bytes = place;
      bytes.replace(at, 1, insertion);
      expectSameTokens(bytes, place + (" with " + std::to_string(insertion[0] & 0xFF)));
    }
  }
}

// Random single faults in reports and in the shapes above: each scan meets
// its bytes cut, doubled or replaced by those that end its runs.
TEST(TokenizerDifferential, MutatedReports) {
  std::set<std::string> bases{allShapes()};
  for (const std::string& path : filesUnder(kTests + "/golden", ".xrd"))
    bases.insert(readFile(path));
  const std::string specials = "<>&;\"'/=!?-[]#x: \r\n\t\x01\xC3\xA4\x80\xE2\xF0\xFF";
  std::mt19937 random(2024);
  size_t b = 0;
  for (const std::string& base : bases) {
    ++b;
    for (int i = 0; i < 200; ++i) {
      std::string bytes = base;
      const size_t at = random() % bytes.size();
      const std::string run = specials.substr(random() % specials.size(), 1 + random() % 3);
      switch (random() % 3) {
        case 0: bytes.erase(at, 1 + random() % 3); break;
        case 1: bytes.insert(at, run); break;
        default: bytes.replace(at, run.size(), run); break;
      }
      expectSameTokens(bytes, "base " + std::to_string(b) + ", mutation " + std::to_string(i));
    }
  }
}

// A file is read in blocks of 1 MiB; a token cut by the block's end is
// scanned again once more bytes came. Here the shapes above straddle the
// first block's end at every one of their bytes, after a comment that fills
// the block up to there (the file shortened by one byte of it each time).
// They end inside a value, which is scanned up to the end of the bytes read.
TEST(TokenizerDifferential, EveryPlaceOfTheFirstBlocksEnd) {
  constexpr size_t kBlock = 1 << 20;
  std::string shapes = allShapes(2);
  shapes = shapes.substr(0, shapes.rfind("\n</XROD:NODE>")) + "<Z v=\"ab";
  shapes.erase(0, shapes.find("<XROD"));
  const Lines expected = linesOf<reference::XmlTokenizer>("<!---->\n" + shapes, true);
  const std::string path = testing::TempDir() + "straddle.xml";
  writeFile(path, "<!--" + std::string(kBlock, 'p'));
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::string tail = "-->\n" + shapes;
  for (size_t cut = 0; cut <= shapes.size(); ++cut) {
    const off_t at = static_cast<off_t>(kBlock - cut - 4);
    ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), at), static_cast<ssize_t>(tail.size()));
    ASSERT_EQ(ftruncate(fd, at + static_cast<off_t>(tail.size())), 0);
    XmlTokenizer fromFile;
    fromFile.setLenientAttribute("DOCUMENT", "TITLE");
    std::string error;
    ASSERT_TRUE(fromFile.openFile(path.c_str(), &error)) << error;
    EXPECT_EQ(firstDifference(expected, linesOf(fromFile)), "") << "cut at byte " << cut;
  }
  close(fd);
}

}  // namespace
