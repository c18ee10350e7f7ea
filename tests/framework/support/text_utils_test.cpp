#include "framework/support/text_utils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace lumetra {
namespace {

TEST(CompareNoCaseTest, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(CompareNoCase("Hello.EXE", "hello.exe"), 0);
  EXPECT_LT(CompareNoCase("abc", "abd"), 0);
  EXPECT_GT(CompareNoCase("abc", "ab"), 0) << "a longer text sorts after its prefix";
  EXPECT_EQ(CompareNoCase("[", "{"), '[' - '{') << "only A to Z are folded";
  EXPECT_NE(CompareNoCase("\xC4", "\xE4"), 0) << "no folding outside ASCII";
}

TEST(FormatIntegerTest, RadixSignAndBufferSize) {
  char buffer[kIntegerTextSize];
  ASSERT_EQ(FormatInteger(-42, buffer, sizeof buffer, 10), kOk);
  EXPECT_STREQ(buffer, "-42");
  ASSERT_EQ(FormatInteger(INT32_MIN, buffer, sizeof buffer, 10), kOk);
  EXPECT_STREQ(buffer, "-2147483648");
  ASSERT_EQ(FormatInteger(-1, buffer, sizeof buffer, 16), kOk);
  EXPECT_STREQ(buffer, "ffffffff") << "other radixes take the value as unsigned";
  ASSERT_EQ(FormatInteger(-1, buffer, sizeof buffer, 2), kOk);
  EXPECT_EQ(std::strlen(buffer), 32u) << "the longest text fits kIntegerTextSize";
  ASSERT_EQ(FormatInteger(35, buffer, sizeof buffer, 36), kOk);
  EXPECT_STREQ(buffer, "z");
  ASSERT_EQ(FormatInteger(0, buffer, sizeof buffer, 10), kOk);
  EXPECT_STREQ(buffer, "0");

  char small[3] = {'x', 'x', 'x'};
  EXPECT_EQ(FormatInteger(-42, small, sizeof small, 10), kBadArgument) << "needs 4 bytes";
  EXPECT_STREQ(small, "");
  EXPECT_EQ(FormatInteger(42, small, sizeof small, 10), kOk);
  EXPECT_STREQ(small, "42");
  EXPECT_EQ(FormatInteger(1, buffer, sizeof buffer, 1), kBadArgument);
  EXPECT_EQ(FormatInteger(1, buffer, sizeof buffer, 37), kBadArgument);
}

TEST(ParseNumbersTest, ReadsEachNumberWhereTheLastEnded) {
  double values[3] = {};
  ASSERT_EQ(ParseNumbers("1.5 2.5\t-3", nullptr, 3, values), kOk);
  EXPECT_EQ(values[0], 1.5);
  EXPECT_EQ(values[1], 2.5);
  EXPECT_EQ(values[2], -3.0);

  ASSERT_EQ(ParseNumbers("0.1", nullptr, 1, values), kOk);
  EXPECT_EQ(values[0], static_cast<double>(0.1f)) << "read in single precision";

  ASSERT_EQ(ParseNumbers("1,2,", "%f,", 2, values), kOk) << "literal text in the format";
  EXPECT_EQ(values[1], 2.0);
  ASSERT_EQ(ParseNumbers("1,2", "%f,", 2, values), kOk) << "the last separator may be missing";
  EXPECT_EQ(ParseNumbers("1,2", "%f,", 3, values), kBadArgument);
}

TEST(ParseNumbersTest, RunningOutOrNotANumberGives20003) {
  double values[3] = {};
  EXPECT_EQ(ParseNumbers("1.5 2.5", nullptr, 3, values), kBadArgument);
  EXPECT_EQ(ParseNumbers("1.5 x", nullptr, 2, values), kBadArgument);
  EXPECT_EQ(ParseNumbers("", nullptr, 1, values), kBadArgument);
  EXPECT_EQ(ParseNumbers(nullptr, nullptr, 1, values), kBadArgument);
  EXPECT_EQ(ParseNumbers("1", nullptr, 0, nullptr), kOk);
}

TEST(ParseNumbersTest, RefusesFormatsThatWouldStoreAnythingButOneFloat) {
  double values[2] = {};
  for (const char* format : {"%s", "%d", "%f %f", "%lf", "%*f", "%n", "%", "abc", "%f%n"}) {
    EXPECT_EQ(ParseNumbers("1 2", format, 1, values), kBadArgument) << format;
  }
  EXPECT_EQ(ParseNumbers("%1", "%%%f", 1, values), kOk) << "a literal percent is fine";
  EXPECT_EQ(values[0], 1.0);
  EXPECT_EQ(ParseNumbers("1e3", "%4e", 1, values), kOk);
  EXPECT_EQ(values[0], 1000.0);
}

TEST(FormatNumbersTest, DefaultFormatAndExponentFormForLargeValues) {
  char buffer[64];
  const double values[] = {12.5, 1234567.0, -0.5};
  ASSERT_EQ(FormatNumbers(3, values, nullptr, buffer, sizeof buffer), kOk);
  EXPECT_STREQ(buffer, "  12.501.23e+06  -0.50") << "nothing between the numbers";

  const double exact_limit[] = {1000000.0, -1000000.5};
  ASSERT_EQ(FormatNumbers(2, exact_limit, "%.1f ", buffer, sizeof buffer), kOk);
  EXPECT_STREQ(buffer, "1000000.0 -1.00e+06");

  ASSERT_EQ(FormatNumbers(1, values + 1, "%g", buffer, sizeof buffer), kOk);
  EXPECT_STREQ(buffer, "1.23457e+06") << "only formats with 'f' switch to %.2e";
  ASSERT_EQ(FormatNumbers(0, nullptr, nullptr, buffer, sizeof buffer), kOk);
  EXPECT_STREQ(buffer, "");
}

TEST(FormatNumbersTest, NeverWritesPastTheBuffer) {
  const double values[] = {12.5, 3.25};
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(FormatNumbers(2, values, nullptr, buffer, 10), kBadArgument);
  EXPECT_STREQ(buffer, "  12.50  ") << "what fitted, terminated";
  EXPECT_EQ(buffer[10], '#');
  EXPECT_EQ(FormatNumbers(2, values, nullptr, buffer, 15), kOk) << "14 characters and the NUL";
  for (const char* format : {"%s", "%d", "%f%f", "%*f", "%n", "%Lf", "%.*f"}) {
    EXPECT_EQ(FormatNumbers(1, values, format, buffer, sizeof buffer), kBadArgument) << format;
  }
}

}  // namespace
}  // namespace lumetra
