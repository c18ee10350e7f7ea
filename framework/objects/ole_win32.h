// Windows-only services of the object layer: OLE start and end for the
// application, and growing a window in place. Built only for Windows.
#pragma once

#include "framework/support/status.h"

namespace lumetra {

// OleInitialize; 0 when it answers S_OK or S_FALSE, else kSystemResourceUnavailable.
Status InitOle();
// OleUninitialize; 0.
Status DoneOle();

// Makes the window (an HWND) dx wider and dy higher, keeping its top-left
// corner (in its parent's client coordinates when it has a parent), and
// repaints it. A failed platform call gives its status.
Status GrowWindow(void* window, int dx, int dy);

}  // namespace lumetra
