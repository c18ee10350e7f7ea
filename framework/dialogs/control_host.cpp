// Host stand-in of the control seam: there are no windows to reach.
#include "framework/dialogs/control_platform.h"

namespace lumetra {

void AddItemTool(void*, void*, int16_t) {}
void InvalidateItem(TDialog*, int16_t) {}

}  // namespace lumetra
