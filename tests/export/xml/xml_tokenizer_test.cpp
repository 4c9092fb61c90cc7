// The XML tokenizer: the tokens of well-formed documents, an error with its
// place for every kind of fault, and tokens that straddle the read blocks.
#include "export/xml/xml_tokenizer.h"

#include "tests/file_bytes.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The tokens as lines: "<NAME a=v>", "</NAME>", "'text'" (white space text
// is left out), "END", or "ERROR line:column message".
// With a limit, at most that many tokens are taken, and texts and end tags
// carry their line:column.
std::vector<std::string> tokensOf(XmlTokenizer& tokenizer, size_t limit = SIZE_MAX) {
  std::vector<std::string> lines;
  const bool placed = limit != SIZE_MAX;
  for (; lines.size() < limit;) {
    const XmlToken& t = tokenizer.next();
    const std::string place =
        placed ? " " + std::to_string(t.line) + ":" + std::to_string(t.column) : std::string();
    switch (t.kind) {
      case XmlStartTag: {
        std::string line = "<" + std::string(t.name);
        for (const XmlAttribute& a : t.attributes)
          line += " " + std::string(a.name) + "=" + std::string(a.value);
        lines.push_back(line + ">");
        break;
      }
      case XmlEndTag: lines.push_back("</" + std::string(t.name) + ">" + place); break;
      case XmlText:
        if (!t.whiteSpace) lines.push_back("'" + std::string(t.text) + "'" + place);
        break;
      case XmlEnd: lines.push_back("END"); return lines;
      case XmlError:
        lines.push_back("ERROR " + std::to_string(t.line) + ":" + std::to_string(t.column) + " " +
                        std::string(t.text));
        return lines;
    }
  }
  return lines;
}

std::vector<std::string> tokensOf(std::string_view bytes) {
  XmlTokenizer tokenizer;
  tokenizer.openBytes(bytes);
  return tokensOf(tokenizer);
}

// The last line: END or the error.
std::string outcomeOf(std::string_view bytes) { return tokensOf(bytes).back(); }

using Lines = std::vector<std::string>;

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

TEST(XmlTokenizer, TokensOfAWellFormedDocument) {
  EXPECT_EQ(tokensOf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!-- a comment --><?pi data?>\n"
                     "<A x=\"1\" y='two'>\n  <B/>text<C></C>\n</A>\n<!-- after -->\n"),
            (Lines{"<A x=1 y=two>", "<B>", "</B>", "'text'", "<C>", "</C>", "</A>", "END"}));
}

TEST(XmlTokenizer, ReferencesLineEndsAndCData) {
  EXPECT_EQ(tokensOf("<A t=\"&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#10;\">"
                     "a &lt; b&#x20AC;&#128512;</A>"),
            (Lines{"<A t=<&>\"'AB\n>", "'a < b\xE2\x82\xAC\xF0\x9F\x98\x80'", "</A>", "END"}));
  // Line ends become line feeds in text; white space characters become
  // spaces in attribute values (but a referenced line feed stays).
  EXPECT_EQ(tokensOf("<A t=\"a\tb\r\nc&#10;\">x\r\ny\rz</A>"),
            (Lines{"<A t=a b c\n>", "'x\ny\nz'", "</A>", "END"}));
  EXPECT_EQ(tokensOf("<A><![CDATA[<not> &amp; markup]]]></A>"),
            (Lines{"<A>", "'<not> &amp; markup]'", "</A>", "END"}));
}

// Values that need decoding, in a tag with more attributes than ever
// before: each keeps its own text (short ones too).
TEST(XmlTokenizer, ManyDecodedAttributes) {
  std::string tag = "<A";
  std::string expected = "<A";
  for (int i = 0; i < 40; ++i) {
    tag += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "&amp;\"";
    expected += " a" + std::to_string(i) + "=" + std::to_string(i) + "&";
  }
  EXPECT_EQ(tokensOf(tag + "/>"), (Lines{expected + ">", "</A>", "END"}));
}

