// Two services every framework dialog offers without code of its own: the GUI
// settings file ("GUISettings.txt"), which restyles and rearranges dialogs
// without a rebuild, and help in the system's help viewer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/files.h"
#include "framework/support/geometry.h"
#include "framework/support/settings_tree.h"
#include "framework/support/status.h"

namespace lumetra {

// The dialog operations the GUI settings use; the dialog class implements them.
class GuiSettingsTarget {
 public:
  virtual void SetBackgroundColor(Color3 color) = 0;
  // The picture named by the settings, placed in the rectangle of `item`.
  virtual void SetBackgroundPicture(int16_t item, const char* image_name) = 0;
  // An item's rectangle in client coordinates, in pixels.
  virtual void GetItemBounds(int16_t item, ShortRect* bounds) = 0;
  virtual void SetItemBounds(int16_t item, const ShortRect& bounds) = 0;
  // The per-item background colour table; asked only for items below kGuiItemLimit.
  virtual void SetItemBackgroundColor(int16_t item, Color3 color) = 0;
  virtual void SetItemTextColor(int16_t item, Color3 color) = 0;
  // As GetDialogBaseUnits: horizontal in the low 16 bits, vertical in the high.
  virtual uint32_t DialogBaseUnits() = 0;

 protected:
  ~GuiSettingsTarget() = default;
};

constexpr char kGuiSettingsFile[] = "GUISettings.txt";
constexpr int16_t kBackgroundPictureItem = 99;
constexpr int32_t kGuiItemLimit = 100;  // items 0..99 have background colour table entries

// Applies the section of the dialog's number from the process-wide GUI
// settings, read from "GUISettings.txt" in the current directory on first use
// (a missing or faulty file leaves what was read). Returns 0.
Status ApplyGuiSettings(GuiSettingsTarget* dialog, int32_t dialog_number);

// The same over a given settings tree.
//   top level:  unitx, unity   default units of all dialogs (0 or absent: pixels)
//               <name>         a constant that values below may name
//               <number> = {}  the section of a dialog
//   section:    unitx, unity, bgcolor ("r g b"), bgimage, and control lists
//               such as "1-5,7" = { x y w h bgcolor fgcolor }
// Positions and sizes are in units of base / unit (pixels where no unit is set);
// a value that is not given, or is no number, keeps the control's present
// pixels.
Status ApplyGuiSettingsFrom(const SettingsTree* settings, GuiSettingsTarget* dialog,
                            int32_t dialog_number);

// Help: the viewer opens "<program folder>/<help folder>/winhelp.chm", the
// help folder being the catalogue's kHelpBase text, at the topic of the help
// context (its kHelpBase + context text) or at the given topic. A missing help
// file or topic opens nothing.
struct HelpRequest {
  char file[kPathBufferSize];
  char argument[2 * kPathBufferSize];  // the viewer's parameter text
};

// Fills the request; false when there is nothing to open.
bool PrepareHelp(const char* program_folder, int32_t context, const char* topic,
                 HelpRequest* request);

// Starts "hh.exe" with the request's argument (Windows). A failure to find the
// program folder or to start the viewer is reported, not returned: returns 0.
Status ShowHelp(int32_t context, const char* topic, void* owner);

}  // namespace lumetra
