// Internal to the dialog framework: what the dialog class, its message
// handling, its painting and the template loading share. Handles are void*
// here, as in every header; the users are the *_win32.cpp files.
#pragma once

#include <cstdint>

#include "framework/dialogs/dialog.h"
#include "framework/support/geometry.h"

namespace lumetra {

// Process-wide dialog state.
TDialog*& ActiveDialogSlot();
const void*& DeletedDialogMarker();  // the last dialog whose destructor ran
uint32_t& MouseButtonWord();         // bit 0: left button held over a dialog

// The dialog owning the window, or null.
TDialog* DialogOfWindow(void* window);
// The framework's dialog procedure (a DLGPROC) for the indirect dialog calls.
uintptr_t FrameworkDialogProcedure();
// Sets the visible flag of a modal dialog as its loop starts.
void MarkDialogVisible(TDialog* dialog);
// Whether the language catalogue was built for "Japanese".
bool IsJapaneseLanguage();

// The drawing layer: one target window with its device context.
void SetDrawingTarget(void* window);
// Clears the drawing target when it is this window.
void ReleaseDrawingTarget(void* window);
void* DrawingContext();  // HDC, null without a target
void SetDrawingForeColor(Color3 color);
void FillDrawingRect(const ShortRect& rect);

}  // namespace lumetra
