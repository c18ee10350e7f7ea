#include "framework/objects/objects.h"

#include <cstring>
#include <new>

#include "framework/objects/objects_platform.h"

namespace lumetra {

// ---------------------------------------------------------------------------
// Events

TPloEvent::TPloEvent() { Prepare(); }

TPloEvent::~TPloEvent() {
  // The drop's memory belongs to the system until the drop is finished.
  if (type == kEventFilesDropped && data != 0) {
    FinishDrop(data);
    data = 0;
  }
}

void TPloEvent::Prepare() {
  type = kEventIdle;
  target = nullptr;
  item = 0;
  key_code = 0;
  data = 0;
  command = 0;
  item_changed = 0;
  time = TickCount();
}

// ---------------------------------------------------------------------------
// Reference counting

TBasicObject::~TBasicObject() = default;

void TBasicObject::Retain() { ++references_; }

int32_t TBasicObject::GetExtraReferences() { return references_ - 1; }

void TBasicObject::Release() {
  if (references_ == 1) {
    references_ = 0;
    delete this;
  } else if (references_ > 1) {
    --references_;
  }
}

// ---------------------------------------------------------------------------
// Elements

TPloElement::~TPloElement() { delete[] name_; }

void TPloElement::SetName(const char* text) {
  delete[] name_;
  name_ = nullptr;
  if (!text) return;
  size_t length = std::strlen(text);
  name_ = new (std::nothrow) char[length + 1];
  if (name_) std::memcpy(name_, text, length + 1);
}

bool TPloElement::IsCommandEnabled(uint32_t command) {
  TPloEvent event;
  event.type = kEventCommand;
  event.target = this;
  event.command = command;
  return CanHandleCommand(event);
}

Status TPloElement::ReservedHook(TPloEvent&) { return kOk; }

Status TPloElement::DoCommand(uint32_t command, uintptr_t data) {
  TPloEvent event;
  event.type = kEventCommand;
  event.target = this;
  event.command = command;
  event.data = data;
  return HandleCommand(event, command);
}

Status TPloElement::Reserved() { return kNotAvailable; }
Status TPloElement::HandleCommand(TPloEvent&, uint32_t) { return kOk; }
bool TPloElement::IsTarget(const void* object) { return object == nullptr || object == this; }
bool TPloElement::CanHandleCommand(TPloEvent&) { return false; }

Status TPloElement::HandleEvent(TPloEvent& event) {
  switch (event.type) {
    case kEventIdle: return OnIdle(event);
    case kEventMouseDown: return OnMouseDown(event);
    case kEventMouseUp: return OnMouseUp(event);
    case kEventKeyDown: return OnKeyDown(event);
    case kEventKeyUp: return OnKeyUp(event);
    case kEventKeyRepeat: return OnKeyDown(event);
    case kEventUpdate: return OnUpdate(event);
    case kEventActivate: return OnActivate(event);
    case kEventDeactivate: return OnDeactivate(event);
    case kEventFurtherA: return OnEventA(event);
    case kEventResume: return OnResume(event);
    case kEventSuspend: return OnSuspend(event);
    case kEventCommand: return HandleCommand(event, event.command);
    case kEventMenuCommand: return OnMenuCommand(event);
    case kEventControl: return OnControlEvent(event);
    case kEventFurtherB: return OnEventB(event);
    case kEventFurtherC: return OnEventC(event);
    case kEventFilesDropped: return OnFilesDropped(event);
    case kEventMouseMoved: return OnMouseMoved(event);
    default: return kOk;
  }
}

Status TPloElement::OnFilesDropped(TPloEvent&) { return kOk; }
Status TPloElement::OnIdle(TPloEvent&) { return kOk; }
Status TPloElement::OnMouseMoved(TPloEvent&) { return kOk; }
Status TPloElement::OnMouseDown(TPloEvent&) { return kOk; }
Status TPloElement::OnMouseUp(TPloEvent&) { return kOk; }
Status TPloElement::OnKeyDown(TPloEvent&) { return kOk; }
Status TPloElement::OnKeyUp(TPloEvent&) { return kOk; }
Status TPloElement::OnUpdate(TPloEvent&) { return kOk; }
Status TPloElement::OnActivate(TPloEvent&) { return kOk; }
Status TPloElement::OnDeactivate(TPloEvent&) { return kOk; }
Status TPloElement::OnResume(TPloEvent&) { return kOk; }
Status TPloElement::OnSuspend(TPloEvent&) { return kOk; }
Status TPloElement::OnMenuCommand(TPloEvent&) { return kOk; }
Status TPloElement::OnEventA(TPloEvent&) { return kOk; }
Status TPloElement::OnEventB(TPloEvent&) { return kOk; }
Status TPloElement::OnEventC(TPloEvent&) { return kOk; }
Status TPloElement::OnControlEvent(TPloEvent&) { return kEventNotHandled; }

// ---------------------------------------------------------------------------
// The object list

namespace {

TPloObject* list_head = nullptr;
bool refresh_requested = false;
void* main_window = nullptr;
void* default_parent_window = nullptr;

}  // namespace

// Access to the links, kept in one place.
struct ObjectList {
  static TPloObject*& Next(TPloObject* object) { return object->next_; }
  static const TPloObject* Next(const TPloObject* object) { return object->next_; }

