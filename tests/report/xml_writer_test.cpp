// Byte-exact output of the element writers, run in a UTF-8 locale.
#include "report/xml_writer.h"

#include "tests/report/writer_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::string escapedLocal(const char* bytes) {
  return written([&](FILE* f) { writeEscapedLocal(f, bytes); });
}

std::string escaped(const QString& text) {
  return written([&](FILE* f) { writeEscaped(f, text); });
}

// The long way for the bytes taken as Latin-1: the result both writers'
// ASCII shortcuts must reproduce.
std::string reference(const std::string& bytes) {
  return escapedUtf8(QString::fromLatin1(bytes.c_str()).simplified(), ReportText);
}

TEST(Escaping, SampleTextGivesThirtyTwoBytes) {
  const char input[] = "  a<b\t& \"c\"\\nd\n";
  const std::string expected = "a&lt;b &amp; &quot;c&quot;&#10;d";
  ASSERT_EQ(32u, expected.size());
  EXPECT_EQ(expected, escapedLocal(input));
  EXPECT_EQ(expected, escaped(QString::fromLatin1(input)));
  EXPECT_EQ(expected, reference(input));
}

TEST(Escaping, WhiteSpaceRunsBecomeOneSpaceAndEndsVanish) {
  EXPECT_EQ("one two three", escapedLocal("\n\n one\t\ntwo \r\v\f three \n"));
  // No-break space, em space and line separator are white space too.
  EXPECT_EQ("one two three", escaped(QStringLiteral(u"\u00A0one\u2003two\u2028three")));
  EXPECT_EQ("", escapedLocal(" \t\r\n"));
  EXPECT_EQ("", escapedLocal(""));
  EXPECT_EQ("", escapedLocal(nullptr));
}

TEST(Escaping, BackslashNBecomesLineFeedReference) {
  EXPECT_EQ("a&#10;b", escapedLocal("a\\nb"));
  EXPECT_EQ("a\\&#10;b", escapedLocal("a\\\\nb"));
  EXPECT_EQ("&#10;&#10;", escapedLocal("\\n\\n"));
  EXPECT_EQ("a\\ nb \\N c\\", escapedLocal("a\\ nb \\N c\\"));
  EXPECT_EQ("a\\&#10;b", escaped(QStringLiteral("a\\\\nb")));
}

TEST(Escaping, EntitiesAreEscapedAgainAndApostropheStays) {
  EXPECT_EQ("&amp;#10; &amp;amp; &amp;lt; it's", escapedLocal("&#10; &amp; &lt; it's"));
  EXPECT_EQ("&lt;&lt;&gt;&gt;&quot;&quot;&amp;&amp;", escapedLocal("<<>>\"\"&&"));
}

TEST(Escaping, CharactersForbiddenInXmlBecomeReplacementCharacter) {
  // Bytes 1 to 8 and 14 to 31 are not white space: they stay in place as
  // U+FFFD. DEL is allowed and passes.
  EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\x7F",
            escapedLocal("a\x01" "b\x08 \x0E\x1F\x7F"));
  QString text = QStringLiteral("x");
  text += QChar(0x0000);
  text += QChar(0xFFFE);
  text += QChar(0xFFFF);
  text += QChar(0xD800);  // high surrogate without its pair
  text += QLatin1Char('y');
  text += QChar(0xDC00);  // low surrogate alone
  text += QStringLiteral(u"\U0001F600");  // a well-formed pair passes
  EXPECT_EQ("x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy\xEF\xBF\xBD\xF0\x9F\x98\x80",
            escaped(text));
  // Bytes that are not UTF-8 decode to U+FFFD in a UTF-8 locale.
  EXPECT_EQ("a\xEF\xBF\xBD" "b", escapedLocal("a\xFF" "b"));
}

