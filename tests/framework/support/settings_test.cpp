#include "framework/support/settings_tree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/testing/paths.h"

namespace lumetra {
namespace {

// A tree that frees itself, subtrees included.
struct TreeOwner {
  SettingsTree* tree = CreateTree();
  ~TreeOwner() { DestroyTree(tree, true); }
};

Status Parse(SettingsTree* tree, const std::string& text) {
  return ParseSettingsMemory(tree, text.data(), text.size());
}

TEST(SettingsTree, SettingANameAgainRewritesItInPlace) {
  TreeOwner t;
  ASSERT_EQ(SetText(t.tree, "a", "one"), kOk);
  ASSERT_EQ(SetNumber(t.tree, "b", 2), kOk);
  ASSERT_EQ(SetFlag(t.tree, "a", true), kOk);
  EXPECT_EQ(EntryCount(t.tree), 2);
  EXPECT_STREQ(EntryNameAt(t.tree, 0), "a") << "a replaced entry keeps its first position";
  EXPECT_EQ(EntryType(t.tree, "a"), kFlagEntry);
  EXPECT_EQ(GetNumber(t.tree, "a", 7), 1);

  // A text replaced by its own text: the copy is made before the old one goes.
  ASSERT_EQ(SetText(t.tree, "c", "same"), kOk);
  ASSERT_EQ(SetText(t.tree, "c", GetText(t.tree, "c", nullptr)), kOk);
  EXPECT_STREQ(GetText(t.tree, "c", nullptr), "same");

  // A subtree replaced by a number is freed with it (the sanitizers would see a leak).
  ASSERT_NE(GetOrCreateSubtree(t.tree, "sub"), nullptr);
  ASSERT_EQ(SetText(GetSubtree(t.tree, "sub"), "x", "y"), kOk);
  ASSERT_EQ(SetNumber(t.tree, "sub", 3), kOk);
  EXPECT_EQ(GetSubtree(t.tree, "sub"), nullptr);
}

TEST(SettingsTree, ASubtreeIsNeverStoredWhereItWouldBeFreedOrHoldItself) {
  TreeOwner t;
  SettingsTree* outer = GetOrCreateSubtree(t.tree, "outer");
  SettingsTree* inner = GetOrCreateSubtree(outer, "inner");
  SettingsTree* deepest = GetOrCreateSubtree(inner, "deepest");
  ASSERT_NE(deepest, nullptr);
  ASSERT_EQ(SetNumber(deepest, "n", 4), kOk);

  // Replacing "outer" frees the old subtree with everything below it.
  EXPECT_EQ(SetEntry(t.tree, "outer", kSubtreeEntry, SubtreeValue(inner)), kBadArgument)
      << "a descendant of the replaced subtree would be freed with it";
  EXPECT_EQ(SetEntry(t.tree, "outer", kSubtreeEntry, SubtreeValue(deepest)), kBadArgument);
  EXPECT_EQ(GetSubtree(t.tree, "outer"), outer) << "a refused replacement changes nothing";
  EXPECT_EQ(GetNumber(deepest, "n", 0), 4);

  EXPECT_EQ(SetEntry(inner, "loop", kSubtreeEntry, SubtreeValue(outer)), kBadArgument)
      << "a tree cannot hold one of its ancestors";
  EXPECT_EQ(SetEntry(outer, "self", kSubtreeEntry, SubtreeValue(outer)), kBadArgument)
      << "nor itself";
  EXPECT_FALSE(HasEntry(inner, "loop"));
  EXPECT_FALSE(HasEntry(outer, "self"));

  // A subtree from outside replaces the old one, which is freed.
  SettingsTree* fresh = CreateTree();
  ASSERT_NE(fresh, nullptr);
  ASSERT_EQ(SetEntry(t.tree, "outer", kSubtreeEntry, SubtreeValue(fresh)), kOk);
  EXPECT_EQ(GetSubtree(t.tree, "outer"), fresh);
  EXPECT_EQ(SetEntry(t.tree, "outer", kSubtreeEntry, SubtreeValue(fresh)), kOk)
      << "the same subtree stored again stays";
  EXPECT_EQ(GetSubtree(t.tree, "outer"), fresh);
}

TEST(SettingsTree, SlotsGrowByTwentyAtATime) {
  TreeOwner t;
  EXPECT_EQ(EntryCapacity(t.tree), 20);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(SetNumber(t.tree, std::to_string(i).c_str(), i), kOk);
  EXPECT_EQ(EntryCapacity(t.tree), 20);
  ASSERT_EQ(SetNumber(t.tree, "20", 20), kOk);
  EXPECT_EQ(EntryCapacity(t.tree), 40);
  EXPECT_EQ(EntryCount(t.tree), 21);
  for (int i = 0; i <= 20; ++i) EXPECT_EQ(GetNumber(t.tree, std::to_string(i).c_str(), -1), i);
}

TEST(SettingsTree, ValuesOfAnotherTypeAreNotHandedOut) {
  TreeOwner t;
  SetNumber(t.tree, "n", 5);
  SetText(t.tree, "t", " -42 ");
  SetText(t.tree, "word", "12a");
  ASSERT_NE(GetOrCreateSubtree(t.tree, "s"), nullptr);
  EXPECT_STREQ(GetText(t.tree, "n", "dflt"), "dflt");
  EXPECT_STREQ(GetText(t.tree, "s", "dflt"), "dflt");
  EXPECT_EQ(GetSubtree(t.tree, "n"), nullptr);
  EXPECT_EQ(GetNumber(t.tree, "t", 0), -42) << "a text that is wholly a number";
  EXPECT_EQ(GetNumber(t.tree, "word", 9), 9);
  EXPECT_EQ(GetNumber(t.tree, "s", 9), 9);
  EXPECT_EQ(GetNumber(t.tree, "absent", 9), 9);

  // Asked for a tree where a number stands, the number gives way to a new tree.
  SettingsTree* replaced = GetOrCreateSubtree(t.tree, "n");
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(GetSubtree(t.tree, "n"), replaced);
  EXPECT_EQ(FindEntry(t.tree, "n"), 0);
  EXPECT_EQ(GetOrCreateSubtree(nullptr, "a"), nullptr) << "a tree nobody would own is not made";
}

TEST(ParseInteger, AcceptsOneSignedIntegerBetweenBlanks) {
  int32_t n = 0;
  EXPECT_TRUE(ParseInteger("+12", &n));
  EXPECT_EQ(n, 12);
  EXPECT_TRUE(ParseInteger(" \t-7\r\n", &n));
  EXPECT_EQ(n, -7);
  EXPECT_TRUE(ParseInteger("-2147483648", &n));
  EXPECT_EQ(n, INT32_MIN);
  for (const char* bad : {"", " ", "+", "-", "1 2", "12a", "--1", "0x10"}) {
    EXPECT_FALSE(ParseInteger(bad, &n)) << '"' << bad << '"';
  }
}

TEST(ParseInteger, NumbersBeyondThirtyTwoBitsWrapAround) {
  // Digits beyond 32 bits still make a number; it is taken modulo 2^32.
  const struct {
    const char* text;
    int32_t number;
  } cases[] = {
      {"2147483648", INT32_MIN},
      {"4294967295", -1},
      {"4294967296", 0},
      {"-2147483649", INT32_MAX},
      {"-4294967297", -1},
      {"18446744073709551617", 1},  // 2^64 + 1
      {"000000000000000000000000000012", 12},
  };
  for (const auto& c : cases) {
    int32_t n = 7;
    EXPECT_TRUE(ParseInteger(c.text, &n)) << c.text << " is a number";
    EXPECT_EQ(n, c.number) << c.text << " taken modulo 2^32";
  }

  TreeOwner t;
  ASSERT_EQ(Parse(t.tree, "big = 2147483648\n"), kOk);
  EXPECT_EQ(EntryType(t.tree, "big"), kNumberEntry) << "a long number stays a number, not a text";
  EXPECT_EQ(GetNumber(t.tree, "big", 0), INT32_MIN);
}

TEST(SettingsParser, StoresNumbersTextsFlagsAndSubtrees) {
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree,
                  "unitx = 8\n"
                  "bgcolor = \"255 255 255\"\n"
                  "flag = TRUE\n"
                  "off = false\n"
                  "main = {\n"
                  "  x = 10\n"
                  "}\n"
                  "after = word\n"),
            kOk);
  EXPECT_EQ(EntryType(t.tree, "unitx"), kNumberEntry);
  EXPECT_EQ(GetNumber(t.tree, "unitx", 0), 8);
  EXPECT_STREQ(GetText(t.tree, "bgcolor", nullptr), "255 255 255");
  EXPECT_EQ(EntryType(t.tree, "flag"), kFlagEntry);
  EXPECT_EQ(GetNumber(t.tree, "flag", 0), 1);
  EXPECT_EQ(GetNumber(t.tree, "off", 1), 0);
  EXPECT_EQ(GetNumber(GetSubtree(t.tree, "main"), "x", 0), 10);
  EXPECT_STREQ(GetText(t.tree, "after", nullptr), "word") << "the subtree ended at its }";
  EXPECT_STREQ(EntryNameAt(t.tree, 5), "after");
}