  static void Append(TPloObject* object) {
    TPloObject** link = &list_head;
    while (*link) link = &(*link)->next_;
    *link = object;
  }

  // Removes the object if it is in the list; false when it was not.
  static bool Unlink(TPloObject* object) {
    for (TPloObject** link = &list_head; *link; link = &(*link)->next_) {
      if (*link == object) {
        *link = object->next_;
        object->next_ = nullptr;
        return true;
      }
    }
    return false;
  }

  // Membership by identity: the object itself is never asked, so a pointer to
  // an object that a hook has just deleted can be tested safely.
  static bool Contains(const TPloObject* object) {
    for (const TPloObject* o = list_head; o; o = o->next_) {
      if (o == object) return true;
    }
    return false;
  }

  static size_t Count() {
    size_t count = 0;
    for (const TPloObject* o = list_head; o; o = o->next_) ++count;
    return count;
  }

  static TPloObject* At(size_t index) {
    TPloObject* o = list_head;
    while (o && index-- > 0) o = o->next_;
    return o;
  }

  // Releases the objects awaiting release, from the end of the list towards
  // its head; the head is not examined. A release may destroy further
  // objects, so positions are re-counted rather than remembered.
  static void Sweep() {
    size_t index = Count();
    while (index > 1) {
      --index;
      TPloObject* object = At(index);
      if (!object) {
        index = Count();
        continue;
      }
      if (object->release_pending_) {
        Unlink(object);
        object->release_pending_ = 0;
        object->Release();
      }
    }
  }
};

TPloObject::TPloObject() { ObjectList::Append(this); }

TPloObject::~TPloObject() { ObjectList::Unlink(this); }

TPloObject* FirstObject() { return list_head; }

TPloObject* NextObject(const TPloObject* object) {
  return object ? const_cast<TPloObject*>(ObjectList::Next(object)) : nullptr;
}

TPloObject* FindTarget(const void* x) {
  for (TPloObject* o = list_head; o; o = ObjectList::Next(o)) {
    if (o->IsTarget(x)) return o;
  }
  return nullptr;
}

Status ForEachObject(ObjectCallback callback, void* context, TPloEvent* event) {
  if (!callback) return kBadArgument;
  Status result = kOk;
  TPloObject* object = list_head;
  while (object && result == kOk) {
    result = callback(context, object, event);
    // A callback may have destroyed the object; its link is then gone.
    if (!ObjectList::Contains(object)) break;
    object = ObjectList::Next(object);
  }
  return result;
}

Status BroadcastEvent(TPloEvent& event) {
  if (!list_head) return kMissingObject;
  Status result = kOk;
  TPloObject* object = list_head;
  while (object && result == kOk) {
    if (object->IsTarget(event.target)) {
      result = object->HandleEvent(event);
      if (result == kPassedOn) result = kOk;
    }
    // A hook may have deleted its own object: stop without touching it.
    if (!ObjectList::Contains(object)) break;
    object = ObjectList::Next(object);
  }
  if (result != kOk) return result;
  ObjectList::Sweep();
  return kOk;
}

Status SendCommand(TPloElement* object, uint32_t command, uintptr_t data) {
  if (!object) return kOk;
  TPloEvent event;
  event.type = kEventCommand;
  event.target = object;
  event.command = command;
  event.data = data;
  if (!object->IsTarget(object)) return kOk;
  return object->HandleEvent(event);
}

Status BroadcastCommand(const void* target, uint32_t command, uintptr_t data) {
  TPloEvent event;
  event.type = kEventCommand;
  event.target = target;
  event.command = command;
  event.data = data;
  return BroadcastEvent(event);
}

void RequestUserInterfaceRefresh() { refresh_requested = true; }

Status RefreshUserInterface(bool force) {
  if (!refresh_requested && !force) return kOk;
  refresh_requested = false;
  return BroadcastCommand(nullptr, kCommandRefreshUserInterface, 0);
}

void* MainWindow() { return main_window; }
void SetMainWindow(void* window) { main_window = window; }
void* DefaultParentWindow() { return default_parent_window; }
void SetDefaultParentWindow(void* window) { default_parent_window = window; }

}  // namespace lumetra