// Attribute values written whole keep their white space; markup and every
// character XML forbids are dealt with as in texts.
TEST(Escaping, AttributeValuesKeepWhiteSpace) {
  QString text = QStringLiteral(" a&b\t\"<c>\n");
  text += QChar(0x0001);
  text += QChar(0xFFFE);
  text += QChar(0xDFFF);
  text += QStringLiteral(u"\U0001F600");
  text += QStringLiteral("\\n");
  EXPECT_EQ(" a&amp;b\t&quot;&lt;c&gt;\n\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80\\n",
            escapedUtf8(text, ReportAttribute));
}

TEST(Escaping, AsciiBytesMatchTheUnicodePath) {
  // Every ASCII byte between words, at both ends and before an "n".
  for (int c = 1; c < 128; ++c) {
    const char b = static_cast<char>(c);
    const std::string samples[] = {std::string("w") + b + "v", std::string(1, b) + "n",
                                   std::string("x ") + b + " \\" + b + "n" + b};
    for (const std::string& sample : samples) {
      EXPECT_EQ(reference(sample), escapedLocal(sample.c_str())) << "byte " << c;
      EXPECT_EQ(reference(sample), escaped(QString::fromLatin1(sample.c_str()))) << "byte " << c;
    }
  }
  // Random texts over an alphabet dense in white space and specials.
  const char alphabet[] = " \t\n\r\v\f\\n&\"<>';#x\x01\x1f\x7f";
  uint32_t seed = 12345;
  for (int round = 0; round < 20000; ++round) {
    std::string sample;
    seed = seed * 1103515245u + 12345u;
    const int length = static_cast<int>(seed >> 16) % 24;
    for (int i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      sample += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
    }
    ASSERT_EQ(reference(sample), escapedLocal(sample.c_str())) << "sample [" << sample << "]";
    ASSERT_EQ(reference(sample), escaped(QString::fromLatin1(sample.c_str())))
        << "sample [" << sample << "]";
  }
}

// Texts around the length where the short ASCII way ends, and an ASCII text
// holding U+0000, give what the long way gives.
TEST(Escaping, LongTextsAndNulMatchTheUnicodePath) {
  for (int length : {510, 511, 512, 513, 2000}) {
    std::string sample;
    while (static_cast<int>(sample.size()) < length) sample += "a<b \\n\t&";
    sample.resize(static_cast<size_t>(length));
    EXPECT_EQ(reference(sample), escaped(QString::fromLatin1(sample.c_str()))) << length;
  }
  QString nul = QStringLiteral("x");
  nul += QChar(0x0000);
  nul += QStringLiteral("y < z");
  EXPECT_EQ("x\xEF\xBF\xBDy &lt; z", escaped(nul));
}

TEST(Escaping, LocalBytesAreDecodedWithTheLocaleCodec) {
  EXPECT_EQ("gr\xC3\xB6\xC3\x9F" "e &lt; 3", escapedLocal("gr\xC3\xB6\xC3\x9F" "e < 3"));
  LocaleCodec latin1("ISO-8859-1");
  EXPECT_EQ("caf\xC3\xA9 &amp; th\xC3\xA9", escapedLocal("caf\xE9 & th\xE9"));
  EXPECT_EQ("plain &lt;ascii&gt;", escapedLocal(" plain <ascii>"));
}

TEST(Elements, TagLines) {
  EXPECT_EQ("<TABLE BORDER=\"1\" WIDTH=\"55,45\">\n",
            written([](FILE* f) { writeTag(f, "TABLE BORDER=\"1\" WIDTH=\"55,45\"", false); }));
  EXPECT_EQ("<ROW>\n</TABLE>\n", written([](FILE* f) {
              writeTag(f, "ROW", false);
              writeTag(f, "TABLE", true);
            }));
}

TEST(Elements, EmptyTextsGiveEmptyElements) {
  const std::string empty = "<TEXT></TEXT>\n";
  EXPECT_EQ(empty, written([](FILE* f) { writeTextElement(f, "TEXT", QString()); }));
  EXPECT_EQ(empty, written([](FILE* f) { writeTextElement(f, "TEXT", QStringLiteral("")); }));
  EXPECT_EQ(empty, written([](FILE* f) { writeTextElement(f, "TEXT", QStringLiteral(" \t\n ")); }));
  EXPECT_EQ("<CELL_TEXT STYLE=\"Array\"></CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\"></CELL_TEXT>\n",
            written([](FILE* f) {
              writeTextCell(f, static_cast<const char*>(nullptr), StylePlain);
              writeTextCell(f, " ", StylePlain);
            }));
}

