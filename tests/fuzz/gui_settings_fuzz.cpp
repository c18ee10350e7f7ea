// GUI settings: the input is a settings file; the section of every dialog it
// names is applied to a recording dialog, which checks that only listed items
// are touched, background colours only for items with table entries, and that
// no call is made without values.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/support/gui_settings.h"
#include "framework/support/settings_tree.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

namespace {

class RecordingDialog final : public GuiSettingsTarget {
 public:
  void SetBackgroundColor(Color3) override { ++calls; }
  void SetBackgroundPicture(int16_t item, const char* image_name) override {
    fuzz::Require(item == kBackgroundPictureItem && image_name != nullptr, "a picture has a name and a place");
    volatile size_t length = std::strlen(image_name);
    (void)length;
    ++calls;
  }
  void GetItemBounds(int16_t item, ShortRect* bounds) override {
    RequireItem(item);
    *bounds = ShortRect{static_cast<int16_t>(item * 3), static_cast<int16_t>(item * 2),
                        static_cast<int16_t>(item * 3 + 20), static_cast<int16_t>(item * 2 + 80)};
  }
  void SetItemBounds(int16_t item, const ShortRect&) override {
    RequireItem(item);
    ++calls;
  }
  void SetItemBackgroundColor(int16_t item, Color3) override {
    RequireItem(item);
    fuzz::Require(item < kGuiItemLimit, "background colours only for items with table entries");
    ++calls;
  }
  void SetItemTextColor(int16_t item, Color3) override {
    RequireItem(item);
    ++calls;
  }
  uint32_t DialogBaseUnits() override { return 16u << 16 | 8u; }

  long calls = 0;

 private:
  static void RequireItem(int16_t item) {
    fuzz::Require(item >= 1, "only listed items, numbered from 1, are touched");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SettingsTree* settings = CreateTree();
  if (!settings) return 0;
  ParseSettingsMemory(settings, data, size);
  RecordingDialog dialog;
  for (int32_t i = 0; i < EntryCount(settings); ++i) {
    const char* name = EntryNameAt(settings, i);
    ApplyGuiSettingsFrom(settings, &dialog, std::atoi(name));
  }
  ApplyGuiSettingsFrom(settings, &dialog, 883);
  DestroyTree(settings, true);
  return 0;
}
