// Framework objects: the reference-counted root classes, the process-wide
// list of live objects, and the typed events and commands that are offered to
// one object or broadcast to all of them.
#pragma once

#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

class TPloElement;
class TPloObject;

// Event types, and the hook each reaches through HandleEvent.
enum EventType : uint32_t {
  kEventIdle = 0,            // OnIdle
  kEventMouseDown = 1,       // OnMouseDown
  kEventMouseUp = 2,         // OnMouseUp
  kEventKeyDown = 3,         // OnKeyDown
  kEventKeyUp = 4,           // OnKeyUp
  kEventKeyRepeat = 5,       // OnKeyDown
  kEventUpdate = 6,          // OnUpdate
  kEventActivate = 8,        // OnActivate
  kEventDeactivate = 9,      // OnDeactivate
  kEventFurtherA = 23,       // OnEventA
  kEventResume = 24,         // OnResume
  kEventSuspend = 25,        // OnSuspend
  kEventCommand = 26,        // HandleCommand(event, event.command)
  kEventMenuCommand = 27,    // OnMenuCommand
  kEventControl = 28,        // OnControlEvent
  kEventFurtherB = 29,       // OnEventB
  kEventFurtherC = 30,       // OnEventC
  kEventFilesDropped = 31,   // OnFilesDropped; data is the drop handle
  kEventMouseMoved = 32,     // OnMouseMoved
  kEventFileList = 34,       // OnFileList (dialogs only)
};

// Command numbers of the framework.
enum : uint32_t {
  kCommandHelp = 312,
  kCommandRefreshUserInterface = 400,  // broadcast
  kCommandOpenDialog = 403,
  kCommandCloseDialog = 404,
  kCommandBringDialogToFront = 405,
  kCommandRunDialogModally = 406,
  kCommandApplyGuiSettings = 407,
  kCommandFloatingTopmost = 408,
  kCommandFloatingNotTopmost = 409,
};
constexpr uintptr_t kCloseDialogForced = 210;  // data of kCommandCloseDialog

// Flag bits in the data of mouse and list events.
enum : uintptr_t {
  kEventDoubleClick = 1u << 0,
  kEventRightClick = 1u << 1,
};
// Up-down events carry their direction in data bits 1 to 3.
enum : uintptr_t {
  kUpDownDirectionShift = 1,
  kUpDownDirectionMask = 7u << kUpDownDirectionShift,
  kUpDownDown = 2,
  kUpDownUp = 3,
};

// An event or command on its way to the hooks.
class TPloEvent {
 public:
  TPloEvent();
  // Finishes a files-dropped event's drop (DragFinish on the handle in data).
  virtual ~TPloEvent();
  TPloEvent(const TPloEvent&) = delete;
  TPloEvent& operator=(const TPloEvent&) = delete;

  // Clears type, target, item, key code, data, command and the item-changed
  // flag, and takes a new time stamp.
  void Prepare();

  uint32_t message = 0;      // the platform message a control event came from
  uintptr_t lparam = 0;
  uintptr_t wparam = 0;
  uint32_t type = kEventIdle;
  const void* target = nullptr;  // null: every object; else an object or a window handle
  uint32_t item = 0;         // item in the low 16 bits, menu in the high 16 bits, or a dialog item id
  uint8_t key_code = 0;
  uintptr_t data = 0;        // command data, character, drop handle or block; flags for mouse events
  uint32_t command = 0;
  uint32_t time = 0;         // tick count when prepared
  int32_t item_changed = 0;
};

// A reference-counted object; the count starts at 1. Objects embedded in
// others or on the stack are never released through the count.
class TBasicObject {
 public:
  TBasicObject() = default;
  virtual ~TBasicObject();
  TBasicObject(const TBasicObject&) = delete;
  TBasicObject& operator=(const TBasicObject&) = delete;

  virtual void Retain();
  virtual int32_t GetExtraReferences();  // count - 1
  // A count of 1 destroys the object (it must have come from new); a larger
  // count is decremented; a count of 0 is left alone.
  virtual void Release();

  int32_t ReferenceCount() const { return references_; }

 private:
  int32_t references_ = 1;
};

// Stands between TBasicObject and TPloElement in the class tree.
class TCommandObject : public TBasicObject {};

