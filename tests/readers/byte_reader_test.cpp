#include "readers/byte_reader.h"
#include "reader_test_support.h"

#include "tests/file_bytes.h"

TEST(TokenReaders, StopAtDelimitersAndDropLineFeeds) {
  const std::string bytes = "ab\ncd ef;gh=ij\n\nkl";
  ByteReader in(bytes.data(), bytes.size());
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
  const std::string bytes = std::string(1500, 'x') + " next\n";
  ByteReader in(bytes.data(), bytes.size());
  Token t;
  EXPECT_EQ(std::string(readUntil(in, t, ' ')), std::string(1023, 'x'));
  EXPECT_STREQ(readRestOfLine(in, t), "next");
  EXPECT_FALSE(in.atEnd());  // the last line feed was read, nothing past it
  EXPECT_EQ(in.get(), -1);
  EXPECT_TRUE(in.atEnd());
}

// The readers take a file or a block in memory: the same bytes read alike,
// and an empty block is an empty file.
TEST(ByteSources, FileAndMemoryReadAlike) {
  const std::string bytes = readFile(fixture("links.ots"));
  ASSERT_FALSE(bytes.empty());
  ByteReader file(fixture("links.ots").c_str());
  ByteReader memory(bytes.data(), bytes.size());
  for (;;) {
    int c = file.get();
    ASSERT_EQ(memory.get(), c);
    ASSERT_EQ(memory.atEnd(), file.atEnd());
    if (c < 0) break;
  }
  ByteReader empty(nullptr, 0);
  EXPECT_TRUE(empty.isOpen());
  EXPECT_EQ(empty.get(), -1);
  EXPECT_TRUE(empty.atEnd());
  EXPECT_FALSE(ByteReader(VELDORA_TEST_DATA "/no-such.ots").isOpen());
}
