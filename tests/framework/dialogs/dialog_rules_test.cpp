#include "framework/dialogs/dialog_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/dialogs/dialog.h"

namespace lumetra {
namespace {

TEST(DialogRules, KeyCodesOfTheFrameworkKeys) {
  EXPECT_EQ(FrameworkKeyCode(0x09), 34) << "tab";
  EXPECT_EQ(FrameworkKeyCode(0x21), 18) << "page up";
  EXPECT_EQ(FrameworkKeyCode(0x22), 19) << "page down";
  EXPECT_EQ(FrameworkKeyCode(0x25), 14) << "left";
  EXPECT_EQ(FrameworkKeyCode(0x26), 16) << "up";
  EXPECT_EQ(FrameworkKeyCode(0x27), 15) << "right";
  EXPECT_EQ(FrameworkKeyCode(0x28), 17) << "down";
  EXPECT_EQ(FrameworkKeyCode(0x2E), 20) << "delete";
  EXPECT_EQ(FrameworkKeyCode(0x2F), 22) << "help";
  EXPECT_EQ(FrameworkKeyCode(0x70), 22) << "F1 is help too";
  EXPECT_EQ(FrameworkKeyCode(0x71), 23);
  EXPECT_EQ(FrameworkKeyCode(0x72), 24);
  EXPECT_EQ(FrameworkKeyCode(0x7B), 33) << "F12";
  EXPECT_EQ(FrameworkKeyCode(0x7C), 0) << "F13 has no code";
  EXPECT_EQ(FrameworkKeyCode('A'), 0);
}

TEST(DialogRules, CursorShapesPairUpAndUnknownOnesFallBackToTheArrow) {
  struct Pair {
    int32_t a, b;
  };
  for (Pair p : {Pair{3, 12}, Pair{4, 13}, Pair{5, 14}, Pair{6, 15}}) {
    CursorChoice first = ChooseCursor(p.a), second = ChooseCursor(p.b);
    EXPECT_EQ(first.source, kShowResource) << p.a;
    EXPECT_EQ(first.resource, second.resource) << p.a << " and " << p.b;
  }
  EXPECT_EQ(ChooseCursor(3).resource, 901);
  EXPECT_EQ(ChooseCursor(4).resource, 904);
  EXPECT_EQ(ChooseCursor(17).resource, 910);
  EXPECT_EQ(ChooseCursor(1).source, kShowArrow);
  EXPECT_EQ(ChooseCursor(11).source, kShowMove) << "11 is the system's four-headed arrow";
  EXPECT_EQ(ChooseCursor(-1).source, kShowWait);
  EXPECT_EQ(ChooseCursor(-2).source, kShowNoCursor);
  for (int32_t unknown : {18, -3, 1000}) {
    CursorChoice c = ChooseCursor(unknown);
    EXPECT_EQ(c.source, kShowArrow) << unknown;
    EXPECT_EQ(c.shape, 0) << "the shape number is reset";
  }
}

TEST(DialogRules, SizingMovesOnlyTheDraggedEdges) {
  auto clamp = [](int32_t edge, SizingRect r, int32_t max_w = 32767, int32_t max_h = 32767) {
    ClampSizingRect(edge, 40, 40, max_w, max_h, &r);
    return r;
  };
  SizingRect r = clamp(8, {100, 100, 110, 105});  // bottom right
  EXPECT_EQ(r.right, 140);
  EXPECT_EQ(r.bottom, 140);
  EXPECT_EQ(r.left, 100);
  r = clamp(4, {100, 100, 110, 105});  // top left
  EXPECT_EQ(r.left, 70);
  EXPECT_EQ(r.top, 65);
  EXPECT_EQ(r.right, 110);
  r = clamp(2, {0, 0, 1000, 1000}, 300, 200);  // right: the height stays the platform's
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 1000);
  r = clamp(7, {500, 0, 1000, 1000}, 300, 200);  // bottom left
  EXPECT_EQ(r.left, 700);
  EXPECT_EQ(r.bottom, 200);
  r = clamp(8, {0, 0, 100, 100});
  EXPECT_EQ(r.right, 100) << "a size within the limits is kept";
  EXPECT_EQ(ClampToRange(10, 40, 30), 30) << "crossed limits: the maximum wins";
}

TEST(DialogRules, FontDescriptionsCompareAfterTheFaceIsZeroFilled) {
  uint8_t a[kLogFontSize], b[kLogFontSize];
  std::memset(a, 0x11, sizeof(a));
  std::memset(b, 0x22, sizeof(b));
  std::memset(a, 0, kFontFaceOffset);
  std::memset(b, 0, kFontFaceOffset);
  std::memcpy(a + kFontFaceOffset, "Tahoma", 7);
  std::memcpy(b + kFontFaceOffset, "Tahoma", 7);
  NormaliseFontDescription(a);
  NormaliseFontDescription(b);
  EXPECT_EQ(std::memcmp(a, b, kLogFontSize), 0) << "bytes after the face's end are not compared";

  std::memset(a + kFontFaceOffset, 'x', kFontFaceSize);  // no terminator
  NormaliseFontDescription(a);
  EXPECT_EQ(std::strlen(reinterpret_cast<char*>(a + kFontFaceOffset)), kFontFaceSize - 1);
}

TEST(DialogRules, ItemFontHeightsTruncateThePixelsOfTheirPoints) {
  EXPECT_EQ(ItemFontHeight(8, 96), -10) << "8 x 96 / 72 is 10.67: truncated, not rounded";
  EXPECT_EQ(ItemFontHeight(10, 120), -16) << "16.67";
  EXPECT_EQ(ItemFontHeight(9, 96), -12) << "exact";
  EXPECT_EQ(ItemFontHeight(12, 72), -12);
  EXPECT_EQ(ItemFontHeight(1, 96), -1);
}

TEST(DialogRules, RescalingKeepsTheDesignedGeometry) {
  ShortRect r{13, 6, 26, 12};
  ASSERT_TRUE(RescaleRect(6, 13, &r));
  EXPECT_EQ(r, (ShortRect{13, 6, 26, 12})) << "the designed metrics change nothing";
  r = ShortRect{16, 8, 32, 16};
  ASSERT_TRUE(RescaleRect(8, 16, &r));
  EXPECT_EQ(r, (ShortRect{13, 6, 26, 12}));
  r = ShortRect{1, 2, 3, 4};
  EXPECT_FALSE(RescaleRect(0, 13, &r)) << "no dialog units, no rescaling";
  EXPECT_EQ(r, (ShortRect{1, 2, 3, 4}));
}

TEST(DialogRules, HookStatusesKeptAndReported) {
  EXPECT_FALSE(ClassifyHookStatus(kOk).keep);
  EXPECT_FALSE(ClassifyHookStatus(kPassedOn).keep) << "21305 is never stored";
  StatusOutcome cancelled = ClassifyHookStatus(kCancelled);
  EXPECT_TRUE(cancelled.keep);
  EXPECT_FALSE(cancelled.report) << "20002 is never shown";
  StatusOutcome failed = ClassifyHookStatus(kSystemResourceUnavailable);
  EXPECT_TRUE(failed.keep);
  EXPECT_TRUE(failed.report);
  EXPECT_TRUE(ClassifyHookStatus(-5).report) << "system errors are shown";
}

TEST(DialogRules, MenuCommandsTipsAndItemKinds) {
  EXPECT_EQ(MenuCommandItem(1203), (12u << 16) | 3u);
  EXPECT_EQ(MenuCommandItem(99), 99u);
  EXPECT_EQ(MenuCommandItem(0x10000 + 1203), (12u << 16) | 3u) << "ids are 16-bit";

  std::string long_tip(120, 'q');
  char buffer[80];
  CopyCutText(long_tip.c_str(), buffer, kToolTipTextLimit);
  EXPECT_EQ(std::strlen(buffer), 79u);
  CopyCutText(nullptr, buffer, kToolTipTextLimit);
  EXPECT_STREQ(buffer, "");

  EXPECT_EQ(ItemKindFromClass("ComboBox"), kItemComboBox);
  EXPECT_EQ(ItemKindFromClass("msctls_trackbar32"), kItemTrackBar);
  EXPECT_EQ(ItemKindFromClass("combobox"), kItemOther) << "names compare case-sensitively";
  EXPECT_EQ(ItemKindFromClass(nullptr), kItemOther);
}

}  // namespace
}  // namespace lumetra