// A named object with the standard event hooks. Hooks answer with a status;
// kPassedOn means "not taken", so the next object may take the event.
class TPloElement : public TCommandObject {
 public:
  TPloElement() = default;
  ~TPloElement() override;

  // Hooks to override, in this order; derived classes continue the list.
  virtual bool IsCommandEnabled(uint32_t command);   // asks CanHandleCommand
  virtual Status ReservedHook(TPloEvent& event);     // 0
  virtual Status DoCommand(uint32_t command, uintptr_t data);  // runs HandleCommand
  virtual Status Reserved();                         // kNotAvailable
  virtual Status HandleCommand(TPloEvent& event, uint32_t command);
  virtual bool IsTarget(const void* object);         // null or this object
  virtual bool CanHandleCommand(TPloEvent& event);   // false: disabled
  virtual Status HandleEvent(TPloEvent& event);      // dispatch by event type
  virtual Status OnFilesDropped(TPloEvent& event);
  virtual Status OnIdle(TPloEvent& event);
  virtual Status OnMouseMoved(TPloEvent& event);
  virtual Status OnMouseDown(TPloEvent& event);
  virtual Status OnMouseUp(TPloEvent& event);
  virtual Status OnKeyDown(TPloEvent& event);
  virtual Status OnKeyUp(TPloEvent& event);
  virtual Status OnUpdate(TPloEvent& event);
  virtual Status OnActivate(TPloEvent& event);
  virtual Status OnDeactivate(TPloEvent& event);
  virtual Status OnResume(TPloEvent& event);
  virtual Status OnSuspend(TPloEvent& event);
  virtual Status OnMenuCommand(TPloEvent& event);
  virtual Status OnEventA(TPloEvent& event);
  virtual Status OnEventB(TPloEvent& event);
  virtual Status OnEventC(TPloEvent& event);
  virtual Status OnControlEvent(TPloEvent& event);   // kEventNotHandled

  // Fixed operations.
  // Keeps a private copy; when memory is short the element keeps no name.
  void SetName(const char* text);
  const char* Name() const { return name_; }  // null when unnamed

 private:
  char* name_ = nullptr;
};

// An element in the process-wide object list, from construction to
// destruction, in order of construction.
class TPloObject : public TPloElement {
 public:
  TPloObject();
  ~TPloObject() override;

  // Fixed operations.
  // Asks the sweep after the next broadcast to unlink and release this object.
  void RequestRelease() { release_pending_ = 1; }
  void CancelRelease() { release_pending_ = 0; }
  bool ReleasePending() const { return release_pending_ != 0; }

 private:
  friend struct ObjectList;

  TPloObject* next_ = nullptr;
  int32_t release_pending_ = 0;
};

// The object list.
TPloObject* FirstObject();
TPloObject* NextObject(const TPloObject* object);
// The first object whose IsTarget(x) is true, or null. FindTarget(null) is the
// head; FindTarget(window) finds a dialog; FindTarget(object) tells whether the
// object is still in the list.
TPloObject* FindTarget(const void* x);

using ObjectCallback = Status (*)(void* context, TPloObject* object, TPloEvent* event);
// Calls back for each object in list order while the callbacks return 0;
// returns the last result (0 for an empty list).
Status ForEachObject(ObjectCallback callback, void* context, TPloEvent* event);

// Offers the event to every object that takes its target, until one answers
// non-zero; a hook may delete its own object. Objects awaiting release are
// released afterwards when the result is 0. kMissingObject with no objects.
Status BroadcastEvent(TPloEvent& event);
// A command event to one object; 0 for a null object or one that refuses it as target.
Status SendCommand(TPloElement* object, uint32_t command, uintptr_t data);
// A command event for target (null: every object), broadcast.
Status BroadcastCommand(const void* target, uint32_t command, uintptr_t data);

// Process-wide user-interface refresh flag: set when menus may have to change.
void RequestUserInterfaceRefresh();
// With the flag set or force, clears the flag and broadcasts command 400.
Status RefreshUserInterface(bool force);

// Window handles an application sets when it makes a main window; null here.
void* MainWindow();
void SetMainWindow(void* window);
void* DefaultParentWindow();
void SetDefaultParentWindow(void* window);

}  // namespace lumetra
