#include "framework/dialogs/control.h"

#include <cstdio>

#include "framework/dialogs/control_platform.h"
#include "framework/dialogs/dialog.h"

namespace lumetra {

bool TControl::IsControlOf(const void* dialog_window, int32_t item) {
  if (dialog_window && dialog_window != dialog_window_) return false;
  const uint16_t id = static_cast<uint16_t>(item);
  return id == 0 || id == static_cast<uint16_t>(item_);
}

Status TControl::AttachToDialog(TDialog* dialog, int16_t item) {
  Status status = AttachWithoutTip(dialog, item);
  if (status == kOk) RegisterTip();
  return status;
}

Status TControl::AttachWithoutTip(TDialog* dialog, int16_t item) {
  char name[32];
  std::snprintf(name, sizeof name, "control item %d", item);
  SetName(name);
  if (!dialog) return kBadArgument;

  dialog_ = dialog;
  dialog_window_ = dialog->GetWindowHandle();
  item_ = item;
  return kOk;
}

void TControl::RegisterTip() {
  if (dialog_) AddItemTool(dialog_->ToolTipWindow(), dialog_window_, item_);
}

int16_t TControl::GetItemId() { return item_; }

void TControl::Refresh(bool now) {
  if (now) {
    TPloEvent event;  // nothing to tell: a draw of its own accord
    event.type = kEventUpdate;
    OnUpdate(event);
  } else if (dialog_ && dialog_->GetWindowHandle()) {
    InvalidateItem(dialog_, item_);
  }
}

void TControl::SetUserValue(int32_t value) { user_value_ = value; }
int32_t TControl::GetUserValue() { return user_value_; }
int32_t TControl::ReservedPredicate() { return 1; }

Status TScrollBar::OnScroll(TPloEvent&, int16_t) { return kOk; }

TControl* FindControl(const void* dialog_window, int32_t item) {
  for (TPloObject* object = FirstObject(); object; object = NextObject(object)) {
    TControl* control = AsControl(object);
    if (control && control->IsControlOf(dialog_window, item)) return control;
  }
  return nullptr;
}

TControl* AsControl(TPloObject* object) { return dynamic_cast<TControl*>(object); }
TButton* AsButton(TPloObject* object) { return dynamic_cast<TButton*>(object); }
TScrollBar* AsScrollBar(TPloObject* object) { return dynamic_cast<TScrollBar*>(object); }
TTabControl* AsTabControl(TPloObject* object) { return dynamic_cast<TTabControl*>(object); }
TMenu* AsMenu(TPloObject* object) { return dynamic_cast<TMenu*>(object); }

}  // namespace lumetra