// Past the few attributes looked through one by one, repeats are still
// found, at the repeat.
TEST(XmlTokenizer, RepeatedAttributeAmongMany) {
  std::string tag = "<A";
  for (int i = 0; i < 40; ++i) tag += " a" + std::to_string(i) + "=\"\"";
  EXPECT_EQ(outcomeOf(tag + "/>"), "END");
  EXPECT_EQ(outcomeOf(tag + " a16=\"\"/>"),
            "ERROR 1:" + std::to_string(tag.size() + 2) + " the attribute a16 is given twice");
  EXPECT_EQ(outcomeOf(tag + " a3=\"\"/>"),
            "ERROR 1:" + std::to_string(tag.size() + 2) + " the attribute a3 is given twice");
}

TEST(XmlTokenizer, NamesWithColonsAndUnicode) {
  EXPECT_EQ(tokensOf("<XROD:NODE n\xC3\xA4me=\"v\"><\xE6\x97\xA5-1.x/></XROD:NODE>"),
            (Lines{"<XROD:NODE n\xC3\xA4me=v>", "<\xE6\x97\xA5-1.x>", "</\xE6\x97\xA5-1.x>",
                   "</XROD:NODE>", "END"}));
}

TEST(XmlTokenizer, ByteOrderMarkAndPositions) {
  XmlTokenizer tokenizer;
  tokenizer.openBytes("\xEF\xBB\xBF<A>\n  <B x=\"\xC3\xA4\xC3\xA4\"/><C>\n</A>");
  EXPECT_EQ(tokenizer.next().column, 1);  // <A>, after the mark
  tokenizer.next();                       // white space
  const XmlToken& b = tokenizer.next();
  EXPECT_EQ(b.line, 2);
  EXPECT_EQ(b.column, 3);
  tokenizer.next();  // </B>
  const XmlToken& c = tokenizer.next();
  EXPECT_EQ(c.column, 14);  // characters, not bytes
  tokenizer.next();
  const XmlToken& error = tokenizer.next();
  EXPECT_EQ(error.kind, XmlError);
  EXPECT_EQ(error.line, 3);
  EXPECT_EQ(error.column, 1);
  EXPECT_EQ(error.text, "the end tag </A> does not match <C>");
}

// Every fault is an error at its place: not well-formed XML is never read.
TEST(XmlTokenizer, FaultsOfMarkup) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "ERROR 1:1 the file is empty"},
      {"  \n ", "ERROR 2:2 no root element"},
      {"hello", "ERROR 1:1 not an XML document"},
      {"\x89PNG\r\n", "ERROR 1:1 not an XML document"},
      {"<!-- c -->x<A/>", "ERROR 1:11 text before the root element"},
      {"<A/>x", "ERROR 1:5 text after the root element"},
      {"<A/><B/>", "ERROR 1:5 a second root element"},
      {"<A><B></A>", "ERROR 1:7 the end tag </A> does not match <B>"},
      {"</A>", "ERROR 1:1 the end tag </A> has no start tag"},
      {"<A>", "ERROR 1:4 the file ends inside <A>"},
      {"<A><B x=\"1", "ERROR 1:11 the file ends inside <A>"},
      {"<A x=\"1\" x=\"2\"/>", "ERROR 1:10 the attribute x is given twice"},
      {"<A x=\"1\"y=\"2\"/>", "ERROR 1:9 expected white space, '>' or '/>'"},
      {"<A x=1/>", "ERROR 1:6 expected a quoted attribute value"},
      {"<A x/>", "ERROR 1:5 expected '=' after the attribute name"},
      {"<A x=\"<\"/>", "ERROR 1:7 a '<' in an attribute value"},
      {"<A / >", "ERROR 1:5 expected '>' after '/'"},
      {"<1A/>", "ERROR 1:2 expected a name"},
      {"<A>< B/></A>", "ERROR 1:5 expected a name"},
      {"<A></A >x", "ERROR 1:9 text after the root element"},
      {"<A></A x>", "ERROR 1:8 expected '>' to end the end tag"},
      {"<A>\n</B\r\n>", "ERROR 2:1 the end tag </B> does not match <A>"},
      {"<A>\n </B\r>", "ERROR 2:2 the end tag </B> does not match <A>"},
      {"<A>a ]]> b</A>", "ERROR 1:6 ']]>' in text"},
      {"<A><!-- a -- b --></A>", "ERROR 1:11 a '--' inside a comment"},
      {"<A><!-- a ---></A>", "ERROR 1:11 a '--' inside a comment"},
      {"<A><!x></A>", "ERROR 1:4 a '<!' that starts no comment or CDATA section"},
      {"<![CDATA[x]]><A/>", "ERROR 1:1 a CDATA section outside the root element"},
      {"<!DOCTYPE A><A/>", "ERROR 1:1 document type declarations are not supported"},
      {"<A><?pi?><?xml version=\"1.0\"?></A>",
       "ERROR 1:10 an XML declaration that is not at the start of the file"},
      {" <?xml version=\"1.0\"?><A/>",
       "ERROR 1:2 an XML declaration that is not at the start of the file"},
      {"<?pi-x?><?pix data?><?pi\x01?><A/>",
       "ERROR 1:25 expected white space after the instruction's target"},
      {"<?xml version=\"2.0\"?><A/>", "ERROR 1:20 an XML version other than 1.x"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><A/>",
       "ERROR 1:42 the encoding ISO-8859-1 is not supported (only UTF-8)"},
      {"<?xml version=\"1.0\" standalone=\"maybe\"?><A/>",
       "ERROR 1:39 standalone must be yes or no"},
      {"<?xml version=\"1.0\"><A/>", "ERROR 1:20 expected '?>' to end the XML declaration"},
      {"<?xml encoding=\"UTF-8\"?><A/>", "ERROR 1:7 expected the version in the XML declaration"},
      // Every case of "xml" is reserved; only "<?xml" declares.
      {"<?XML version=\"1.0\"?><A/>",
       "ERROR 1:1 the instruction target XML is reserved (the XML declaration is written <?xml)"},
      {"<A><?Xml version=\"1.0\"?></A>",
       "ERROR 1:4 the instruction target Xml is reserved (the XML declaration is written <?xml)"},
  };
  for (const auto& [input, error] : cases) EXPECT_EQ(outcomeOf(input), error) << input;
}

