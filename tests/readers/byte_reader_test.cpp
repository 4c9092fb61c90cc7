#include "readers/byte_reader.h"
#include "reader_test_files.h"

#include <climits>

TEST(ConvertNumber, ReadsLikeStrtol) {
  EXPECT_EQ(convertNumber("1f", 16), 0x1f);
  EXPECT_EQ(convertNumber(" \t-1A", 16), -0x1a);
  EXPECT_EQ(convertNumber("+0x7fff", 16), 0x7fff);
  EXPECT_EQ(convertNumber("0XaB;", 16), 0xab);
  EXPECT_EQ(convertNumber("0xg", 16), 0);
  EXPECT_EQ(convertNumber("12 34", 16), 0x12);
  EXPECT_EQ(convertNumber("", 16), 0);
  EXPECT_EQ(convertNumber("-", 16), 0);
  EXPECT_EQ(convertNumber("0x10", 10), 0);
  EXPECT_EQ(convertNumber("-42abc", 10), -42);
}

TEST(ConvertNumber, SaturatesAtTheSigned64BitRange) {
  EXPECT_EQ(convertNumber("7fffffffffffffff", 16), INT64_MAX);
  EXPECT_EQ(convertNumber("8000000000000000", 16), INT64_MAX);
  EXPECT_EQ(convertNumber("-8000000000000000", 16), INT64_MIN);
  EXPECT_EQ(convertNumber("-8000000000000001", 16), INT64_MIN);
  EXPECT_EQ(convertNumber("123456789abcdef0123", 16), INT64_MAX);
  EXPECT_EQ(convertNumber("9223372036854775808", 10), INT64_MAX);
  // Exactly at the limits, and past 2^64 where the product itself overflows.
  EXPECT_EQ(convertNumber("9223372036854775807", 10), INT64_MAX);
  EXPECT_EQ(convertNumber("-9223372036854775808", 10), INT64_MIN);
  EXPECT_EQ(convertNumber("99999999999999999999", 10), INT64_MAX);
  EXPECT_EQ(convertNumber("-fffffffffffffffffff", 16), INT64_MIN);
}

TEST(ConvertNumber, FieldsKeepTheirBitPatterns) {
  EXPECT_EQ(hexField("-1"), UINT64_MAX);
  EXPECT_EQ(hexField("-8000000000000000"), uint64_t(1) << 63);
  EXPECT_EQ(decimalField("4294967297"), 1);
  EXPECT_EQ(decimalField("2147483648"), INT32_MIN);
  EXPECT_EQ(decimalField("-5"), -5);
}

TEST(TokenReaders, StopAtDelimitersAndDropLineFeeds) {
  ScratchFile file("ab\ncd ef;gh=ij\n\nkl");
  ByteReader in(file.path());
  ASSERT_TRUE(in.isOpen());
  Token t;
  EXPECT_STREQ(readUntil(in, t, ' '), "abcd");
  EXPECT_STREQ(readUntilEither(in, t, ';', '='), "ef");
  EXPECT_STREQ(readUntilEither(in, t, ';', '='), "gh");
  EXPECT_STREQ(readRestOfLine(in, t), "ij");
  EXPECT_STREQ(readUntilEither(in, t, ';', '\n'), "");
  skipByte(in);
  EXPECT_STREQ(readRestOfLine(in, t), "l");
  // Meeting the end sets the end flag; reading on gives empty tokens.
  EXPECT_TRUE(in.atEnd());
  EXPECT_STREQ(readUntil(in, t, ' '), "");
}

TEST(TokenReaders, KeepAtMost1023BytesAndReadOnToTheDelimiter) {
  ScratchFile file(std::string(1500, 'x') + " next\n");
  ByteReader in(file.path());
  Token t;
  EXPECT_EQ(std::string(readUntil(in, t, ' ')), std::string(1023, 'x'));
  EXPECT_STREQ(readRestOfLine(in, t), "next");
  EXPECT_FALSE(in.atEnd());  // the last line feed was read, nothing past it
  EXPECT_EQ(in.get(), -1);
  EXPECT_TRUE(in.atEnd());
}
