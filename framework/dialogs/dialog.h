// The framework's dialog windows: a dialog object is made from a dialog
// template resource, owns its window, and turns every window message into a
// call of one of its virtual hooks, so a concrete dialog overrides only what it
// needs. Platform handles travel as void* (window, bitmap, module) and message
// parameters as uintptr_t / intptr_t; the implementation is Windows-only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/objects/objects.h"
#include "framework/support/geometry.h"
#include "framework/support/gui_settings.h"
#include "framework/support/settings_tree.h"
#include "framework/support/status.h"

namespace lumetra {

class TControl;

// Dialog flags (TDialog::GetFlags, Create, RunModal).
enum : uint32_t {
  kDialogReleaseOnClose = 0x1,   // release the object when the window closes / RunModal returns
  kDialogNoSavedPosition = 0x2,  // never restore a saved position
  kDialogModal = 0x10,           // DialogBoxIndirectParam, ended with EndDialog
  kDialogClosable = 0x20,        // command 404 may close it (set by the constructor)
  kDialogDeferred = 0x40,        // parent and anchor stored; Create shows the window itself
  kDialogNoAutoShow = 0x800,     // never shown automatically
  kDialogStayOnTop = 0x4000,     // floating dialog
};

// Item ids 0..99 have colour, font and control table entries; others are ignored.
constexpr int32_t kDialogItemLimit = 100;
constexpr int32_t kFontCacheSlots = 100;
constexpr size_t kLogFontSize = 60;         // a LOGFONTA
constexpr size_t kDialogTextSize = 1024;    // item texts, titles, dropped file names
constexpr size_t kItemTipSize = 1024;       // the buffer GetItemTip fills
constexpr size_t kToolTipTextLimit = 79;    // the tool tip's own buffer holds 80 characters
constexpr int16_t kDefaultMinimumSize = 40;
constexpr int16_t kDefaultMaximumSize = 32767;

// Cursor shape numbers of SetCursorShape / ApplyCursor.
enum : int32_t {
  kCursorNone = -2,
  kCursorWait = -1,
  kCursorArrow = 0,
  kCursorCross = 2,
  kCursorMove = 11,
};

// Item kinds, from the platform class name of the item's window.
enum ItemKind : int32_t {
  kItemOther = 0,
  kItemButton = 1,
  kItemListBox = 2,
  kItemComboBox = 3,
  kItemStatic = 4,
  kItemEdit = 5,
  kItemTrackBar = 6,
};

// The data of a file-list event (type kEventFileList): entries of named data
// that the dialog opens through a temporary file each.
struct FileListEntry {
  const char* name;   // for the hook's information only; may be null
  const void* data;
  size_t size;
};
struct FileList {
  size_t count;
  const FileListEntry* entries;
};

// A window of the framework: handle, template id, visibility and geometry.
class TSysDialog : public TPloObject {
 public:
  TSysDialog();
  ~TSysDialog() override;

  // Virtual operations, continuing TPloObject's list.
  virtual void* GetWindowHandle();
  virtual void SetWindowHandle(void* window);
  virtual int16_t GetTemplateId();
  // Makes the window the drawing layer's target while visible, else clears it.
  virtual void FocusDrawing();
  virtual void Show();
  virtual void FillWorkArea();
  virtual void Hide();
  virtual Status ReservedSysDialog();  // kNotAvailable
  virtual void GetBounds(ShortRect* bounds);         // screen; unchanged without a window
  virtual void GetContentBounds(ShortRect* bounds);  // client rectangle
  // Non-zero on success, else the platform's last error (callers ignore it).
  virtual int32_t SetBounds(const ShortRect& bounds);
  virtual void SetSize(ShortPoint size);  // v = height, h = width
  virtual void Redraw();

  // Fixed operations.
  void SetTemplateId(int16_t id) { template_id_ = id; }
  int16_t HelpId() const { return help_id_; }
  void SetHelpId(int16_t id) { help_id_ = id; }
  bool IsVisible() const { return visible_ != 0; }
  // Placement: mode 0 none; 1 saved position first, else next to the anchor;
  // other values anchor first. Side 0 left of the anchor, 1 right of it.
  void SetPlacement(int32_t mode, int32_t side, TSysDialog* anchor);
  void* ToolTipWindow() const { return tool_tip_; }

 protected:
  int32_t stay_on_top_ = 0;          // from dialog flag 0x4000 at creation
  void* window_ = nullptr;           // HWND; null while there is no window
  int16_t template_id_ = 0;          // template, icon and settings key
  int16_t help_id_ = 0;              // 0: the template id
  int32_t visible_ = 0;
  void* deferred_parent_ = nullptr;  // stored under flag 0x40
  int16_t deferred_anchor_item_ = 0;
  void* tool_tip_ = nullptr;         // the tool tip window made at initialisation
  int32_t placement_mode_ = 0;
  int32_t anchor_side_ = 0;
  TSysDialog* anchor_ = nullptr;
};

// The framework dialog: messages to hooks, items, colours, fonts, painting.
class TDialog : public TSysDialog, public GuiSettingsTarget {
 public:
  TDialog();
  // With the window still open: the attention box, then Close.
  ~TDialog() override;

