// The helpers both programs share: decimal numbers with their ranges, the
// escaping modes, UTF-8 at its edges, and the report format's lookups both
// ways.
#include "support/decimal.h"
#include "support/report_format.h"
#include "support/utf8.h"
#include "support/xml_escape.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace std::string_literals;

TEST(Decimal, RangesAreCheckedWithoutOverflow) {
  int64_t v = 0;
  EXPECT_TRUE(parseDecimal("42", 0, 100, &v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(parseDecimal("-9223372036854775808", INT64_MIN, INT64_MAX, &v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(parseDecimal("9223372036854775807", INT64_MIN, INT64_MAX, &v));
  EXPECT_EQ(v, INT64_MAX);
  v = 7;
  for (const char* bad : {"", "-", "+1", " 1", "1 ", "1e3", "0x1", "-1", "101",
                          "99999999999999999999"})
    EXPECT_FALSE(parseDecimal(bad, 0, 100, &v)) << bad;
  EXPECT_FALSE(parseDecimal("9223372036854775808", INT64_MIN, INT64_MAX, &v));
  EXPECT_FALSE(parseDecimal("-9223372036854775809", INT64_MIN, INT64_MAX, &v));
  EXPECT_EQ(v, 7);  // untouched on failure
  EXPECT_TRUE(isDigits("007"));
  EXPECT_FALSE(isDigits(""));
  EXPECT_FALSE(isDigits("-1"));
}

TEST(Decimal, HexadecimalDigitsWithTheirLimit) {
  int64_t v = 0;
  EXPECT_TRUE(parseHexadecimal("10fFfF", 0x10FFFF, &v));
  EXPECT_EQ(v, 0x10FFFF);
  EXPECT_TRUE(parseHexadecimal("7FFFFFFFFFFFFFFF", INT64_MAX, &v));
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_TRUE(parseHexadecimal(std::string(1000, '0') + "41", 0x10FFFF, &v));
  EXPECT_EQ(v, 0x41);
  v = 7;
  const std::string bad[] = {"", "110000", "x41", "-1", "+1", "4g", " 1", std::string(1000000, 'F')};
  for (const std::string& text : bad)
    EXPECT_FALSE(parseHexadecimal(text, 0x10FFFF, &v)) << text.substr(0, 20);
  EXPECT_FALSE(parseHexadecimal("8000000000000000", INT64_MAX, &v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(isHexDigits("09afAF"));
  EXPECT_FALSE(isHexDigits(""));
  EXPECT_FALSE(isHexDigits("0x1"));
}

std::string escaped(std::string_view text, XmlEscapeMode mode) {
  std::string out;
  appendEscapedXml(&out, text, mode);
  return out;
}

TEST(XmlEscape, EachModeKeepsOrReplacesLineEnds) {
  const std::string text = "a<b>&\"c'\t\n\r\x01\xEF\xBF\xBE\xEF\xBF\xBD";
  EXPECT_EQ(escaped(text, XmlAttribute),
            "a&lt;b&gt;&amp;&quot;c'&#9;&#10;&#13;\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(escaped(text, XmlContent),
            "a&lt;b&gt;&amp;&quot;c'\t\n&#13;\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(escaped(text, HtmlText),
            "a&lt;b&gt;&amp;&quot;c&#39;\t\n\r\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  for (XmlEscapeMode mode : {ReportAttribute, ReportText})
    EXPECT_EQ(escaped(text, mode),
              "a&lt;b&gt;&amp;&quot;c'\t\n\r\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  // A cut U+FFFE at the end stays as it is.
  EXPECT_EQ(escaped("x\xEF\xBF", XmlContent), "x\xEF\xBF");
}

// Only report text reads backslash-n as a line end; a backslash elsewhere,
// or an "n" after anything else, stays.
TEST(XmlEscape, ReportTextMakesBackslashNALineFeedReference) {
  EXPECT_EQ(escaped("a\\nb\\\\nc\\ n \\N\\", ReportText), "a&#10;b\\&#10;c\\ n \\N\\");
  EXPECT_EQ(escaped("&#10;\\n", ReportText), "&amp;#10;&#10;");
  for (XmlEscapeMode mode : {XmlAttribute, XmlContent, HtmlText, ReportAttribute})
    EXPECT_EQ(escaped("a\\nb", mode), "a\\nb") << mode;
}

// What UTF-16 text converted byte for byte can hold: a surrogate on its own
// (ED A0..BF xx) and NUL become U+FFFD in every mode, like U+FFFE; U+D7FF and
// a surrogate cut short stay.
TEST(XmlEscape, SurrogatesAndNulBecomeReplacementCharacter) {
  const std::string text = "<\xED\xA0\x80|\xED\xBF\xBF|\0|\xEF\xBF\xBE|\xED\x9F\xBF|\xED\xA0"s;
  for (XmlEscapeMode mode : {XmlAttribute, XmlContent, HtmlText, ReportAttribute, ReportText})
    EXPECT_EQ(escaped(text, mode),
              "&lt;\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|\xED\x9F\xBF|\xED\xA0")
        << mode;
}

TEST(XmlEscape, StreamGetsTheSameBytes) {
  const std::string text = "a\\nb <&> \"\0'\xED\xA0\x80\t\r"s;
  for (XmlEscapeMode mode : {XmlAttribute, XmlContent, HtmlText, ReportAttribute, ReportText}) {
    char* bytes = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&bytes, &size);
    writeEscapedXml(stream, text, mode);
    fclose(stream);
    EXPECT_EQ(std::string(bytes, size), escaped(text, mode)) << mode;
    free(bytes);
  }
}

TEST(Utf8, DecodesValidAndRefusesInvalidSequences) {
  const auto decode = [](std::string_view bytes, uint32_t* c) {
    return decodeUtf8(bytes.data(), bytes.data() + bytes.size(), c);
  };
  uint32_t c = 0;
  EXPECT_EQ(decode("A", &c), 1);
  EXPECT_EQ(c, 'A');
  EXPECT_EQ(decode("\xC3\xA9", &c), 2);
  EXPECT_EQ(c, 0xE9u);
  EXPECT_EQ(decode("\xF4\x8F\xBF\xBF", &c), 4);
  EXPECT_EQ(c, 0x10FFFFu);
  EXPECT_EQ(decode("\xE2\x82", &c), 0);  // cut off
  for (std::string_view bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                               "\xF4\x90\x80\x80", "\xC3\x41", "\xFF"})
    EXPECT_EQ(decode(bad, &c), -1);
  std::string out;
  for (uint32_t code : {0x41u, 0xE9u, 0x20ACu, 0x1F600u}) appendUtf8(&out, code);
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_TRUE(isValidUtf8(out));
  EXPECT_FALSE(isValidUtf8(out.substr(0, out.size() - 1)));
}

TEST(ReportFormat, NamesAndValuesRoundTrip) {
  for (int style = StyleTitle; style <= StylePassed; ++style)
    EXPECT_EQ(cellStyleFromName(cellStyleName(style)), style);
  EXPECT_STREQ(cellStyleName(7), "Array Failed");
  EXPECT_EQ(cellStyleFromName("Array failed"), -1);
  for (int icon = IconMethod; icon <= IconTestScript; ++icon)
    EXPECT_EQ(iconFromFile(iconFile(icon)), icon);
  EXPECT_EQ(iconFile(IconNone), nullptr);
  EXPECT_EQ(iconFile(3), nullptr);
  EXPECT_EQ(iconFromFile("arrow10.xpm"), IconNone);
}

}  // namespace
