// Dialog controls: a framework object that stands for one item of a dialog. It
// neither owns nor subclasses the item's window; the dialog finds its controls
// through the object list and calls their hooks when it paints, when the mouse
// is used and when an item asks for its tool tip.
#pragma once

#include <cstdint>

#include "framework/objects/objects.h"
#include "framework/support/status.h"

namespace lumetra {

class TDialog;

class TControl : public TPloObject {
 public:
  TControl() = default;

  // Hooks to override (after TPloObject's). OnUpdate stays the base version,
  // which draws nothing.
  // False when a window is given and is not this control's dialog window, or
  // a non-zero item (low 16 bits) is given and is not this control's item.
  virtual bool IsControlOf(const void* dialog_window, int32_t item);
  // Names the control "control item <id>", remembers the dialog, its current
  // window and the item, and registers the item with the dialog's tool tip
  // window so that the tip text is asked of the dialog each time. Call it
  // after the dialog's base OnInitDialog. 20003 without a dialog.
  virtual Status AttachToDialog(TDialog* dialog, int16_t item);
  virtual int16_t GetItemId();
  // now: draws at once through OnUpdate; otherwise invalidates the item's
  // rectangle in the dialog so that it is drawn with the next paint.
  virtual void Refresh(bool now);
  virtual void SetUserValue(int32_t value);
  virtual int32_t GetUserValue();
  virtual int32_t ReservedPredicate();  // 1

  // Fixed operations.
  // AttachToDialog in two steps, for a dialog that fills a long list before
  // the item's messages start passing through the tool tip's subclass:
  // everything but the registration (20003 without a dialog), then the
  // registration alone (nothing before attaching).
  Status AttachWithoutTip(TDialog* dialog, int16_t item);
  void RegisterTip();
  TDialog* Dialog() const { return dialog_; }
  void* DialogWindow() const { return dialog_window_; }

 protected:
  TDialog* dialog_ = nullptr;        // not owned
  void* dialog_window_ = nullptr;    // the dialog's window when attached
  int16_t item_ = 0;
  int32_t user_value_ = 0;           // free for the owner
};

// The first control of the object list that IsControlOf(dialog_window, item);
// null when the item has no control object.
TControl* FindControl(const void* dialog_window, int32_t item);

// Control classes the dialog code knows by type. No objects of them exist in
// this program; they carry only what the dialog calls.
class TButton : public TControl {};

class TScrollBar : public TControl {
 public:
  // WM_HSCROLL / WM_VSCROLL of the item, as a control event carrying the
  // message and its parameters.
  virtual Status OnScroll(TPloEvent& event, int16_t item);
};

class TTabControl : public TControl {};

class TMenu : public TPloObject {};

// Type tests for objects of the list; null when the object is of another class.
TControl* AsControl(TPloObject* object);
TButton* AsButton(TPloObject* object);
TScrollBar* AsScrollBar(TPloObject* object);
TTabControl* AsTabControl(TPloObject* object);
TMenu* AsMenu(TPloObject* object);

}  // namespace lumetra