TEST(Elements, CellStylesAndOutOfRangeStyles) {
  const std::string cells = written([](FILE* f) {
    for (int style : {0, 1, 2, 3, 4, -1})
      writeTextCell(f, "x", style);
    writeTextCell(f, QStringLiteral("y\tz"), StylePassed);
  });
  EXPECT_EQ(
      "<CELL_TEXT STYLE=\"Array Title\">x</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">x</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">x</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Passed\">x</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">x</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">x</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Passed\">y z</CELL_TEXT>\n",
      cells);
}

TEST(Elements, LinkCells) {
  EXPECT_EQ(
      "<CELL STYLE=\"Array Passed\"><LINK TARGET=\"src/stack line 42\">\n"
      "<TEXT>push</TEXT>\n"
      "</LINK>\n"
      "</CELL>\n",
      written([](FILE* f) { writeLinkCell(f, "push", StylePassed, "src/stack", 42); }));
  // Without a link file the target begins with the space of " line ".
  EXPECT_EQ(
      "<CELL STYLE=\"Array Failed\"><LINK TARGET=\" line -1\">\n"
      "<TEXT>a &amp; b</TEXT>\n"
      "</LINK>\n"
      "</CELL>\n",
      written([](FILE* f) { writeLinkCell(f, "a & b", 9, nullptr, -1); }));
  EXPECT_EQ("<LINK TARGET=\"dir/a&amp;b &quot;x&quot; line 3\">",
            written([](FILE* f) { writeLinkStart(f, " dir/a&b \"x\"", 3); }));
}

TEST(Elements, NodeStartTag) {
  EXPECT_EQ(
      "<XROD:NODE name=\"stack_push\" type=\"Test Case\" state=\"ok\" sum=\"1\" "
      "icone=\"method.xpm\">",
      written([](FILE* f) {
        writeNodeOpen(f, QStringLiteral("stack_push"), QStringLiteral("Test Case"), "ok", 1,
                      IconMethod);
      }));
  // No sum for 0 or less, no icone outside 0..2, never a line feed after.
  EXPECT_EQ(
      "<XROD:NODE name=\"a\" type=\"b\" state=\"NE\">"
      "<XROD:NODE name=\"a\" type=\"b\" state=\"ko\">"
      "<XROD:NODE name=\"a\" type=\"b\" state=\"ok\" sum=\"7\" icone=\"class.xpm\">"
      "<XROD:NODE name=\"a\" type=\"b\" state=\"ok\" icone=\"testscript.xpm\">",
      written([](FILE* f) {
        writeNodeOpen(f, QStringLiteral("a"), QStringLiteral("b"), "NE", 0, 3);
        writeNodeOpen(f, QStringLiteral("a"), QStringLiteral("b"), "ko", -4, -1);
        writeNodeOpen(f, QStringLiteral("a"), QStringLiteral("b"), "ok", 7, IconClass);
        writeNodeOpen(f, QStringLiteral("a"), QStringLiteral("b"), "ok", 0, IconTestScript);
      }));
  EXPECT_EQ(
      "<XROD:NODE name=\"Gr\xC3\xB6\xC3\x9F" "e &quot;x&quot; &lt;1&gt;\" type=\"T &amp; C\" "
      "state=\"ok\">",
      written([](FILE* f) {
        writeNodeOpen(f, QStringLiteral(u"Größe \"x\"  <1>"), QStringLiteral("T & C"), "ok", 0,
                      5);
      }));
}