TEST(XmlTokenizer, FaultsOfReferencesAndCharacters) {
  const std::pair<std::string, const char*> cases[] = {
      {"<A>&nbsp;</A>", "ERROR 1:4 an undefined entity &nbsp;"},
      {"<A>a & b</A>", "ERROR 1:6 an '&' that starts no reference (write &amp;)"},
      {"<A>&#;</A>", "ERROR 1:4 a character reference without digits"},
      {"<A>&#x;</A>", "ERROR 1:4 a character reference without digits"},
      {"<A>&#12a;</A>", "ERROR 1:4 a malformed character reference"},
      {"<A>&#0;</A>", "ERROR 1:4 a character reference to a character that XML does not allow"},
      {"<A>&#xFFFE;</A>",
       "ERROR 1:4 a character reference to a character that XML does not allow"},
      {"<A>&#x110000;</A>",
       "ERROR 1:4 a character reference to a character that XML does not allow"},
      {"<A>&#99999999999999999999;</A>",
       "ERROR 1:4 a character reference to a character that XML does not allow"},
      {"<A x=\"&bogus;\"/>", "ERROR 1:7 an undefined entity &bogus;"},
      {"<A>\xC3</A>", "ERROR 1:4 invalid UTF-8"},
      {"<A>\xC0\x80</A>", "ERROR 1:4 invalid UTF-8"},
      {"<A>\xED\xA0\x80</A>", "ERROR 1:4 invalid UTF-8"},
      {"<A>\xF4\x90\x80\x80</A>", "ERROR 1:4 invalid UTF-8"},
      {"<A>\xEF\xBF\xBE</A>", "ERROR 1:4 a character that XML does not allow"},
      {"<A>\xFF</A>", "ERROR 1:4 invalid UTF-8"},
      {"<A>\xE2\x82", "ERROR 1:4 invalid UTF-8: the file ends inside a character"},
      {std::string("<A>a\0b</A>", 10), "ERROR 1:5 a NUL byte"},
      {"<A x=\"\xC3(\"/>", "ERROR 1:7 invalid UTF-8"},
      {"<A><!-- \xFF --></A>", "ERROR 1:9 invalid UTF-8"},
  };
  for (const auto& [input, error] : cases) EXPECT_EQ(outcomeOf(input), error) << input;
}