TEST(SettingsParser, TheLastPairNeedsItsLineEnd) {
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree, "a = 1\nb = 2"), kOk) << "the end of the data is no error";
  EXPECT_TRUE(HasEntry(t.tree, "a"));
  EXPECT_FALSE(HasEntry(t.tree, "b"));
  ASSERT_EQ(Parse(t.tree, "b = 2\n"), kOk);
  EXPECT_EQ(GetNumber(t.tree, "b", 0), 2);
}

TEST(SettingsParser, AMissingEqualsSignEndsTheParseKeepingEarlierPairs) {
  TreeOwner t;
  EXPECT_EQ(Parse(t.tree, "a = 1\nunitx=8\nb = 2\n"), kSettingsEqualsExpected);
  EXPECT_EQ(GetNumber(t.tree, "a", 0), 1);
  EXPECT_FALSE(HasEntry(t.tree, "unitx=8"));
  EXPECT_FALSE(HasEntry(t.tree, "b"));
  EXPECT_EQ(EntryCount(t.tree), 1);
}

TEST(SettingsParser, CommentsStartOnlyWhereATokenCould) {
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree,
                  "# a whole line\n"
                  "a = b#c   # after the value\n"
                  "k#1 = 2\n"),
            kOk);
  EXPECT_STREQ(GetText(t.tree, "a", nullptr), "b#c");
  EXPECT_EQ(GetNumber(t.tree, "k#1", 0), 2);
  EXPECT_EQ(EntryCount(t.tree), 2);
}