TEST(Elements, TitlesCapTheStyleNumberAtFive) {
  EXPECT_EQ(
      "<TITLE LEVEL=\"1\" TAG=\"nodex7\" STYLE=\"Title2 Passed\">\n"
      "<TEXT>Test Case stack_push</TEXT>\n"
      "</TITLE>\n",
      written([](FILE* f) { writeTitle(f, QStringLiteral("Test Case stack_push"), 1, 3, 7); }));
  const std::string styles = written([](FILE* f) {
    writeTitle(f, QStringLiteral("a"), 0, StyleTitle, 1);
    writeTitle(f, QStringLiteral("b"), 3, StylePlain, 2);
    writeTitle(f, QStringLiteral("c"), 4, StyleFailed, 3);
    writeTitle(f, QStringLiteral("d"), 5, 4, 4);
    writeTitle(f, QStringLiteral("e"), 2147483647, StylePassed, 5);
  });
  EXPECT_EQ(
      "<TITLE LEVEL=\"0\" TAG=\"nodex1\" STYLE=\"Title1\">\n<TEXT>a</TEXT>\n</TITLE>\n"
      "<TITLE LEVEL=\"3\" TAG=\"nodex2\" STYLE=\"Title4\">\n<TEXT>b</TEXT>\n</TITLE>\n"
      "<TITLE LEVEL=\"4\" TAG=\"nodex3\" STYLE=\"Title5 Failed\">\n<TEXT>c</TEXT>\n</TITLE>\n"
      "<TITLE LEVEL=\"5\" TAG=\"nodex4\" STYLE=\"Title5\">\n<TEXT>d</TEXT>\n</TITLE>\n"
      "<TITLE LEVEL=\"2147483647\" TAG=\"nodex5\" STYLE=\"Title5 Passed\">\n<TEXT>e</TEXT>\n"
      "</TITLE>\n",
      styles);
}

TEST(Elements, LinkedTitles) {
  EXPECT_EQ(
      "<TITLE LEVEL=\"2\" TAG=\"nodex12\" STYLE=\"Title3 Failed\">\n"
      "<LINK TARGET=\"src/stack line 20\">\n"
      "<TEXT>Test Case push_pop</TEXT>\n"
      "</LINK>\n"
      "</TITLE>\n"
      "<TITLE LEVEL=\"6\" TAG=\"nodex13\" STYLE=\"Title5\">\n"
      "<LINK TARGET=\" line 0\">\n"
      "<TEXT></TEXT>\n"
      "</LINK>\n"
      "</TITLE>\n",
      written([](FILE* f) {
        writeLinkedTitle(f, QStringLiteral("Test Case push_pop"), 2, StyleFailed, 12,
                         "src/stack", 20);
        writeLinkedTitle(f, QString(), 6, StylePlain, 13, nullptr, 0);
      }));
}

TEST(Elements, CheckHeaderRowHasFiveOrSixCells) {
  const std::string fiveCells =
      "<CELL_TEXT STYLE=\"Array Title\">Expression</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Status</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Executed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Failed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Passed</CELL_TEXT>\n";
  EXPECT_EQ("<ROW>\n" + fiveCells + "</ROW>\n",
            written([](FILE* f) { writeCheckHeaderRow(f, StyleTitle, false); }));
  EXPECT_EQ("<ROW>\n<CELL_TEXT STYLE=\"Array Title\">Method</CELL_TEXT>\n" + fiveCells + "</ROW>\n",
            written([](FILE* f) { writeCheckHeaderRow(f, StyleTitle, true); }));
}

TEST(Elements, TranslatedWordsAreEncodedOnce) {
  ScopedTranslation french({{{"VELDORA Cell text", "Status"}, QStringLiteral(u"État")},
                            {{"VELDORA Cell text", "Method"}, QStringLiteral(u"Méthode")}});
  const std::string row = written([](FILE* f) { writeCheckHeaderRow(f, StylePlain, true); });
  EXPECT_EQ(
      "<ROW>\n"
      "<CELL_TEXT STYLE=\"Array\">M\xC3\xA9thode</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">Expression</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">\xC3\x89tat</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">Executed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">Failed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array\">Passed</CELL_TEXT>\n"
      "</ROW>\n",
      row);
}

}  // namespace
