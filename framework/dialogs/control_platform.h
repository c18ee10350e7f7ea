// The platform seam of the dialog controls: the calls that reach the item's
// and the tool tip's windows. Internal to framework/dialogs.
#pragma once

#include <cstdint>

namespace lumetra {

class TDialog;

// Registers the item's window with the tool tip window so that the tip asks
// the dialog window for its text each time it is shown.
void AddItemTool(void* tool_tip, void* dialog_window, int16_t item);

// Marks the item's rectangle for the dialog's next paint.
void InvalidateItem(TDialog* dialog, int16_t item);

}  // namespace lumetra
