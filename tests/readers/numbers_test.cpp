// The number fields of both formats.
#include "readers/numbers.h"
#include "reader_test_support.h"

#include <climits>
#include <string>

namespace {

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

TEST(TraceNumbers, BothNotations) {
  EXPECT_EQ(parseTraceNumber("1A2b"), 0x1a2bu);
  EXPECT_EQ(parseTraceNumber("1A2bh"), 0x1a2bu);
  EXPECT_EQ(parseTraceNumber("h1A2b"), 0xb2a1u);
  EXPECT_EQ(parseTraceNumber("h10"), 0x01u);
  EXPECT_EQ(parseTraceNumber("10H"), 0x10u);
  EXPECT_EQ(parseTraceNumber("12h3"), 0x123u);  // one digit after the suffix
  EXPECT_EQ(parseTraceNumber("123456789"), 0x123456789u);
  EXPECT_EQ(parseTraceNumber("h123456789"), 0x987654321u);
  EXPECT_EQ(parseTraceNumber(""), 0u);
}

TEST(TraceNumbers, ErrorsArePrintedAndCountAsZero) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(parseTraceNumber("0x10"), 0u);
  EXPECT_EQ(parseTraceNumber("1234567890"), 0u);
  EXPECT_EQ(parseTraceNumber("12h34"), 0u);
  EXPECT_EQ(parseTraceNumber("-1"), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string(kNonHexa) + kOverflow + kOverflow + kNonHexa);
}

}  // namespace
