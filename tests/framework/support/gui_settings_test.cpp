#include "framework/support/gui_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "framework/support/catalogue.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

// A dialog whose items are all 10 x 10 at (5, 5) until moved, with base
// units of 8 x 16 pixels.
class FakeDialog : public GuiSettingsTarget {
 public:
  void SetBackgroundColor(Color3 color) override { background = color; }
  void SetBackgroundPicture(int16_t item, const char* name) override {
    picture_item = item;
    picture = name;
  }
  void GetItemBounds(int16_t item, ShortRect* bounds) override {
    auto it = bounds_.find(item);
    *bounds = it != bounds_.end() ? it->second : ShortRect{5, 5, 15, 15};
  }
  void SetItemBounds(int16_t item, const ShortRect& bounds) override { bounds_[item] = bounds; }
  void SetItemBackgroundColor(int16_t item, Color3 color) override {
    item_background[item] = color;
  }
  void SetItemTextColor(int16_t item, Color3 color) override { item_text[item] = color; }
  uint32_t DialogBaseUnits() override { return (16u << 16) | 8u; }

  bool Moved(int16_t item) const { return bounds_.count(item) != 0; }
  ShortRect Bounds(int16_t item) const { return bounds_.at(item); }
  std::string MovedItems() const {
    std::string items;
    for (const auto& [item, bounds] : bounds_) items += std::to_string(item) + " ";
    return items;
  }

  Color3 background{1, 1, 1};
  int16_t picture_item = -1;
  std::string picture = "(none)";
  std::map<int16_t, Color3> item_background, item_text;

 private:
  std::map<int16_t, ShortRect> bounds_;
};

struct Settings {
  explicit Settings(const std::string& text) {
    EXPECT_EQ(ParseSettingsMemory(tree, text.data(), text.size()), kOk) << text;
  }
  ~Settings() { DestroyTree(tree, true); }
  SettingsTree* tree = CreateTree();
};

TEST(GuiSettings, ControlListsNameItemsAndRanges) {
  Settings s(
      "7 = {\n"
      "  3-1 = { x = 1 }\n"
      "  0 = { x = 1 }\n"
      "  unitx = 0\n"
      "  2,4-5 = { x = 1 }\n"
      "  9,0,11 = { x = 1 }\n"
      "  98-101 = { x = 1 }\n"
      "  20 = 5\n"
      "  21 = \"not a subtree\"\n"
      "}\n");
  FakeDialog dialog;
  EXPECT_EQ(ApplyGuiSettingsFrom(s.tree, &dialog, 7), kOk);
  EXPECT_EQ(dialog.MovedItems(), "2 4 5 9 98 99 100 101 ")
      << "3-1 names none, 0 stops at once, 9,0,11 stops at 0, a range runs to its last item, "
         "values that are not subtrees are passed over";
}

TEST(GuiSettings, ItemsBeyondTheBackgroundTableAreStillPlacedAndColoured) {
  Settings s(
      "8 = {\n"
      "  99-100 = { x = 1  bgcolor = \"1 2 3\"  fgcolor = \"4 5 6\" }\n"
      "  32766-2000000000 = { y = 2 }\n"
      "}\n");
  FakeDialog dialog;
  EXPECT_EQ(ApplyGuiSettingsFrom(s.tree, &dialog, 8), kOk);
  EXPECT_EQ(dialog.MovedItems(), "99 100 32766 32767 ")
      << "items from 100 on are placed; numbers past the 16-bit item ids name no item";
  EXPECT_EQ(dialog.Bounds(100).left, 1);
  EXPECT_EQ(dialog.item_text.at(100), (Color3{4, 5, 6})) << "item 100 gets its text colour";
  EXPECT_EQ(dialog.item_background.at(99), (Color3{1, 2, 3}));
  EXPECT_EQ(dialog.item_background.count(100), 0u)
      << "the background colour table ends at item 99";
}

