#include "framework/support/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/testing/paths.h"

namespace lumetra {
namespace {

// Language files are found by their bare names, in the current directory:
// each test works in a folder of its own holding only the files it writes.
class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = testing::ScratchDir(std::string("catalogue_") + info->name());
    for (const char* name : {"EnglishLanguage", "GermanLanguage", "DefaultLanguage"}) {
      std::remove(testing::SystemPath(dir_ + "/" + name).c_str());
    }
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(testing::SystemPath(dir_));
    FreeCatalogue();
  }
  void TearDown() override {
    FreeCatalogue();
    std::filesystem::current_path(previous_);
  }

  void Write(const char* name, const std::string& bytes) {
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr) << name;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  std::string dir_;
  std::filesystem::path previous_;
};

TEST_F(Catalogue, WithoutLanguageFilesEveryLookupFails) {
  char buffer[64] = "untouched";
  EXPECT_EQ(GetMessageText(kFileNotFound, buffer, sizeof(buffer)), kNoMessageText);
  EXPECT_STREQ(buffer, "-");
  EXPECT_EQ(LookupMessage(kFileNotFound), kMissingMessage) << "failure is told by identity";
  EXPECT_FALSE(CatalogueHasLanguage("English"));
  EXPECT_NE(LoadLanguage("English"), kOk);
}

TEST_F(Catalogue, EnglishTextsWithLineBreaksAndQuotes) {
  Write("EnglishLanguage",
        "# status texts\n"
        "20206 A file was not found\n"
        "20207 First line\\nsecond line\n"
        "3001 \"Quoted\" at the start\n"
        "5 - \n");
  EXPECT_STREQ(LookupMessage(20206), "A file was not found") << "built on first use";
  EXPECT_TRUE(CatalogueHasLanguage("English"));
  EXPECT_STREQ(LookupMessage(20207), "First line \nsecond line");
  EXPECT_STREQ(LookupMessage(3001), "\"Quoted\" at the start");
  EXPECT_NE(LookupMessage(5), kMissingMessage) << "a text that reads \"-\" is still a text";

  char small[8];
  EXPECT_EQ(GetMessageText(20206, small, sizeof(small)), kOk);
  EXPECT_STREQ(small, "A file ") << "cut to the buffer";
}

TEST_F(Catalogue, GermanIsSearchedFirstAndRepairedThenEnglishAnswers) {
  Write("EnglishLanguage", "1 One\n2 Two\n");
  Write("GermanLanguage", std::string("1 Gr\x8A\x9A\xA7" "e \x80\x85\x86 \x9F\x88\n"));
  ASSERT_EQ(LoadLanguage("German"), kOk);
  EXPECT_TRUE(CatalogueHasLanguage("German"));
  EXPECT_TRUE(CatalogueHasLanguage("English"));
  EXPECT_FALSE(CatalogueHasLanguage("Japanese"));
  EXPECT_STREQ(LookupMessage(1), "Gr\xE4\xF6\xDF" "e \xC4\xD6\xDC \xFC\x88")
      << "German letters repaired, the French one left alone";
  EXPECT_STREQ(LookupMessage(2), "Two") << "missing in German, answered in English";
  EXPECT_EQ(LookupMessage(3), kMissingMessage);
}

TEST_F(Catalogue, TheDefaultLanguageStandsInForAMissingOne) {
  Write("DefaultLanguage", std::string("1 \x88 \x8E \x97\n"));
  Write("EnglishLanguage", "1 One\n2 Two\n");
  EXPECT_EQ(LoadLanguage("French"), kOk);
  EXPECT_TRUE(CatalogueHasLanguage("French"));
  EXPECT_STREQ(LookupMessage(1), "\xE0 \xE9 \x97") << "repaired as French, not as Spanish";
  EXPECT_STREQ(LookupMessage(2), "Two");

  EXPECT_EQ(LoadLanguage("English"), kOk);
  EXPECT_FALSE(CatalogueHasLanguage("French")) << "a new load replaces the catalogue";
  EXPECT_STREQ(LookupMessage(1), "One");
  EXPECT_EQ(LoadLanguage(nullptr), kBadArgument);
  EXPECT_EQ(LoadLanguage(std::string(60, 'x').c_str()), kBadArgument);
}

}  // namespace
}  // namespace lumetra
