#include "framework/support/tstring.h"

#include <gtest/gtest.h>

#include <string>

namespace lumetra {
namespace {

TEST(TString, ConstructionGivesTheTextOrTheEmptyString) {
  EXPECT_STREQ(TString().CStr(), "");
  EXPECT_EQ(TString(static_cast<const char*>(nullptr)).Length(), 0u);
  EXPECT_STREQ(TString("abc").CStr(), "abc");
  EXPECT_STREQ(TString('x').CStr(), "x");
  EXPECT_EQ(TString('\0').Length(), 0u) << "the NUL character gives the empty string";
}

TEST(TString, NineteenCharactersStayInlineTwentyGoToTheHeap) {
  TString nineteen(std::string(19, 'a').c_str());
  TString twenty(std::string(20, 'b').c_str());
  EXPECT_TRUE(nineteen.IsInline());
  EXPECT_FALSE(twenty.IsInline());
  EXPECT_EQ(twenty.Length(), 20u);
  EXPECT_EQ(std::string(twenty.CStr()), std::string(20, 'b'));
}

TEST(TString, CopiesAreIndependentAndSelfAssignmentKeepsTheText) {
  TString long_text("a text well beyond the inline buffer");
  TString copy(long_text);
  EXPECT_NE(copy.CStr(), long_text.CStr()) << "a copy must own its own block";
  EXPECT_EQ(copy, long_text);

  TString& alias = copy;
  copy = alias;
  EXPECT_EQ(copy, long_text);

  copy = "short";
  EXPECT_TRUE(copy.IsInline());
  EXPECT_STREQ(long_text.CStr(), "a text well beyond the inline buffer");

  // Assigning a string a piece of its own text.
  TString heap(std::string(40, 'q').c_str());
  heap = heap.CStr() + 30;
  EXPECT_EQ(std::string(heap.CStr()), std::string(10, 'q'));
}

TEST(TString, EqualityNeedsSameLengthAndCharacters) {
  EXPECT_EQ(TString("abc"), TString("abc"));
  EXPECT_NE(TString("abc"), TString("abd"));
  EXPECT_NE(TString("ab"), TString("abc"));
  EXPECT_EQ(TString(), TString(""));
}

TEST(TString, AppendMovesToTheHeapWhenTheJoinedTextOutgrowsTheBuffer) {
  TString s("0123456789");
  s += TString();
  EXPECT_STREQ(s.CStr(), "0123456789");
  s += TString("abcdefghi");
  EXPECT_TRUE(s.IsInline()) << "19 characters still fit";
  s += TString('j');
  EXPECT_FALSE(s.IsInline());
  EXPECT_STREQ(s.CStr(), "0123456789abcdefghij");
  s += s;
  EXPECT_STREQ(s.CStr(), "0123456789abcdefghij0123456789abcdefghij");
  EXPECT_EQ(s.Length(), 40u);

  TString twice("ab");
  twice += twice;
  EXPECT_STREQ(twice.CStr(), "abab");
}

TEST(TString, FindReportsTheFirstPositionOrMinusOne) {
  TString s("a\\b\\c");
  EXPECT_EQ(s.Find('\\'), 1);
  EXPECT_EQ(s.Find('\\', 2), 3);
  EXPECT_EQ(s.Find('z'), -1);
  EXPECT_EQ(s.Find('a', 99), -1) << "a start beyond the length";
  EXPECT_EQ(TString().Find('a'), -1);
}

TEST(TString, SubstringTakesTheRestForZeroOrOverlongCounts) {
  TString s("profile.icm");
  EXPECT_STREQ(s.Substring(0, 7).CStr(), "profile");
  EXPECT_STREQ(s.Substring(8).CStr(), "icm");
  EXPECT_STREQ(s.Substring(8, 100).CStr(), "icm");
  EXPECT_STREQ(s.Substring(11, 1).CStr(), "");
  EXPECT_STREQ(s.Substring(500, 1).CStr(), "");
}

TEST(TString, FieldsSplitAtTheSeparator) {
  TString path("a\\b\\c");
  EXPECT_EQ(path.FieldCount('\\'), 3u);
  EXPECT_STREQ(path.Field(0, '\\').CStr(), "a");
  EXPECT_STREQ(path.Field(1, '\\').CStr(), "b");
  EXPECT_STREQ(path.Field(2, '\\').CStr(), "c");
  EXPECT_STREQ(path.Field(3, '\\').CStr(), "");
  EXPECT_STREQ(path.FieldsFrom(2, '\\').CStr(), "c");
  EXPECT_STREQ(path.FieldsFrom(1, '\\').CStr(), "b\\c");
  EXPECT_STREQ(path.FieldsFrom(0, '\\').CStr(), "a\\b\\c");
  EXPECT_STREQ(path.FieldsFrom(3, '\\').CStr(), "");

  TString trailing("a\\");
  EXPECT_EQ(trailing.FieldCount('\\'), 2u);
  EXPECT_STREQ(trailing.Field(1, '\\').CStr(), "");
  EXPECT_EQ(TString("a\\\\b").Field(1, '\\').Length(), 0u) << "two separators in a row";
  EXPECT_EQ(TString().FieldCount('\\'), 0u);
  EXPECT_STREQ(TString().Field(0, '\\').CStr(), "");
  EXPECT_STREQ(TString().FieldsFrom(0, '\\').CStr(), "");
}

TEST(TString, TheLastFieldOfALongPathIsItsFileName) {
  TString path("C:\\windows\\system32\\spool\\drivers\\color\\Gamma5000K.icm");
  uint32_t fields = path.FieldCount('\\');
  EXPECT_EQ(fields, 7u);
  EXPECT_STREQ(path.FieldsFrom(fields - 1, '\\').CStr(), "Gamma5000K.icm");
  EXPECT_STREQ(TString("bare.icm").FieldsFrom(0, '\\').CStr(), "bare.icm");
}

}  // namespace
}  // namespace lumetra