TEST(GuiSettings, PositionsAreScaledByTheDialogUnits) {
  Settings s(
      "unitx = 4\n"
      "unity = 8\n"
      "1 = {\n"
      "  1 = { x = 10  y = 3  w = 5  h = 4 }\n"
      "  2 = { x = 10 }\n"
      "  3 = { w = 6 }\n"
      "}\n"
      "2 = {\n"
      "  unitx = 0\n"
      "  1 = { x = 10  y = 3 }\n"
      "}\n");
  FakeDialog dialog;
  ApplyGuiSettingsFrom(s.tree, &dialog, 1);
  // Base 8 x 16 over units 4 x 8: two pixels a unit either way.
  EXPECT_EQ(dialog.Bounds(1), (ShortRect{6, 20, 14, 30}));
  EXPECT_EQ(dialog.Bounds(2), (ShortRect{5, 20, 15, 30})) << "the present size is kept, in pixels";
  EXPECT_EQ(dialog.Bounds(3), (ShortRect{5, 5, 15, 17})) << "the present place is kept";

  FakeDialog pixels;
  ApplyGuiSettingsFrom(s.tree, &pixels, 2);
  EXPECT_EQ(pixels.Bounds(1).left, 10) << "a unit of 0 in the section means pixels";
  EXPECT_EQ(pixels.Bounds(1).top, 6) << "unity comes from the top level";
}

TEST(GuiSettings, AValueThatIsNoNumberKeepsThePresentPixels) {
  Settings s(
      "unitx = 4\n"
      "unity = 8\n"
      "wide = 30\n"
      "1 = {\n"
      "  1 = { w = \"wide\" }\n"
      "  2 = { x = 10  w = broad }\n"
      "  3 = { y = 3  h = \"tall\" }\n"
      "  4 = { x = nowhere }\n"
      "  5 = { w = wide }\n"
      "}\n");
  FakeDialog dialog;
  ApplyGuiSettingsFrom(s.tree, &dialog, 1);
  // Items stand at (5, 5) to (15, 15); two pixels a unit either way.
  EXPECT_EQ(dialog.Bounds(1), (ShortRect{5, 5, 15, 15})) << "a text w keeps the present width";
  EXPECT_EQ(dialog.Bounds(2), (ShortRect{5, 20, 15, 30}))
      << "the present width is kept in pixels beside a scaled x";
  EXPECT_EQ(dialog.Bounds(3), (ShortRect{6, 5, 16, 15})) << "likewise the height beside y";
  EXPECT_EQ(dialog.Bounds(4), (ShortRect{5, 5, 15, 15}))
      << "an x that is no number and names no constant keeps the present pixels";
  EXPECT_EQ(dialog.Bounds(5), (ShortRect{5, 5, 15, 15})) << "w names no constants";
}

TEST(GuiSettings, WithoutUnitsValuesArePixels) {
  Settings s("3 = {\n 1 = { x = 10 }\n}\n");
  FakeDialog dialog;
  ApplyGuiSettingsFrom(s.tree, &dialog, 3);
  EXPECT_EQ(dialog.Bounds(1).left, 10);
  EXPECT_EQ(dialog.Bounds(1).right, 20);
}

TEST(GuiSettings, ColoursPicturesAndNamedConstants) {
  Settings s(
      "red = \"255 0 0\"\n"
      "left = 30\n"
      "picture = \"back.jpg\"\n"
      "4 = {\n"
      "  bgcolor = \"10 20 30\"\n"
      "  bgimage = picture\n"
      "  1 = { bgcolor = red  fgcolor = \"1 2 3\"  x = left }\n"
      "  2 = { bgcolor = 5  fgcolor = 7 }\n"
      "  3 = { bgcolor = \"bad\"  fgcolor = \"300 -4 9\" }\n"
      "  6 = { fgcolor = \"256 -1 1000\"  bgcolor = \"1 2\" }\n"
      "}\n"
      "5 = {\n"
      "  bgcolor = 1\n"
      "  bgimage = 2\n"
      "}\n");
  FakeDialog dialog;
  ApplyGuiSettingsFrom(s.tree, &dialog, 4);
  EXPECT_EQ(dialog.background, (Color3{10, 20, 30}));
  EXPECT_EQ(dialog.picture_item, kBackgroundPictureItem);
  EXPECT_EQ(dialog.picture, "back.jpg");
  EXPECT_EQ(dialog.item_background.at(1), (Color3{255, 0, 0})) << "the constant red";
  EXPECT_EQ(dialog.item_text.at(1), (Color3{1, 2, 3}));
  EXPECT_EQ(dialog.Bounds(1).left, 30) << "the constant left";
  EXPECT_EQ(dialog.item_background.at(2), (Color3{255, 255, 255})) << "no text: white";
  EXPECT_EQ(dialog.item_text.at(2), (Color3{0, 0, 0})) << "no text: black";
  EXPECT_EQ(dialog.item_background.count(3), 0u) << "not three numbers: nothing is set";
  EXPECT_EQ(dialog.item_text.at(3), (Color3{300 & 0xFF, -4 & 0xFF, 9}))
      << "each value truncated to its byte";
  EXPECT_EQ(dialog.item_text.at(6), (Color3{0, 255, 1000 & 0xFF}));
  EXPECT_EQ(dialog.item_background.count(6), 0u) << "two numbers make no colour";

  FakeDialog numbers;
  ApplyGuiSettingsFrom(s.tree, &numbers, 5);
  EXPECT_EQ(numbers.background, (Color3{255, 255, 255}));
  EXPECT_EQ(numbers.picture, "");

  FakeDialog untouched;
  EXPECT_EQ(ApplyGuiSettingsFrom(s.tree, &untouched, 6), kOk);
  EXPECT_EQ(untouched.background, (Color3{1, 1, 1}));
  EXPECT_EQ(ApplyGuiSettingsFrom(nullptr, &untouched, 6), kOk);
  EXPECT_EQ(untouched.MovedItems(), "");
}