TEST(SettingsParser, QuotesKeepBlanksAndEscapesAndMakeTexts) {
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree,
                  "\"my key\" = \"say \\\"hi\\\" \\\\ there\"\n"
                  "q = \"123\"\n"
                  "n = 123\n"
                  "plus = +12\n"
                  "pair = \"1 2\"\n"
                  "open = \"{\"\n"
                  "span = \"two\nlines\"\n"),
            kOk);
  EXPECT_STREQ(GetText(t.tree, "my key", nullptr), "say \"hi\" \\ there");
  EXPECT_EQ(EntryType(t.tree, "q"), kTextEntry);
  EXPECT_EQ(EntryType(t.tree, "n"), kNumberEntry);
  EXPECT_EQ(EntryType(t.tree, "plus"), kNumberEntry);
  EXPECT_EQ(GetNumber(t.tree, "plus", 0), 12);
  EXPECT_EQ(EntryType(t.tree, "pair"), kTextEntry);
  EXPECT_STREQ(GetText(t.tree, "open", nullptr), "{") << "a quoted brace opens nothing";
  EXPECT_STREQ(GetText(t.tree, "span", nullptr), "two\nlines");
}

TEST(SettingsParser, BracesAndEqualsAreTokensOnlyBetweenBlanks) {
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree, "a = {x\n"), kOk);
  EXPECT_STREQ(GetText(t.tree, "a", nullptr), "{x");
  EXPECT_EQ(Parse(t.tree, "b ={\n"), kSettingsEqualsExpected);
}

TEST(SettingsParser, SubtreesNestAndExtendAndTheTopLevelBraceEndsTheParse) {
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree,
                  "outer = {\n"
                  "  inner = { deep = 1\n"
                  "  }\n"
                  "  x = 1\n"
                  "}\n"
                  "outer = {\n"
                  "  y = 2\n"
                  "}\n"
                  "}\n"
                  "ignored = 1\n"),
            kOk);
  SettingsTree* outer = GetSubtree(t.tree, "outer");
  ASSERT_NE(outer, nullptr);
  EXPECT_EQ(GetNumber(GetSubtree(outer, "inner"), "deep", 0), 1);
  EXPECT_EQ(GetNumber(outer, "x", 0), 1) << "the second section extends the first";
  EXPECT_EQ(GetNumber(outer, "y", 0), 2);
  EXPECT_EQ(EntryCount(t.tree), 1);
  EXPECT_FALSE(HasEntry(t.tree, "ignored"));

  // Only an unquoted "}" closes a level; in quotes it is a key like any other.
  TreeOwner quoted;
  ASSERT_EQ(Parse(quoted.tree,
                  "s = {\n"
                  "  \"}\" = 1\n"
                  "  after = 2\n"
                  "}\n"
                  "\"}\" = 3\n"
                  "top = 4\n"),
            kOk);
  SettingsTree* s = GetSubtree(quoted.tree, "s");
  EXPECT_EQ(GetNumber(s, "}", 0), 1) << "a quoted } is a key";
  EXPECT_EQ(GetNumber(s, "after", 0), 2) << "the level goes on after a quoted }";
  EXPECT_EQ(GetNumber(quoted.tree, "}", 0), 3);
  EXPECT_EQ(GetNumber(quoted.tree, "top", 0), 4) << "a quoted } at the top does not end the parse";

  // A subtree cut off by the end of the data keeps what it read.
  TreeOwner cut;
  ASSERT_EQ(Parse(cut.tree, "s = {\n a = 1\n"), kOk);
  EXPECT_EQ(GetNumber(GetSubtree(cut.tree, "s"), "a", 0), 1);
}

