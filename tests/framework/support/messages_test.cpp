#include "framework/support/messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/support/catalogue.h"
#include "framework/support/files.h"
#include "framework/support/message_box.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

struct Box {
  std::string text;
  std::string caption;
  uint32_t style;
};

// Takes the boxes instead of the screen and answers as scripted.
class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    SetMessagePresenter(&Messages::Present, this);
    FreeCatalogue();
  }
  void TearDown() override {
    SetMessagePresenter(nullptr, nullptr);
    FreeCatalogue();
    std::filesystem::current_path(previous_);
  }

  // The shipped language files, or a folder without any.
  void UseLanguageFolder(const std::string& unix_dir) {
    std::filesystem::current_path(testing::SystemPath(unix_dir));
    FreeCatalogue();
  }

  static int32_t Present(void* context, const char* text, const char* caption, uint32_t style,
                         void*) {
    auto* self = static_cast<Messages*>(context);
    self->boxes_.push_back(Box{text, caption, style});
    return self->answer_;
  }

  std::vector<Box> boxes_;
  int32_t answer_ = kAnswerOk;
  std::filesystem::path previous_;
};

TEST_F(Messages, KindsChooseButtonsAndIcons) {
  const struct {
    int32_t kind;
    uint32_t style;
  } cases[] = {
      {kInformationMessage, kBoxOk | kBoxIconInformation},
      {kStopMessage, kBoxOk | kBoxIconHand | kBoxTaskModal},
      {kOkCancelMessage, kBoxOkCancel | kBoxIconQuestion},
      {kYesNoMessage, kBoxYesNo | kBoxIconQuestion},
      {kYesNoCancelMessage, kBoxYesNoCancel | kBoxIconQuestion},
      {5, kBoxYesNoCancel | kBoxIconQuestion},
      {7, kBoxOk | kBoxIconInformation},
      {-1, kBoxOk | kBoxIconInformation},
  };
  for (const auto& c : cases) {
    boxes_.clear();
    EXPECT_EQ(ShowMessageBox("text", c.kind, "Caption", nullptr), kOk) << "kind " << c.kind;
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].style, c.style) << "kind " << c.kind;
    EXPECT_EQ(boxes_[0].caption, "Caption");
  }
}

TEST_F(Messages, AnswersBecomeStatusesAndTheCaptionDefaultsToTheProgramName) {
  answer_ = kAnswerCancel;
  EXPECT_EQ(ShowMessageBox("q", kYesNoCancelMessage, nullptr, nullptr), kCancelled);
  answer_ = kAnswerNo;
  EXPECT_EQ(ShowMessageBox("q", kYesNoMessage, nullptr, nullptr), kRefused);
  answer_ = kAnswerYes;
  EXPECT_EQ(ShowMessageBox("q", kYesNoMessage, nullptr, nullptr), kOk);
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[0].caption, "support_tests") << "the executable's name without .exe";
}

TEST_F(Messages, ReportsSystemCatalogueAndUnknownCodes) {
  UseLanguageFolder(std::string(LUMETRA_SOURCE_DIR) + "/data");
  EXPECT_EQ(ReportError(kOk, nullptr), kOk);
  EXPECT_EQ(ReportError(kCancelled, nullptr), kOk);
  EXPECT_TRUE(boxes_.empty()) << "0 and 20002 are never shown";

  answer_ = kAnswerCancel;  // a stop box has only OK; whatever comes back is passed on
  EXPECT_EQ(ReportError(-2, nullptr), kCancelled);
  answer_ = kAnswerOk;
  ReportError(kFileNotFound, nullptr);
  ReportError(12345, nullptr);
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[0].text, "System error: -2");
  EXPECT_EQ(boxes_[1].text, "A file was not found (Error 20206)");
  EXPECT_EQ(boxes_[2].text, "Unknown error: 12345");
  for (const Box& box : boxes_) {
    EXPECT_EQ(box.style, kBoxOk | kBoxIconHand | kBoxTaskModal);
    EXPECT_EQ(box.caption, ModuleBaseName());
  }
}

TEST_F(Messages, WithoutACatalogueEveryOwnCodeIsUnknown) {
  UseLanguageFolder(testing::ScratchDir("messages_no_language"));
  char report[kReportSize];
  ASSERT_TRUE(FormatErrorReport(kFileNotFound, report));
  EXPECT_STREQ(report, "Unknown error: 20206");
  ASSERT_TRUE(FormatErrorReport(-32768, report));
  EXPECT_STREQ(report, "System error: -32768");
}

TEST_F(Messages, ALongTextIsCutSoThatTheNumberStillShows) {
  std::string dir = testing::ScratchDir("messages_long_text");
  std::FILE* f = std::fopen(testing::SystemPath(dir + "/EnglishLanguage").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::string long_text(400, 'w');
  std::fprintf(f, "20206 %s\n3001 %s\n", long_text.c_str(), std::string(238, 's').c_str());
  std::fclose(f);
  UseLanguageFolder(dir);

  char report[kReportSize];
  ASSERT_TRUE(FormatErrorReport(kFileNotFound, report));
  std::string suffix = " (Error 20206)";
  EXPECT_EQ(std::string(report), long_text.substr(0, 255 - suffix.size()) + suffix);
  ASSERT_TRUE(FormatErrorReport(kNoFileName, report));
  EXPECT_EQ(std::string(report).size(), 238 + std::string(" (Error 3001)").size())
      << "a text that fits is whole";
}

TEST_F(Messages, TheShippedEnglishFileHasATextForEveryCode) {
  UseLanguageFolder(std::string(LUMETRA_SOURCE_DIR) + "/data");
  const Status codes[] = {
      kMissingObject, kNoFileName, kSeekFailed, kShortRead, kShortWrite, kSizeUnknown,
      kProfileCannotOpen, kTagNotFound, kProfileTooShort, kProfileSizeExceedsFile,
      kProfileNoAcsp, kTagOutsideProfile, kRefused, kCancelled, kBadArgument, kNoMessageText,
      kNotAvailable, kTooManyComponents, kFileNotOpen, kUnsupportedImageData, kCannotOpenFile,
      kFileNotFound, kEndOfData, kDecoderFailed, kMemFileWriteOnly, kSettingsEqualsExpected,
      kSettingsTokenNoMemory, kUnsupportedBitDepth, kTiffBadHeader, kTiffTagMissing,
      kTiffUnsupportedCompression, kTiffRequiredTagMissing, kTiffUnsupportedPhotometric,
      kIndexOutOfRange, kSystemCallFailed, kOutOfMemory, kSystemResourceUnavailable,
      kEventNotHandled, kPassedOn, kImageNotDisplayable, kUnknownFormat};
  for (Status code : codes) EXPECT_NE(LookupMessage(code), kMissingMessage) << code;
  // The help viewer's start failures (2 to 32) and the help folder.
  for (int32_t code : {2, 3, 5, 8, 11, 26, 27, 28, 29, 30, 31, 32, kHelpBase}) {
    EXPECT_NE(LookupMessage(code), kMissingMessage) << code;
  }
}

}  // namespace
}  // namespace lumetra