TEST(GuiSettings, TheFileIsReadFromTheCurrentDirectoryOnce) {
  std::string dir = testing::ScratchDir("gui_settings_file");
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(testing::SystemPath(dir));
  std::FILE* f = std::fopen(kGuiSettingsFile, "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("883 = {\n  bgcolor = \"9 8 7\"\n}\n", f);
  std::fclose(f);

  FakeDialog dialog;
  EXPECT_EQ(ApplyGuiSettings(&dialog, 883), kOk);
  std::remove(kGuiSettingsFile);
  FakeDialog again;
  EXPECT_EQ(ApplyGuiSettings(&again, 883), kOk);
  std::filesystem::current_path(previous);
  EXPECT_EQ(dialog.background, (Color3{9, 8, 7}));
  EXPECT_EQ(again.background, (Color3{9, 8, 7})) << "kept for the rest of the run";
}

class Help : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::ScratchDir("help");
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(testing::SystemPath(dir_));
    Write("EnglishLanguage", "2000000 Manual\n2000005 page5.htm\n");
    std::filesystem::create_directories("Manual");
    Write("Manual/winhelp.chm", "not really help");
    FreeCatalogue();
    folder_ = testing::SystemPath(dir_);
  }
  void TearDown() override {
    FreeCatalogue();
    std::filesystem::current_path(previous_);
  }
  static void Write(const char* name, const char* text) {
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    std::fclose(f);
  }

  std::string dir_, folder_;
  std::filesystem::path previous_;
  HelpRequest request_;
};

TEST_F(Help, TheArgumentNamesTheHelpFileAndTheTopic) {
  std::string file = folder_ + "/Manual/winhelp.chm";
  ASSERT_TRUE(PrepareHelp(folder_.c_str(), 5, nullptr, &request_));
  EXPECT_EQ(std::string(request_.file), file);
  EXPECT_EQ(std::string(request_.argument), file + "::page5.htm");
  ASSERT_TRUE(PrepareHelp(folder_.c_str(), 0, "intro.htm", &request_));
  EXPECT_EQ(std::string(request_.argument), file + "::intro.htm");
  ASSERT_TRUE(PrepareHelp(folder_.c_str(), 0, nullptr, &request_));
  EXPECT_EQ(std::string(request_.argument), file) << "the help folder's entry serves context 0";
  ASSERT_TRUE(PrepareHelp(folder_.c_str(), 6, "intro.htm", &request_));
  EXPECT_EQ(std::string(request_.argument), file + "::intro.htm")
      << "a context without a topic falls back on the given one";
}

TEST_F(Help, NothingOpensWithoutAHelpFileOrATopic) {
  EXPECT_FALSE(PrepareHelp(folder_.c_str(), 6, nullptr, &request_)) << "no entry 2000006";
  EXPECT_FALSE(PrepareHelp(folder_.c_str(), 6, "", &request_));
  std::remove("Manual/winhelp.chm");
  EXPECT_FALSE(PrepareHelp(folder_.c_str(), 5, nullptr, &request_));
  EXPECT_FALSE(PrepareHelp(std::string(2000, 'd').c_str(), 5, nullptr, &request_))
      << "a path that does not fit";
}

}  // namespace
}  // namespace lumetra