TEST(SettingsParser, NestingIsBounded) {
  std::string text;
  for (int i = 0; i < kMaxSettingsDepth + 5; ++i) text += "s = {\n";
  TreeOwner t;
  EXPECT_EQ(Parse(t.tree, text), kBadArgument);
  int levels = 0;
  for (SettingsTree* s = GetSubtree(t.tree, "s"); s; s = GetSubtree(s, "s")) ++levels;
  EXPECT_EQ(levels, kMaxSettingsDepth - 1);
}

TEST(SettingsParser, LineModeReadsTheRestOfTheLine) {
  TreeOwner t;
  SetLineMode(t.tree, true);
  ASSERT_EQ(Parse(t.tree,
                  "# a comment line\n"
                  "20206   A file was not   found\n"
                  "1 \"quoted\" stays\n"
                  "2 #hash goes\n"
                  "3\n"
                  "4 next line\r\n"
                  "\n"
                  "5 = not a separator\n"),
            kOk);
  EXPECT_STREQ(GetText(t.tree, "20206", nullptr), "A file was not   found");
  EXPECT_STREQ(GetText(t.tree, "1", nullptr), "\"quoted\" stays");
  EXPECT_STREQ(GetText(t.tree, "2", nullptr), "hash goes");
  EXPECT_STREQ(GetText(t.tree, "3", nullptr), "") << "a key alone keeps off the next line";
  EXPECT_STREQ(GetText(t.tree, "4", nullptr), "next line");
  EXPECT_STREQ(GetText(t.tree, "5", nullptr), "= not a separator");
  EXPECT_EQ(EntryCount(t.tree), 6);
}

TEST(SettingsParser, LongTokensGrowTheirBuffer) {
  std::string long_text(1000, 'x');
  TreeOwner t;
  ASSERT_EQ(Parse(t.tree, "k = " + long_text + "\n"), kOk);
  EXPECT_EQ(GetText(t.tree, "k", ""), long_text);
}

TEST(SettingsParser, TheDataEndAtTheirFirstNul) {
  // A movable block holds its text and a NUL; what follows must not count.
  const char text[] = "a = 1\n\0b = 2\n";
  MemBlock block = MemAllocMovable(sizeof(text));
  ASSERT_NE(block, nullptr);
  CopyBytes(text, MemLock(block), sizeof(text));
  MemUnlock(block);
  TreeOwner t;
  EXPECT_EQ(ParseSettingsBlock(t.tree, block), kOk);
  MemFree(block);
  EXPECT_EQ(GetNumber(t.tree, "a", 0), 1);
  EXPECT_FALSE(HasEntry(t.tree, "b"));
}

TEST(SettingsParser, ReadsFilesOneByteAtATime) {
  std::string dir = testing::ScratchDir("settings_parser");
  std::string path = testing::SystemPath(dir + "/GUISettings.txt");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("10 = {\n  bgcolor = \"1 2 3\"\n}\n", f);
  std::fclose(f);

  TreeOwner t;
  ASSERT_EQ(ParseSettingsFile(t.tree, path.c_str()), kOk);
  EXPECT_STREQ(GetText(GetSubtree(t.tree, "10"), "bgcolor", nullptr), "1 2 3");
  EXPECT_EQ(ParseSettingsFile(t.tree, (dir + "/absent.txt").c_str()), kCannotOpenFile);
  EXPECT_EQ(ParseSettingsFile(t.tree, nullptr), kNoFileName);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace lumetra