  // Overrides of TPloObject's hooks.
  Status HandleCommand(TPloEvent& event, uint32_t command) override;
  bool IsTarget(const void* object) override;  // also the dialog's own window
  bool CanHandleCommand(TPloEvent& event) override;
  Status HandleEvent(TPloEvent& event) override;  // adds kEventFileList
  Status OnFilesDropped(TPloEvent& event) override;
  // The message handler passes events of type kEventIdle where it has no
  // event to give; OnMouseUp then only forwards to the controls.
  Status OnMouseMoved(TPloEvent& event) override;
  Status OnMouseDown(TPloEvent& event) override;
  Status OnMouseUp(TPloEvent& event) override;
  Status OnKeyDown(TPloEvent& event) override;
  Status OnUpdate(TPloEvent& event) override;
  Status OnActivate(TPloEvent& event) override;
  Status OnDeactivate(TPloEvent& event) override;
  Status OnResume(TPloEvent& event) override;
  Status OnSuspend(TPloEvent& event) override;
  Status OnEventC(TPloEvent& event) override;        // runs OnInitDialog
  Status OnControlEvent(TPloEvent& event) override;  // kEventNotHandled
  // Override of TSysDialog's Show: sets the icon the first time.
  void Show() override;

  // Virtual operations added by TDialog, in order. Hooks a concrete dialog
  // overrides: OnInitDialog (call the base first), OnItem, WindowProc (pass
  // every message on to the base), GetItemTip, OpenFile, PaintBackground.
  virtual intptr_t HandleDialogMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);
  virtual intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam);
  void SetBackgroundColor(Color3 color) override;  // also GuiSettingsTarget's
  virtual Status HandleKey(uint32_t message, uintptr_t key);
  virtual void ApplyCursor();
  virtual uint32_t GetFlags();
  virtual Status Create(uint32_t flags, void* parent, int16_t anchor_item, int32_t reserved);
  // Runs the dialog modally to its end and answers the run's last status (or
  // the failure of Create); with flag 0x1 the object is then released. The
  // modal flag goes again after the run, so the object can later make a
  // modeless window. On a dialog that has a window already: 0, nothing else.
  virtual Status RunModal(uint32_t flags, void* parent);
  virtual Status SavePosition();
  virtual Status RestorePosition(bool keep_size);
  virtual Status OnInitDialog();
  virtual void Close();
  // Every user action on an item; event is null where there is nothing to tell.
  virtual Status OnItem(TPloEvent* event, int16_t item);
  // Writes a NUL-terminated tip of at most kItemTipSize bytes into text.
  virtual Status GetItemTip(int16_t item, char* text, int32_t reserved);
  virtual Status OpenFile(TPloEvent* event, const char* path);
  virtual Status OnFileList(TPloEvent& event);
  virtual Status OpenFileData(TPloEvent& event, const FileListEntry& entry);
  virtual bool IsForeground();
  virtual bool IsModal();
  virtual Status BringToFront();
  virtual void SetSizeClamped(ShortPoint size);
  virtual void SetMinimumSize(int32_t width, int32_t height);
  virtual void SetMaximumSize(int32_t width, int32_t height);
  virtual Status RememberBoundsAndRedraw();
  virtual void AcceptDroppedFiles(bool accept);
  virtual bool IsItemEnabled(int16_t item);
  virtual void EnableItem(int16_t item, bool enable);
  virtual void ShowItem(int16_t item, bool show);
  virtual void SetItemText(int16_t item, const char* text, int32_t reserved);
  // size -1: up to kDialogTextSize bytes. Empty when there is no such item.
  virtual void GetItemText(int16_t item, char* text, int32_t size);
  void SetItemTextColor(int16_t item, Color3 color) override;  // also GuiSettingsTarget's
  virtual void ValidateItem(int16_t item);
  virtual void SetTitle(const char* text);
  virtual void GetTitle(char* text);  // kDialogTextSize bytes
  // Any failure gives kCancelled.
  virtual Status GetItemNumber(int16_t item, int32_t count, double* values);
  virtual Status SetItemNumber(int16_t item, int32_t count, const double* values,
                               const char* format);  // null: "%7.2f"
  virtual void GetBackgroundColor(Color3* color);
  virtual Status PaintBackground(TPloEvent* event);

  // Fixed operations.
  int16_t GetItemValue(int16_t item);
  void SetItemValue(int16_t item, int16_t value);
  void GetItemBounds(int16_t item, ShortRect* bounds) override;  // client; zeros without a window
  void SetItemBounds(int16_t item, const ShortRect& bounds) override;
  void InvalidateBounds(const ShortRect& bounds);
  void ValidateBounds(const ShortRect& bounds);
  ItemKind GetItemKind(int16_t item);
  void SetCursorShape(int32_t number);
  int32_t CursorShape() const { return cursor_shape_; }
  void Activate();
  Status SetBackgroundPicture(int16_t item, int16_t image_number, const char* image_name,
                              void* module, bool fit_height);
  Status DrawItemText(int16_t item, bool ellipsis);
  void SetItemBackgroundColor(int16_t item, Color3 color) override;
  void SetItemBold(int16_t item, bool bold);
  void SetItemPointSize(int16_t item, int16_t points);  // 0 clears the size flag
  Status LastStatus() const { return last_status_; }
  bool HasBackgroundColor() const { return has_background_color_ != 0; }
  void GetSizeLimits(ShortPoint* minimum, ShortPoint* maximum) const;
  void SetMouseTracking(bool on) { mouse_tracking_ = on ? 1 : 0; }
  // Brackets programmatic changes whose notifications are not user input.
  void Suppress() { ++suppression_; }
  void Unsuppress() { if (suppression_ > 0) --suppression_; }
  // Keeps the previous window procedure of the subclassed window.
  uintptr_t PreviousWindowProc() const { return previous_proc_; }

  // GuiSettingsTarget.
  void SetBackgroundPicture(int16_t item, const char* image_name) override;
  uint32_t DialogBaseUnits() override;

  // Process-wide state.
  static TDialog* ActiveDialog();
  // Bit 0 set while the left button is held over a dialog.
  static uint32_t MouseButtonState();

  // Internal to the dialog framework's platform code.
  struct FontSlot;
  struct PlatformAccess;

 protected:
  // Records a hook's status after a message and reports it (see the message handler).
  void NoteStatus(Status status);
  // WM_CTLCOLOR*: the brush to return, or 0 when no colour of ours applies.
  intptr_t ColorItem(uintptr_t dc, intptr_t control, bool dialog_color_too);
  void DrawComboEntry(intptr_t draw_item);
  intptr_t ToolTipText(intptr_t info);
  // WM_PAINT and WM_SYNCPAINT: OnUpdate under the update region.
  Status PaintWindow();
  // Whether the object is still alive after a hook (a hook may delete it).
  bool StillExists();
  Status SetIcon();
  void FreeDrawingResources();
  // Calls `visit` for every framework control of this dialog's window.
  using ControlCall = void (*)(void* context, TControl* control);
  void ForEachControl(ControlCall call, void* context);

  uint32_t flags_ = kDialogClosable;
  ShortRect remembered_bounds_ = {0, 0, 0, 0};
  int32_t suppression_ = 0;                    // non-zero: handlers return at once
  Color3 background_color_ = kDefaultDialogColor;
  int32_t has_background_color_ = 0;
  int32_t minimum_width_ = kDefaultMinimumSize;
  int32_t minimum_height_ = kDefaultMinimumSize;
  int32_t maximum_width_ = kDefaultMaximumSize;
  int32_t maximum_height_ = kDefaultMaximumSize;
  int32_t mouse_tracking_ = 0;
  int32_t topmost_ = 0;                        // a stay-on-top dialog currently topmost
  uintptr_t previous_proc_ = 0;                // WNDPROC replaced by the subclassing
  int16_t combo_id_ = 0;                       // combo box that got the focus last
  int16_t combo_selection_ = 0;                // its selection then
  int32_t initialising_ = 0;
  int32_t in_timer_ = 0;
  int32_t report_errors_ = 1;
  Status last_status_ = 0;                     // last non-zero hook status but 21305
  void* picture_ = nullptr;                    // HBITMAP of the background picture
  ShortRect picture_bounds_ = {0, 0, 0, 0};
  Color3 item_background_[kDialogItemLimit] = {};
  int32_t item_background_set_[kDialogItemLimit] = {};
  Color3 item_text_color_[kDialogItemLimit] = {};
  int32_t item_text_color_set_[kDialogItemLimit] = {};
  int32_t item_bold_[kDialogItemLimit] = {};
  int32_t item_size_set_[kDialogItemLimit] = {};
  int16_t item_point_size_[kDialogItemLimit] = {};
  TControl* controls_[kDialogItemLimit] = {};  // gathered while painting
  FontSlot* font_cache_[kFontCacheSlots] = {};  // filled in order; null ends the list
  int16_t default_button_ = 0;                 // DM_GETDEFID at initialisation
  int32_t cursor_shape_ = 0;
};

// The application's settings tree, under whose "Dialogs" node dialogs keep
// their positions; none by default, and then nothing is saved or restored.
void SetDialogSettings(SettingsTree* settings);
SettingsTree* DialogSettings();

// Creates the dialog's window from template `template_id` (modal: runs it to
// its end). Modal: the EndDialog value, -1 when the platform did not run it;
// modeless: 0, or 21201 when no window was made; a missing template: the
// system's status.
Status LoadAndRunTemplate(TDialog* dialog, int16_t template_id, void* parent, bool modal);
// The default GUI font's face (face_size bytes, left empty when there is no
// font) and its size in points (10 when unknown).
void GetGuiFontFace(char* face, size_t face_size, int32_t* point_size);
// Scales the window and items 0..99 back to the designed pixel geometry
// after the Japanese font substitution. Does nothing in other languages.
Status RescaleForJapanese(TDialog* dialog);

// The process-wide brush cache: the solid brush (HBRUSH) of a colour, made on
// first use and kept for the life of the process; null when all 100 are taken.
void* BrushForColor(Color3 color);

}  // namespace lumetra