// A reference is read within 32 bytes after its '&' (leading zeros allowed
// up to there); its value is checked against U+10FFFF however many digits it
// has, and a long run of digits costs no more than those 32 bytes.
TEST(XmlTokenizer, CharacterReferencesAtTheirLimits) {
  const std::string thirtyDigits = std::string(28, '0') + "65";
  EXPECT_EQ(tokensOf("<A>&#" + thirtyDigits + ";&#x" + std::string(27, '0') +
                     "42;&#x10FFFF;</A>"),
            (Lines{"<A>", "'AB\xF4\x8F\xBF\xBF'", "</A>", "END"}));
  const char* const notAllowed =
      "ERROR 1:4 a character reference to a character that XML does not allow";
  const char* const noReference = "ERROR 1:4 an '&' that starts no reference (write &amp;)";
  const std::pair<std::string, const char*> cases[] = {
      {"<A>&#0" + thirtyDigits + ";</A>", noReference},
      {"<A>&#1114112;</A>", notAllowed},
      {"<A>&#9223372036854775808;</A>", notAllowed},
      {"<A>&#xFFFFFFFFFFFFFFFFFFFF;</A>", notAllowed},
      {"<A>&#xD800;</A>", notAllowed},
      {"<A>&#1114112z;</A>", "ERROR 1:4 a malformed character reference"},
      {"<A>&#-65;</A>", "ERROR 1:4 a malformed character reference"},
      {"<A>&#X41;</A>", "ERROR 1:4 a malformed character reference"},
      {"<A>&#x4g;</A>", "ERROR 1:4 a malformed character reference"},
      {"<A>&#" + std::string(1000000, '9') + ";</A>", noReference},
      {"<A>&#x" + std::string(1000000, 'F') + ";</A>", noReference},
  };
  for (const auto& [input, error] : cases)
    EXPECT_EQ(outcomeOf(input), error) << input.substr(0, 40);
}

// An earlier generator wrote control characters raw: they read as U+FFFD.
TEST(XmlTokenizer, ControlCharactersReadAsReplacement) {
  EXPECT_EQ(tokensOf("<A x=\"a\x01\">b\x1F\x7F</A>"),
            (Lines{"<A x=a\xEF\xBF\xBD>", "'b\xEF\xBF\xBD\x7F'", "</A>", "END"}));
}

TEST(XmlTokenizer, LenientAttributeTakesRawQuotesAndAmpersands) {
  const char* document = "<D TITLE=\"q\"&d/<x> \"y\" &amp;.xrd\" TAG=\"Testx1\"><E T=\"a\"/></D>";
  XmlTokenizer lenient;
  lenient.setLenientAttribute("D", "TITLE");
  lenient.openBytes(document);
  EXPECT_EQ(tokensOf(lenient), (Lines{"<D TITLE=q\"&d/<x> \"y\" &.xrd TAG=Testx1>", "<E T=a>",
                                      "</E>", "</D>", "END"}));
  // Strict everywhere else: the same tag under another name is an error.
  EXPECT_EQ(outcomeOf(document), "ERROR 1:13 expected white space, '>' or '/>'");
  XmlTokenizer selfClosing;
  selfClosing.setLenientAttribute("D", "TITLE");
  selfClosing.openBytes("<D TITLE=\"a\"b\"/>");
  EXPECT_EQ(tokensOf(selfClosing), (Lines{"<D TITLE=a\"b>", "</D>", "END"}));
}

// A file far larger than one read block, with tokens across every block
// boundary and a text larger than a block, reads like the same bytes in
// memory.
TEST(XmlTokenizer, FileReadInBlocksGivesTheSameTokens) {
  std::string document = "<?xml version=\"1.0\"?>\r\n<R>";
  for (int i = 0; document.size() < 3u * 1024 * 1024; ++i)
    document += "<ROW n=\"" + std::to_string(i) + "\">a &amp; \xC3\xA4\r\n</ROW>";
  document += "<BIG>" + std::string(2u * 1024 * 1024 + 7, 'x') + "</BIG></R>\n";
  const std::string path = testing::TempDir() + "blocks.xml";
  writeFile(path, document);
  XmlTokenizer fromFile;
  std::string error;
  ASSERT_TRUE(fromFile.openFile(path.c_str(), &error)) << error;
  const Lines expected = tokensOf(document);
  EXPECT_EQ(expected.back(), "END");
  EXPECT_EQ(tokensOf(fromFile), expected);

  // And an error past the first block keeps its line.
  writeFile(path, document.substr(0, document.size() - 11) + "</X></R>\n");
  XmlTokenizer broken;
  ASSERT_TRUE(broken.openFile(path.c_str(), &error));
  const std::string last = tokensOf(broken).back();
  const size_t lines = std::count(document.begin(), document.end(), '\n');
  EXPECT_EQ(last, "ERROR " + std::to_string(lines) + ":" + std::to_string(2u * 1024 * 1024 + 7 + 12) +
                      " the end tag </X> does not match <BIG>");
}

// A read that ends right after a carriage return: whether a line feed
// follows is known only with the next read. The document comes through a
// pipe in two writes, the second made only once the first is tokenized.
std::vector<std::string> tokensReadInTwo(const std::string& first, const std::string& second) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) abort();
  if (write(pipeEnds[1], first.data(), first.size()) != static_cast<ssize_t>(first.size())) abort();
  XmlTokenizer tokenizer;
  std::string error;
  if (!tokenizer.openFile(("/dev/fd/" + std::to_string(pipeEnds[0])).c_str(), &error)) abort();
  close(pipeEnds[0]);
  Lines lines{tokensOf(tokenizer, 1)};
  if (write(pipeEnds[1], second.data(), second.size()) != static_cast<ssize_t>(second.size()))
    abort();
  close(pipeEnds[1]);
  for (const std::string& line : tokensOf(tokenizer, 100)) lines.push_back(line);
  return lines;
}

TEST(XmlTokenizer, CarriageReturnAtTheEndOfARead) {
  // CR LF split: one line end, so </A> is on line 2, column 2.
  EXPECT_EQ(tokensReadInTwo("<A>x\r", "\ny</A>\n"),
            (Lines{"<A>", "'x\ny' 1:4", "</A> 2:2", "END"}));
  // A CR alone stays one line end.
  EXPECT_EQ(tokensReadInTwo("<A>x\r", "y</A>\n"), (Lines{"<A>", "'x\ny' 1:4", "</A> 2:2", "END"}));
  // In an attribute value, a CR LF becomes one space.
  EXPECT_EQ(tokensReadInTwo("<R><A b=\"x\r", "\ny\"/></R>"),
            (Lines{"<R>", "<A b=x y>", "</A> 1:4", "</R> 2:5", "END"}));
}

// A pipe hands over a few KiB per read: the tokens are those of the file.
TEST(XmlTokenizer, PipeGivesTheSameTokens) {
  std::string document = "<R><BIG a=\"" + std::string(3u * 1024 * 1024, 'v') + "\">";
  document += std::string(3u * 1024 * 1024, 'x') + "</BIG><S>&amp;</S></R>\n";
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([&document, fds] {
    writeAll(fds[1], document);
    close(fds[1]);
  });
  XmlTokenizer fromPipe;
  std::string error;
  const std::string path = "/dev/fd/" + std::to_string(fds[0]);
  ASSERT_TRUE(fromPipe.openFile(path.c_str(), &error)) << error;
  const Lines tokens = tokensOf(fromPipe);
  writer.join();
  close(fds[0]);
  EXPECT_EQ(tokens, tokensOf(document));
}

TEST(XmlTokenizer, FilesThatCannotBeRead) {
  XmlTokenizer missing;
  std::string error;
  EXPECT_FALSE(missing.openFile((testing::TempDir() + "no such file").c_str(), &error));
  EXPECT_EQ(error, "No such file or directory");
  XmlTokenizer directory;
  EXPECT_FALSE(directory.openFile(testing::TempDir().c_str(), &error));
  EXPECT_EQ(error, "Is a directory");
}

}  // namespace
