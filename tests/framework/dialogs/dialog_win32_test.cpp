// Framework dialogs on real windows (templates 100-104 of dialog_test.rc). Each
// dialog runs modally on the test's thread while a second thread acts on it as
// the platform or a user would (messages, SendInput), then closes it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "framework/dialogs/dialog.h"
#include "framework/dialogs/dialog_internal.h"
#include "framework/support/catalogue.h"
#include "framework/support/messages.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

// A dialog whose hooks answer as the test says and note what they were asked.
class ProbeDialog : public TDialog {
 public:
  explicit ProbeDialog(int16_t id) { SetTemplateId(id); }

  Status OnInitDialog() override {
    Status status = TDialog::OnInitDialog();
    if (on_init) on_init(this);
    window.store(static_cast<HWND>(GetWindowHandle()));
    return status;
  }
  Status OnItem(TPloEvent* event, int16_t item) override {
    items.push_back(item);
    if (on_item) on_item(this, item);
    auto answer = answers.find(item);
    if (answer == answers.end()) return kOk;
    return answer->second;
  }
  Status GetItemTip(int16_t item, char* text, int32_t reserved) override {
    std::snprintf(text, kItemTipSize, "%s", tip.c_str());
    return kOk;
  }
  // Notes the file and what it held when the hook was called.
  Status OpenFile(TPloEvent* event, const char* path) override {
    std::string bytes;
    if (std::FILE* f = std::fopen(path, "rb")) {
      char buffer[256];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
      std::fclose(f);
    }
    opened.push_back({path, bytes});
    return kOk;
  }

  void* Picture() const { return picture_; }
  bool Topmost() const { return topmost_ != 0; }
  void ForbidCloseCommand() { flags_ &= ~static_cast<uint32_t>(kDialogClosable); }

  std::atomic<HWND> window{nullptr};
  std::map<int16_t, Status> answers;
  std::vector<int16_t> items;
  std::function<void(ProbeDialog*)> on_init;
  std::function<void(ProbeDialog*, int16_t)> on_item;
  std::string tip;
  std::vector<std::pair<std::string, std::string>> opened;  // path, bytes
};

// Runs the dialog modally on this thread; `drive` acts on the shown window from
// a second thread, then the close box's command ends the dialog.
Status RunDriven(ProbeDialog& dialog, const std::function<void(HWND)>& drive) {
  std::thread driver([&dialog, &drive] {
    HWND window = nullptr;
    for (int i = 0; i < 1000; ++i) {
      window = dialog.window.load();
      if (window && IsWindowVisible(window)) break;
      Sleep(10);
    }
    if (!window) return;
    drive(window);
    if (IsWindow(window)) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  Status status = dialog.RunModal(0, nullptr);
  driver.join();
  return status;
}

void Click(HWND dialog, int item) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(item, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, item)));
}

// The left button pressed at one screen point and released at another.
void Drag(POINT from, POINT to) {
  auto move = [](POINT p) {
    SetCursorPos(p.x, p.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;  // a move of 0: the platform sees the new place
    SendInput(1, &input, sizeof(INPUT));
    Sleep(40);
  };
  auto button = [](DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(150);
  };
  move(from);
  button(MOUSEEVENTF_LEFTDOWN);
  for (int i = 1; i <= 8; ++i) {
    move(POINT{from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8});
  }
  button(MOUSEEVENTF_LEFTUP);
  Sleep(150);
}

SIZE WindowSize(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

RECT ItemRect(HWND dialog, int item) {
  RECT r{};
  GetWindowRect(GetDlgItem(dialog, item), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Message boxes as the user would have seen them.
struct Boxes {
  std::vector<std::string> texts;
  std::vector<uint32_t> styles;
  static int32_t Record(void* context, const char* text, const char* caption, uint32_t style,
                        void* owner) {
    Boxes* boxes = static_cast<Boxes*>(context);
    boxes->texts.push_back(text);
    boxes->styles.push_back(style);
    return IDOK;
  }
};

void WriteTestFile(const std::string& unix_path, const std::string& bytes) {
  std::FILE* f = std::fopen(testing::SystemPath(unix_path).c_str(), "wb");
  ASSERT_NE(f, nullptr) << unix_path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Language files are found in the current directory: each test works in a
// folder of its own.
class DialogInFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = testing::ScratchDir(std::string("dialog_") + info->name());
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(testing::SystemPath(dir_));
    FreeCatalogue();
  }
  void TearDown() override {
    SetMessagePresenter(nullptr, nullptr);
    FreeCatalogue();
    std::filesystem::current_path(previous_);
  }

  std::string dir_;
  std::filesystem::path previous_;
};

TEST_F(DialogInFolder, HookStatusesAreKeptAndOnlyRealFailuresShownOnce) {
  WriteTestFile(dir_ + "/EnglishLanguage", "21201 A system resource is not available\n");
  Boxes boxes;
  SetMessagePresenter(&Boxes::Record, &boxes);
  ProbeDialog dialog(100);
  dialog.answers = {{10, kSystemResourceUnavailable}, {11, kPassedOn}, {12, kCancelled}};
  std::vector<Status> last;
  std::vector<size_t> shown;
  Status result = RunDriven(dialog, [&](HWND window) {
    for (int item : {10, 11, 12}) {
      Click(window, item);
      last.push_back(dialog.LastStatus());
      shown.push_back(boxes.texts.size());
    }
  });
  EXPECT_EQ(dialog.items, (std::vector<int16_t>{10, 11, 12}));
  EXPECT_EQ(last, (std::vector<Status>{kSystemResourceUnavailable, kSystemResourceUnavailable,
                                       kCancelled}))
      << "21305 leaves the last status alone; 20002 is kept";
  EXPECT_EQ(shown, (std::vector<size_t>{1, 1, 1})) << "21305 and 20002 show nothing";
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "A system resource is not available (Error 21201)");
  EXPECT_EQ(boxes.styles[0] & MB_ICONMASK, static_cast<uint32_t>(MB_ICONSTOP));
  EXPECT_EQ(result, kCancelled) << "RunModal returns the last status";
  EXPECT_EQ(dialog.GetWindowHandle(), nullptr);
}

TEST(Dialog, TheCloseBoxEndsAModalDialogWithZero) {
  ProbeDialog dialog(100);
  bool closed_by_click = false;
  Status result = RunDriven(dialog, [&](HWND window) {
    // Without a window manager the platform draws the caption: the close box
    // is its last button, at the right end of the caption.
    RECT r{};
    GetWindowRect(window, &r);
    int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    int button = GetSystemMetrics(SM_CXSIZE);
    POINT at{r.right - frame - button / 2 - 1,
             r.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYSIZE) / 2};
    SetCursorPos(at.x, at.y);
    Sleep(50);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
    for (int i = 0; i < 100 && IsWindow(window); ++i) Sleep(20);
    closed_by_click = !IsWindow(window);
  });
  EXPECT_TRUE(closed_by_click);
  EXPECT_EQ(result, kOk);
  EXPECT_EQ(dialog.GetWindowHandle(), nullptr);

  ProbeDialog missing(199);
  EXPECT_NE(missing.RunModal(0, nullptr), kOk) << "no template 199";
  EXPECT_EQ(missing.GetWindowHandle(), nullptr);
}

TEST(Dialog, DraggedEdgesStayWithinTheSizeLimits) {
  ProbeDialog dialog(101);
  RECT small{100, 100, 110, 105}, top_left{100, 100, 110, 105};
  SIZE dragged{};
  RunDriven(dialog, [&](HWND window) {
    SendMessageA(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&small));
    SendMessageA(window, WM_SIZING, WMSZ_TOPLEFT, reinterpret_cast<LPARAM>(&top_left));
    RECT r{};
    GetWindowRect(window, &r);
    Drag(POINT{r.right - 2, r.bottom - 2}, POINT{r.left + 5, r.top + 5});
    dragged = WindowSize(window);
  });
  EXPECT_EQ(small.right - small.left, 40);
  EXPECT_EQ(small.bottom - small.top, 40);
  EXPECT_EQ(small.left, 100) << "only the dragged edges move";
  EXPECT_EQ(top_left.left, 70);
  EXPECT_EQ(top_left.top, 65);
  EXPECT_EQ(top_left.right, 110);
  // In a real drag to the far corner the platform's own minimum tracking
  // size holds the window first; below it, 40 pixels do.
  EXPECT_EQ(dragged.cx, std::max(40, GetSystemMetrics(SM_CXMINTRACK))) << "a real drag";
  EXPECT_EQ(dragged.cy, std::max(40, GetSystemMetrics(SM_CYMINTRACK)));

  ProbeDialog bounded(101);
  bounded.SetMaximumSize(300, 200);
  RECT big{0, 0, 1000, 1000};
  SIZE placed{}, grown{};
  RunDriven(bounded, [&](HWND window) {
    SendMessageA(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&big));
    bounded.SetSizeClamped(ShortPoint{1000, 1000});
    placed = WindowSize(window);
    SetWindowPos(window, nullptr, 0, 0, 250, 150, SWP_NOMOVE | SWP_NOZORDER);
    RECT r{};
    GetWindowRect(window, &r);
    Drag(POINT{r.right - 2, r.bottom - 2}, POINT{r.right + 400, r.bottom + 400});
    grown = WindowSize(window);
  });
  EXPECT_EQ(big.right, 300);
  EXPECT_EQ(big.bottom, 200);
  EXPECT_EQ(placed.cx, 300) << "a size set by code is clamped by SetSizeClamped";
  EXPECT_EQ(placed.cy, 200);
  // The platform's sizing loop may stop a pixel short of its tracking limit.
  EXPECT_LE(grown.cx, 300) << "dragged far beyond the maximum";
  EXPECT_LE(grown.cy, 200);
  EXPECT_GE(grown.cx, 290) << "it did grow";
  EXPECT_GE(grown.cy, 190);
}

TEST(Dialog, ModelessItemsSizesAndAnOpenWindowAtDestruction) {
  Boxes boxes;
  SetMessagePresenter(&Boxes::Record, &boxes);
  auto* dialog = new ProbeDialog(104);
  ASSERT_EQ(dialog->Create(0, nullptr, 0, 0), kOk);
  HWND window = static_cast<HWND>(dialog->GetWindowHandle());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window)) << "shown at initialisation";
  EXPECT_EQ(dialog->Create(0, nullptr, 0, 0), kOk);
  EXPECT_EQ(dialog->GetWindowHandle(), window) << "a second Create changes nothing";

  EXPECT_EQ(dialog->GetItemValue(21), 0) << "a combo box with nothing selected";
  EXPECT_EQ(dialog->GetItemValue(6), -1) << "a static item";
  EXPECT_EQ(dialog->GetItemValue(77), -1) << "no such item";
  dialog->SetItemText(20, "1.5 2.25", 0);
  double values[2] = {};
  EXPECT_EQ(dialog->GetItemNumber(20, 2, values), kOk);
  EXPECT_EQ(values[1], 2.25);
  EXPECT_EQ(dialog->GetItemNumber(6, 2, values), kCancelled) << "\"plain\" holds no numbers";

  dialog->SetSizeClamped(ShortPoint{10, 10});
  EXPECT_EQ(WindowSize(window).cx, 40);
  EXPECT_EQ(WindowSize(window).cy, 40);

  delete dialog;  // with its window still open
  SetMessagePresenter(nullptr, nullptr);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "Attention: TDialog will be deleted, but window is not closed!");
  EXPECT_FALSE(IsWindow(window)) << "the window is closed";
}

TEST(Dialog, BringingToFrontWhileAModalDialogIsActiveIsRefused) {
  ProbeDialog other(104);
  ProbeDialog modal(100);
  Status refused = kOk;
  modal.on_item = [&](ProbeDialog*, int16_t) { refused = other.BringToFront(); };
  RunDriven(modal, [](HWND window) {
    for (int i = 0; i < 100 && GetForegroundWindow() != window; ++i) Sleep(20);
    Click(window, 10);
  });
  EXPECT_EQ(TDialog::ActiveDialog(), nullptr) << "cleared when the active dialog closed";
  EXPECT_EQ(refused, kCancelled);
}

// ---------------------------------------------------------------------------
// The template handed to the platform, seen through the executable's import of
// DialogBoxIndirectParamA.

struct SeenTemplate {
  const void* address = nullptr;
  int16_t point_size = 0;
  std::string face;
};
SeenTemplate seen_template;
decltype(&DialogBoxIndirectParamA) real_dialog_box = nullptr;

// Reads the font block of a DLGTEMPLATE (Win32 docs, "DLGTEMPLATE"): menu,
// class and title are each 0, 0xFFFF and an ordinal, or a string.
void ReadFontBlock(const void* tmpl, SeenTemplate* seen) {
  const uint16_t* words = static_cast<const uint16_t*>(tmpl) + 9;
  for (int field = 0; field < 3; ++field) {
    if (*words == 0xFFFF) {
      words += 2;
    } else {
      while (*words) ++words;
      ++words;
    }
  }
  seen->point_size = static_cast<int16_t>(*words++);
  seen->face.clear();
  while (*words) seen->face.push_back(static_cast<char>(*words++));
}

INT_PTR WINAPI RecordDialogBox(HINSTANCE module, LPCDLGTEMPLATEA tmpl, HWND owner, DLGPROC proc,
                               LPARAM param) {
  seen_template.address = tmpl;
  ReadFontBlock(tmpl, &seen_template);
  return real_dialog_box(module, tmpl, owner, proc, param);
}

// Swaps the executable's import address of a user32 function; returns the old one.
void* SwapImport(const char* name, void* replacement, void* current) {
  uint8_t* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name;
       ++d) {
    for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
         thunk->u1.Function; ++thunk) {
      if (reinterpret_cast<void*>(thunk->u1.Function) != current) continue;
      DWORD protection = 0;
      VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), PAGE_READWRITE, &protection);
      thunk->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), protection, &protection);
      return current;
    }
  }
  return nullptr;
}

struct FontSeen {
  LOGFONTA font{};
  RECT units{0, 0, 4, 8};
  RECT item7{}, item150{};
};

FontSeen RunFontDialog() {
  FontSeen seen;
  ProbeDialog dialog(103);
  dialog.on_init = [&seen](ProbeDialog* d) {
    HWND window = static_cast<HWND>(d->GetWindowHandle());
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    GetObjectA(font, sizeof(seen.font), &seen.font);
    MapDialogRect(window, &seen.units);
    seen.item7 = ItemRect(window, 7);
    seen.item150 = ItemRect(window, 150);
  };
  RunDriven(dialog, [](HWND) {});
  return seen;
}

int32_t ScreenPixelsPerInch() {
  HDC screen = GetDC(nullptr);
  int32_t dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

TEST_F(DialogInFolder, TheJapaneseInterfaceGetsTheShellFontAndKeepsTheDesignedPixels) {
  WriteTestFile(dir_ + "/EnglishLanguage", "21201 A system resource is not available\n");
  WriteTestFile(dir_ + "/JapaneseLanguage", "21201 resource\n");
  void* real = reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "DialogBoxIndirectParamA"));
  real_dialog_box = reinterpret_cast<decltype(real_dialog_box)>(real);
  ASSERT_NE(SwapImport("DialogBoxIndirectParamA", reinterpret_cast<void*>(&RecordDialogBox), real),
            nullptr);

  ASSERT_EQ(LoadLanguage("Japanese"), kOk);
  FontSeen japanese = RunFontDialog();
  SeenTemplate rewritten = seen_template;

  ASSERT_EQ(LoadLanguage("English"), kOk);
  seen_template = SeenTemplate();
  FontSeen english = RunFontDialog();
  SeenTemplate stored = seen_template;
  SwapImport("DialogBoxIndirectParamA", real, reinterpret_cast<void*>(&RecordDialogBox));

  EXPECT_EQ(rewritten.point_size, 8);
  EXPECT_EQ(rewritten.face, "MS Shell Dlg");
  EXPECT_STREQ(japanese.font.lfFaceName, "MS Shell Dlg");
  EXPECT_EQ(japanese.font.lfHeight, -MulDiv(8, ScreenPixelsPerInch(), 72));
  // Items stand where 6 pixels per 4 and 13 per 8 dialog units put them.
  int32_t x = japanese.units.right, y = japanese.units.bottom;
  EXPECT_EQ(japanese.item7.left, MulDiv(10, x, 4) * 6 / x);
  EXPECT_EQ(japanese.item7.top, MulDiv(10, y, 8) * 13 / y);
  EXPECT_EQ(japanese.item7.right, (MulDiv(10, x, 4) + MulDiv(40, x, 4)) * 6 / x);
  EXPECT_EQ(japanese.item150.left, MulDiv(60, x, 4)) << "items from 100 on are not rescaled";

  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(103), RT_DIALOG);
  ASSERT_NE(resource, nullptr);
  const void* bytes = LockResource(LoadResource(nullptr, resource));
  EXPECT_EQ(stored.address, bytes) << "other languages hand over the stored template itself";
  EXPECT_EQ(stored.point_size, 10);
  EXPECT_EQ(stored.face, "Courier New");
  EXPECT_STREQ(english.font.lfFaceName, "Courier New");
  x = english.units.right;
  EXPECT_EQ(english.item7.left, MulDiv(10, x, 4)) << "no rescaling";
}

// ---------------------------------------------------------------------------
// Items: tips, combo box entries, menu commands, colours, cursors

class MenuRecorder : public TPloObject {
 public:
  Status OnMenuCommand(TPloEvent& event) override {
    items.push_back(event.item);
    return kOk;
  }
  std::vector<uint32_t> items;
};

TEST(Dialog, TipsComboEntriesMenuCommandsColoursAndCursors) {
  const Color3 dialog_color{30, 60, 90}, item_color{120, 0, 0}, text_color{250, 250, 0};
  MenuRecorder menus;
  ProbeDialog dialog(104);
  dialog.SetBackgroundColor(dialog_color);
  dialog.SetItemBackgroundColor(5, item_color);
  dialog.SetItemTextColor(5, text_color);
  dialog.SetItemBackgroundColor(150, item_color);  // beyond the tables: ignored
  dialog.tip = std::string(100, 'a') + std::string(20, 'b');
  HCURSOR shape12 = nullptr, shape3 = nullptr, shape2 = nullptr;
  int32_t unknown_shape = -5;
  dialog.on_item = [&](ProbeDialog* d, int16_t item) {
    if (item != 22) return;
    d->SetCursorShape(12);
    shape12 = GetCursor();
    d->SetCursorShape(3);
    shape3 = GetCursor();
    d->SetCursorShape(2);
    shape2 = GetCursor();
    d->SetCursorShape(42);
    unknown_shape = d->CursorShape();
  };

  std::string tip;
  LRESULT after_disabled = -2, after_enabled = -2;
  intptr_t brush5 = 0, brush6 = 0, brush150 = 0, brush_edit = 0;
  COLORREF text5 = 0;
  RunDriven(dialog, [&](HWND window) {
    NMTTDISPINFOA info = {};
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(GetDlgItem(window, 22));
    info.hdr.code = TTN_GETDISPINFOA;
    info.uFlags = TTF_IDISHWND;
    SendMessageA(window, WM_NOTIFY, 22, reinterpret_cast<LPARAM>(&info));
    if (info.lpszText) tip = info.lpszText;

    HWND combo = GetDlgItem(window, 21);
    for (const char* entry : {"first", "disabled", "third"}) {
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    SendMessageA(combo, CB_SETITEMDATA, 1, 1);  // bit 0: the entry is disabled
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(21, CBN_SETFOCUS), reinterpret_cast<LPARAM>(combo));
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(21, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
    after_disabled = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    SendMessageA(combo, CB_SETCURSEL, 2, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(21, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
    after_enabled = SendMessageA(combo, CB_GETCURSEL, 0, 0);

    SendMessageA(window, WM_COMMAND, 1203, 0);

    HDC dc = GetDC(window);
    auto ask = [&](UINT message, int item) {
      return static_cast<intptr_t>(SendMessageA(window, message, reinterpret_cast<WPARAM>(dc),
                                                reinterpret_cast<LPARAM>(GetDlgItem(window, item))));
    };
    brush5 = ask(WM_CTLCOLORSTATIC, 5);
    text5 = GetTextColor(dc);
    brush6 = ask(WM_CTLCOLORSTATIC, 6);
    brush150 = ask(WM_CTLCOLORSTATIC, 150);
    brush_edit = ask(WM_CTLCOLOREDIT, 20);
    ReleaseDC(window, dc);

    Click(window, 22);
  });

  EXPECT_EQ(tip, std::string(79, 'a')) << "cut to 79 characters";
  EXPECT_EQ(after_disabled, 0) << "a disabled entry cannot be selected";
  EXPECT_EQ(after_enabled, 2);
  EXPECT_EQ(menus.items, (std::vector<uint32_t>{(12u << 16) | 3u})) << "menu 12, item 3";

  intptr_t dialog_brush = reinterpret_cast<intptr_t>(BrushForColor(dialog_color));
  intptr_t item_brush = reinterpret_cast<intptr_t>(BrushForColor(item_color));
  EXPECT_EQ(brush5, item_brush);
  EXPECT_EQ(text5, RGB(250, 250, 0));
  EXPECT_EQ(brush6, dialog_brush) << "a static without a colour takes the dialog's";
  EXPECT_NE(brush150, dialog_brush) << "item 150 gets the default processing";
  EXPECT_NE(brush150, item_brush);
  EXPECT_NE(brush_edit, dialog_brush) << "an edit item without a colour gets the default";

  EXPECT_NE(shape3, nullptr) << "cursor 901 of this executable";
  EXPECT_EQ(shape12, shape3);
  EXPECT_EQ(shape2, LoadCursorA(nullptr, IDC_CROSS));
  EXPECT_EQ(unknown_shape, 0);
}

// ---------------------------------------------------------------------------
// GUISettings.txt is read once per process: the painting test runs in a fresh
// process of this executable, in a folder holding the file and the picture.

constexpr char kGuiChildVariable[] = "LUMETRA_DIALOG_GUI_CHILD";

// A 24-bit bitmap file, left half one colour and right half another.
std::string TwoColourBitmap(int width, int height, Color3 left, Color3 right) {
  std::string pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Color3 c = x < width / 2 ? left : right;
      pixels += static_cast<char>(c.blue);
      pixels += static_cast<char>(c.green);
      pixels += static_cast<char>(c.red);
    }
    while (pixels.size() % 4) pixels += '\0';
  }
  auto u32 = [](uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
  std::string file = "BM" + u32(54 + pixels.size()) + u32(0) + u32(54);
  file += u32(40) + u32(width) + u32(height) + u16(1) + u16(24) + u32(0) + u32(pixels.size()) +
          u32(2835) + u32(2835) + u32(0) + u32(0);
  return file + pixels;
}

struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  Color3 At(int x, int y) const {
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return Color3{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                  static_cast<uint8_t>(p)};
  }
};

// The window's client area as it stands on the screen.
Shot Capture(HWND window) {
  Shot shot;
  RECT r{};
  GetClientRect(window, &r);
  shot.width = r.right;
  shot.height = r.bottom;
  shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, source, 0, 0, SRCCOPY);
  GdiFlush();
  std::memcpy(shot.pixels.data(), bits, shot.pixels.size() * 4);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  return shot;
}

TEST(DialogGuiSettings, ColoursPlacementAndPictureShowOnTheScreen) {
  std::string dir = testing::ScratchDir("dialog_gui_settings");
  WriteTestFile(dir + "/GUISettings.txt",
            "102 = {\n"
            "  bgcolor = \"30 60 90\"\n"
            "  bgimage = \"backdrop\"\n"
            "  unitx = 4\n"
            "  unity = 8\n"
            "  5 = { x = 20 y = 10 w = 60 h = 16 fgcolor = \"250 250 0\" bgcolor = \"120 0 0\" }\n"
            "}\n");
  WriteTestFile(dir + "/backdrop.bmp", TwoColourBitmap(16, 8, {0, 200, 0}, {0, 0, 220}));

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof(exe));
  std::string command =
      std::string("\"") + exe + "\" --gtest_filter=DialogGuiSettingsChild.* --gtest_brief=1";
  SetEnvironmentVariableA(kGuiChildVariable, "1");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string folder = testing::SystemPath(dir);
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                folder.c_str(), &startup, &process);
  SetEnvironmentVariableA(kGuiChildVariable, nullptr);
  ASSERT_TRUE(started);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u) << "the painted dialog's checks, run in their own process";
}

bool Near(Color3 a, Color3 b) {
  return std::abs(a.red - b.red) < 8 && std::abs(a.green - b.green) < 8 &&
         std::abs(a.blue - b.blue) < 8;
}

TEST(DialogGuiSettingsChild, PaintsTheSettings) {
  if (!std::getenv(kGuiChildVariable)) GTEST_SKIP() << "runs in the process its parent starts";
  ProbeDialog dialog(102);
  Shot shot;
  RECT item5{}, item99{};
  RunDriven(dialog, [&](HWND window) {
    Sleep(300);
    InvalidateRect(window, nullptr, TRUE);
    Sleep(500);
    shot = Capture(window);
    item5 = ItemRect(window, 5);
    item99 = ItemRect(window, 99);
  });
  ASSERT_GT(shot.width, 0);

  LONG units = GetDialogBaseUnits();
  int32_t bx = LOWORD(units), by = HIWORD(units);
  EXPECT_EQ(item5.left, 20 * bx / 4) << "x in units of base / 4";
  EXPECT_EQ(item5.top, 10 * by / 8);
  EXPECT_EQ(item5.right, 80 * bx / 4);
  EXPECT_EQ(item5.bottom, 26 * by / 8);

  const Color3 dialog_color{30, 60, 90}, item_color{120, 0, 0}, text_color{250, 250, 0};
  EXPECT_EQ(shot.At(3, 3), dialog_color);
  EXPECT_EQ(shot.At(shot.width - 3, shot.height - 3), dialog_color);
  EXPECT_EQ(shot.At(item5.right - 2, item5.bottom - 2), item_color) << "item 5's background";
  int text_pixels = 0, stray_text_pixels = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (!Near(shot.At(x, y), text_color)) continue;
      bool inside = x >= item5.left && x < item5.right && y >= item5.top && y < item5.bottom;
      (inside ? text_pixels : stray_text_pixels)++;
    }
  }
  EXPECT_GT(text_pixels, 0) << "item 5's text colour";
  EXPECT_EQ(stray_text_pixels, 0);

  int middle = (item99.top + item99.bottom) / 2;
  int quarter = (item99.right - item99.left) / 4;
  EXPECT_EQ(shot.At(item99.left + quarter, middle), (Color3{0, 200, 0})) << "the picture's left half";
  EXPECT_EQ(shot.At(item99.right - quarter, middle), (Color3{0, 0, 220})) << "its right half";
}


// ---------------------------------------------------------------------------
// Released dialogs. Their objects live on pages of their own that become
// inaccessible when the object is freed; an access to such a page is counted
// and then let through (the page is opened again), so a test can say what
// broke instead of the process dying.

class PoisonedHeap {
 public:
  PoisonedHeap() { handler_ = AddVectoredExceptionHandler(1, &CountAccess); }
  ~PoisonedHeap() {
    RemoveVectoredExceptionHandler(handler_);
    for (const Block& block : blocks_) VirtualFree(block.address, 0, MEM_RELEASE);
    blocks_.clear();
    accesses_ = 0;
  }
  PoisonedHeap(const PoisonedHeap&) = delete;
  PoisonedHeap& operator=(const PoisonedHeap&) = delete;

  static void* Allocate(size_t size) {
    void* address = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address) std::abort();
    blocks_.push_back({address, size});
    return address;
  }
  static void Free(void* address) {
    for (const Block& block : blocks_) {
      if (block.address != address) continue;
      std::memset(address, 0xDD, block.size);
      DWORD previous = 0;
      VirtualProtect(address, block.size, PAGE_NOACCESS, &previous);
    }
  }
  // Reads and writes of freed objects since the heap was set up.
  static int Accesses() { return accesses_; }

 private:
  struct Block {
    void* address;
    size_t size;
  };
  static LONG CALLBACK CountAccess(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2) {
      return EXCEPTION_CONTINUE_SEARCH;
    }
    auto at = static_cast<uintptr_t>(record->ExceptionInformation[1]);
    for (const Block& block : blocks_) {
      auto start = reinterpret_cast<uintptr_t>(block.address);
      if (at < start || at >= start + block.size) continue;
      ++accesses_;
      DWORD previous = 0;
      VirtualProtect(block.address, block.size, PAGE_READWRITE, &previous);
      return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
  }

  void* handler_ = nullptr;
  static inline std::vector<Block> blocks_;
  static inline int accesses_ = 0;
};

class PoisonedDialog;
// Kept outside the dialogs, so that a hook that releases its own dialog reads
// nothing of it afterwards.
std::function<Status(PoisonedDialog*)> idle_hook;

class PoisonedDialog : public TDialog {
 public:
  explicit PoisonedDialog(int16_t id) { SetTemplateId(id); }
  static void* operator new(size_t size) { return PoisonedHeap::Allocate(size); }
  static void operator delete(void* address) { PoisonedHeap::Free(address); }

  Status OnIdle(TPloEvent&) override { return idle_hook ? idle_hook(this) : Status{kOk}; }
  Status OnItem(TPloEvent*, int16_t item) override {
    return item == 22 ? Status{kSystemResourceUnavailable} : Status{kOk};
  }
  HWND Window() { return static_cast<HWND>(GetWindowHandle()); }
};

TEST(DialogRelease, AModelessSelfReleasingDialogGoesAtTheSweepAfterItsClose) {
  PoisonedHeap heap;
  TPloObject head;  // the sweep never looks at the head of the list
  ASSERT_EQ(FirstObject(), &head);
  Boxes boxes;
  SetMessagePresenter(&Boxes::Record, &boxes);

  auto* dialog = new PoisonedDialog(104);
  ASSERT_EQ(dialog->Create(kDialogReleaseOnClose, nullptr, 0, 0), kOk);
  HWND first = dialog->Window();
  dialog->Close();
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(dialog->ReleasePending()) << "Close marks a modeless self-releasing dialog";
  EXPECT_EQ(FindTarget(dialog), dialog) << "it stays until the next sweep";

  // Created again before a sweep: its own initialisation runs a refresh
  // broadcast, whose sweep must not take it.
  ASSERT_EQ(dialog->Create(kDialogReleaseOnClose, nullptr, 0, 0), kOk);
  EXPECT_EQ(heap.Accesses(), 0) << "the dialog was released during its own initialisation";
  EXPECT_EQ(FindTarget(dialog), dialog) << "a dialog created again is no longer to be released";
  EXPECT_NE(dialog->GetWindowHandle(), nullptr);
  EXPECT_FALSE(dialog->ReleasePending());

  HWND second = dialog->Window();
  dialog->Close();
  EXPECT_EQ(BroadcastCommand(nullptr, kCommandRefreshUserInterface, 0), kOk);
  EXPECT_EQ(FindTarget(dialog), nullptr) << "released by the sweep after the broadcast";
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(heap.Accesses(), 0);
  EXPECT_TRUE(boxes.texts.empty()) << "no dialog was destroyed with its window open";
  SetMessagePresenter(nullptr, nullptr);

  ProbeDialog kept(104);
  ASSERT_EQ(kept.Create(0, nullptr, 0, 0), kOk);
  kept.Close();
  EXPECT_FALSE(kept.ReleasePending()) << "without flag 0x1 nothing is released";
}

TEST(DialogRelease, ATimerWhoseIdleHookReleasesItsOwnDialogTouchesNothingOfIt) {
  PoisonedHeap heap;
  TPloObject head;
  ASSERT_EQ(FirstObject(), &head);
  auto* a = new PoisonedDialog(104);
  auto* b = new PoisonedDialog(104);
  ASSERT_EQ(a->Create(kDialogReleaseOnClose, nullptr, 0, 0), kOk);
  ASSERT_EQ(b->Create(kDialogReleaseOnClose, nullptr, 0, 0), kOk);
  HWND window_a = a->Window(), window_b = b->Window();

  // B closes A and itself and forces a refresh: the sweep releases B, then A,
  // so the deleted-dialog marker names A when B's timer handling resumes.
  idle_hook = [a](PoisonedDialog* self) {
    a->Close();
    self->Close();
    return RefreshUserInterface(true);
  };
  SendMessageA(window_b, WM_TIMER, 1, 0);
  idle_hook = nullptr;

  EXPECT_FALSE(IsWindow(window_a));
  EXPECT_FALSE(IsWindow(window_b));
  EXPECT_EQ(FindTarget(a), nullptr) << "A was released by the sweep";
  EXPECT_EQ(FindTarget(b), nullptr) << "B was released by the sweep";
  EXPECT_EQ(heap.Accesses(), 0) << "B's timer handling wrote to B after its release";
}

// A report box that lets timers run meanwhile, as a real one would.
struct TimerDuringReport {
  HWND window = nullptr;
  int shown = 0;
  static int32_t Show(void* context, const char*, const char*, uint32_t, void*) {
    auto* self = static_cast<TimerDuringReport*>(context);
    ++self->shown;
    SendMessageA(self->window, WM_TIMER, 1, 0);
    return IDOK;
  }
};

TEST(DialogTimer, IdleRunsOnceAtATimeAndADialogItDeletesIsLeftAlone) {
  PoisonedHeap heap;
  auto* dialog = new PoisonedDialog(104);
  ASSERT_EQ(dialog->Create(0, nullptr, 0, 0), kOk);
  HWND window = dialog->Window();

  std::vector<int> depths;
  int depth = 0;
  idle_hook = [&](PoisonedDialog*) {
    depths.push_back(depth);
    if (depth == 0) {
      ++depth;
      SendMessageA(window, WM_TIMER, 1, 0);  // a timer while the hook runs
      --depth;
    }
    return kOk;
  };
  SendMessageA(window, WM_TIMER, 1, 0);
  SendMessageA(window, WM_TIMER, 1, 0);
  EXPECT_EQ(depths, (std::vector<int>{0, 0})) << "no nested OnIdle; the flag is cleared after each";

  // An error reported while OnIdle runs lowers the in-timer flag for the
  // time of the report, so timers go on meanwhile; afterwards it is up again.
  TimerDuringReport report{window, 0};
  SetMessagePresenter(&TimerDuringReport::Show, &report);
  std::vector<std::string> calls;
  idle_hook = [&](PoisonedDialog*) {
    calls.push_back(report.shown ? "during the report" : "first");
    if (calls.size() == 1) {
      Click(window, 22);  // its OnItem fails, and the failure is reported
      SendMessageA(window, WM_TIMER, 1, 0);
    }
    return kOk;
  };
  SendMessageA(window, WM_TIMER, 1, 0);
  SetMessagePresenter(nullptr, nullptr);
  EXPECT_EQ(report.shown, 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "during the report"}))
      << "a timer during the report reaches OnIdle; one after it, while OnIdle runs, does not";
  EXPECT_EQ(dialog->LastStatus(), kSystemResourceUnavailable);

  idle_hook = [](PoisonedDialog* self) {
    self->Close();
    delete self;
    return kOk;
  };
  SendMessageA(window, WM_TIMER, 1, 0);
  idle_hook = nullptr;
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(DeletedDialogMarker(), static_cast<const void*>(dialog));
  EXPECT_EQ(heap.Accesses(), 0) << "a dialog its hook deleted is not touched again";
}

// ---------------------------------------------------------------------------
// Life: drawing layer, modal runs, commands

TEST(Dialog, ClosingLetsGoOfTheDrawingLayer) {
  ProbeDialog modeless(104);
  ASSERT_EQ(modeless.Create(0, nullptr, 0, 0), kOk);
  modeless.FocusDrawing();
  ASSERT_NE(DrawingContext(), nullptr) << "a shown dialog becomes the drawing target";
  modeless.Close();
  EXPECT_EQ(DrawingContext(), nullptr) << "a closed modeless dialog leaves no context behind";

  ProbeDialog modal(100);
  void* during = nullptr;
  modal.on_item = [&](ProbeDialog* d, int16_t) {
    d->FocusDrawing();
    during = DrawingContext();
    d->Close();
  };
  RunDriven(modal, [](HWND window) { Click(window, 10); });
  EXPECT_NE(during, nullptr);
  EXPECT_EQ(DrawingContext(), nullptr) << "a closed modal dialog leaves no context behind";
}

TEST(Dialog, ARunModalIsOneRunWithItsOwnLastStatus) {
  ProbeDialog dialog(100);
  dialog.answers = {{11, kPassedOn}, {12, kCancelled}};
  Status nested = -7;
  bool modal_during_outer_run = false;
  dialog.on_item = [&](ProbeDialog* d, int16_t item) {
    if (item != 11) return;
    nested = d->RunModal(0, nullptr);
    modal_during_outer_run = d->IsModal();
  };
  Status first = RunDriven(dialog, [](HWND window) {
    Click(window, 12);
    Click(window, 11);
  });
  EXPECT_EQ(nested, kOk) << "RunModal on an open dialog does nothing";
  EXPECT_TRUE(modal_during_outer_run) << "a nested RunModal must not drop the modal flag";
  EXPECT_EQ(first, kCancelled) << "the nested call leaves the outer run's last status";

  dialog.window = nullptr;
  Status second = RunDriven(dialog, [](HWND) {});
  EXPECT_EQ(second, kOk) << "a new run starts without the last run's status";

  // After its modal run the object can make a modeless window.
  ASSERT_EQ(dialog.Create(0, nullptr, 0, 0), kOk);
  EXPECT_FALSE(dialog.IsModal());
  EXPECT_NE(dialog.GetWindowHandle(), nullptr);
  dialog.Close();
}

bool Enabled(TDialog& dialog, uint32_t command, uintptr_t data = 0) {
  TPloEvent event;
  event.type = kEventCommand;
  event.command = command;
  event.data = data;
  return dialog.CanHandleCommand(event);
}

TEST(Dialog, CommandsAndWhenTheyAreEnabled) {
  ProbeDialog closable(104), fixed(104);
  fixed.ForbidCloseCommand();
  EXPECT_TRUE(closable.IsCommandEnabled(kCommandOpenDialog)) << "no window yet";
  EXPECT_TRUE(closable.IsCommandEnabled(kCommandRunDialogModally));
  EXPECT_FALSE(closable.IsCommandEnabled(kCommandCloseDialog)) << "nothing to close";
  EXPECT_TRUE(closable.IsCommandEnabled(kCommandHelp));
  EXPECT_TRUE(closable.IsCommandEnabled(kCommandApplyGuiSettings));
  for (uint32_t refused : {301u, 302u, 303u, 304u}) {
    EXPECT_FALSE(closable.IsCommandEnabled(refused)) << refused;
    EXPECT_EQ(SendCommand(&closable, refused, 0), kPassedOn) << refused;
  }
  EXPECT_FALSE(closable.IsCommandEnabled(kCommandFloatingTopmost)) << "as the base object";
  EXPECT_FALSE(closable.IsCommandEnabled(500)) << "as the base object";

  ASSERT_EQ(SendCommand(&closable, kCommandOpenDialog, 0), kOk);
  ASSERT_EQ(SendCommand(&fixed, kCommandOpenDialog, 0), kOk);
  HWND closable_window = static_cast<HWND>(closable.GetWindowHandle());
  HWND fixed_window = static_cast<HWND>(fixed.GetWindowHandle());
  ASSERT_NE(closable_window, nullptr) << "command 403 creates the window";
  ASSERT_NE(fixed_window, nullptr);
  EXPECT_FALSE(closable.IsCommandEnabled(kCommandOpenDialog)) << "the window exists";
  EXPECT_FALSE(closable.IsCommandEnabled(kCommandRunDialogModally));
  EXPECT_TRUE(closable.IsCommandEnabled(kCommandCloseDialog));
  EXPECT_FALSE(fixed.IsCommandEnabled(kCommandCloseDialog)) << "flag 0x20 is clear";
  EXPECT_TRUE(Enabled(fixed, kCommandCloseDialog, kCloseDialogForced)) << "data 210 forces it";
  EXPECT_EQ(SendCommand(&closable, kCommandOpenDialog, 0), kOk);
  EXPECT_EQ(closable.GetWindowHandle(), closable_window) << "403 with a window does nothing";

  EXPECT_EQ(BroadcastCommand(nullptr, kCommandCloseDialog, 0), kOk);
  EXPECT_FALSE(IsWindow(closable_window)) << "a broadcast close closes closable dialogs";
  EXPECT_TRUE(IsWindow(fixed_window)) << "and only them";
  EXPECT_EQ(SendCommand(&fixed, kCommandCloseDialog, kCloseDialogForced), kOk);
  EXPECT_FALSE(IsWindow(fixed_window)) << "data 210 closes any dialog";
  EXPECT_EQ(SendCommand(&fixed, kCommandCloseDialog, kCloseDialogForced), kOk) << "no window: 0";

  // Wine keeps no WS_EX_TOPMOST without a window manager: the dialog's own
  // topmost state is what can be seen.
  ProbeDialog floating(104);
  ASSERT_EQ(floating.Create(kDialogStayOnTop, nullptr, 0, 0), kOk);
  auto topmost = [&] { return floating.Topmost(); };
  EXPECT_TRUE(topmost()) << "a stay-on-top dialog starts topmost";
  EXPECT_EQ(SendCommand(&floating, kCommandFloatingNotTopmost, 0), kOk);
  EXPECT_FALSE(topmost()) << "409 drops it";
  EXPECT_EQ(SendCommand(&floating, kCommandFloatingTopmost, 0), kOk);
  EXPECT_TRUE(topmost()) << "408 raises it again";
  EXPECT_EQ(SendCommand(&floating, kCommandBringDialogToFront, 0), kOk) << "no modal dialog";
  floating.Close();
}

// ---------------------------------------------------------------------------
// Messages: suppression, tracking limits, keys

class RefreshCounter : public TPloObject {
 public:
  Status HandleCommand(TPloEvent&, uint32_t command) override {
    refreshes += command == kCommandRefreshUserInterface;
    return kOk;
  }
  int refreshes = 0;
};

TEST(DialogMessages, AProgrammaticTextChangeNeverReachesOnItem) {
  ProbeDialog dialog(104);
  ASSERT_EQ(dialog.Create(0, nullptr, 0, 0), kOk);
  HWND window = static_cast<HWND>(dialog.GetWindowHandle());
  HWND edit = GetDlgItem(window, 20);
  int changes = 0;
  dialog.on_item = [&](ProbeDialog*, int16_t item) { changes += item == 20; };

  dialog.SetItemText(20, "typed by code", 0);
  char text[32] = "";
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_STREQ(text, "typed by code");
  EXPECT_EQ(changes, 0) << "the edit control's EN_CHANGE came back as user input";

  SendMessageA(window, WM_COMMAND, MAKEWPARAM(20, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
  EXPECT_EQ(changes, 1) << "the same notification from the user reaches OnItem";

  dialog.Suppress();
  LRESULT suppressed = SendMessageA(window, WM_COMMAND, MAKEWPARAM(20, EN_CHANGE),
                                    reinterpret_cast<LPARAM>(edit));
  dialog.Unsuppress();
  EXPECT_EQ(changes, 1) << "nothing reaches the hooks while the counter is raised";
  EXPECT_EQ(suppressed, 0) << "the window procedure answers 0 at once";
  dialog.Suppress();
  EXPECT_EQ(dialog.HandleDialogMessage(WM_COMMAND, MAKEWPARAM(20, EN_CHANGE), 0), 1)
      << "the dialog message handler answers 1 at once";
  dialog.Unsuppress();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(dialog.HandleDialogMessage(WM_COMMAND, MAKEWPARAM(20, EN_CHANGE), 0), 0);
  EXPECT_EQ(changes, 2) << "and once the counter is down, it does again";
  dialog.Close();
}

TEST(DialogMessages, TheTrackingLimitsStayThePlatformsAndThePassedOnRefreshRuns) {
  ProbeDialog dialog(101);
  dialog.SetMaximumSize(300, 200);
  ASSERT_EQ(dialog.Create(0, nullptr, 0, 0), kOk);
  HWND window = static_cast<HWND>(dialog.GetWindowHandle());
  RefreshCounter counter;

  MINMAXINFO info = {};
  info.ptMinTrackSize = POINT{111, 112};
  info.ptMaxTrackSize = POINT{3333, 3334};
  RequestUserInterfaceRefresh();
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 111) << "the dialog's limits are WM_SIZING's business";
  EXPECT_EQ(info.ptMinTrackSize.y, 112);
  EXPECT_EQ(info.ptMaxTrackSize.x, 3333);
  EXPECT_EQ(info.ptMaxTrackSize.y, 3334);
  EXPECT_EQ(counter.refreshes, 1) << "a passed-on message runs the refresh";
  dialog.Close();
}

class KeyDialog : public TDialog {
 public:
  struct Key {
    uint32_t type;
    uint8_t code;
    uintptr_t data;
    bool up;
  };
  Status OnKeyDown(TPloEvent& event) override { return Note(event, false); }
  Status OnKeyUp(TPloEvent& event) override { return Note(event, true); }
  Status Note(const TPloEvent& event, bool up) {
    keys.push_back({event.type, event.key_code, event.data, up});
    return answer;
  }
  std::vector<Key> keys;
  Status answer = kOk;
};

TEST(DialogMessages, HandleKeyTurnsKeyMessagesIntoKeyEvents) {
  KeyDialog dialog;
  EXPECT_EQ(dialog.HandleKey(WM_KEYDOWN, VK_F3), kOk);
  EXPECT_EQ(dialog.HandleKey(WM_SYSKEYDOWN, VK_LEFT), kOk);
  EXPECT_EQ(dialog.HandleKey(WM_CHAR, 'a'), kOk);
  EXPECT_EQ(dialog.HandleKey(WM_CHAR, '\t'), kOk);
  EXPECT_EQ(dialog.HandleKey(WM_KEYUP, VK_TAB), kOk);
  EXPECT_EQ(dialog.HandleKey(WM_SYSKEYUP, 'Q'), kOk);
  EXPECT_EQ(dialog.HandleKey(WM_MOUSEMOVE, VK_TAB), kOk);
  ASSERT_EQ(dialog.keys.size(), 6u) << "other messages reach no hook";
  EXPECT_EQ(dialog.keys[0].code, 24) << "F3";
  EXPECT_FALSE(dialog.keys[0].up);
  EXPECT_EQ(dialog.keys[0].type, static_cast<uint32_t>(kEventKeyDown));
  EXPECT_EQ(dialog.keys[1].code, 14) << "left, also with the system key";
  EXPECT_EQ(dialog.keys[2].code, 0) << "a character is mapped like a key code: 'a' has none";
  EXPECT_EQ(dialog.keys[2].data, static_cast<uintptr_t>('a')) << "the character is the data";
  EXPECT_FALSE(dialog.keys[2].up);
  EXPECT_EQ(dialog.keys[3].code, 34) << "the character 9 maps as the tab key";
  EXPECT_EQ(dialog.keys[4].code, 34);
  EXPECT_TRUE(dialog.keys[4].up);
  EXPECT_EQ(dialog.keys[4].type, static_cast<uint32_t>(kEventKeyUp));
  EXPECT_EQ(dialog.keys[5].code, 0);
  EXPECT_TRUE(dialog.keys[5].up);
  dialog.answer = kRefused;
  EXPECT_EQ(dialog.HandleKey(WM_KEYDOWN, VK_DOWN), kRefused) << "the hook's status comes back";
}

// ---------------------------------------------------------------------------
// Item values by kind

TEST(Dialog, ItemValuesOfButtonsListBoxesComboBoxesAndTrackBars) {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&init);
  ProbeDialog dialog(105);
  ASSERT_EQ(dialog.Create(0, nullptr, 0, 0), kOk);
  HWND window = static_cast<HWND>(dialog.GetWindowHandle());
  HWND list = GetDlgItem(window, 31), across = GetDlgItem(window, 32), upright = GetDlgItem(window, 33);
  ASSERT_NE(across, nullptr) << "track bars need the common controls";
  for (const char* row : {"a", "b", "c"}) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
  SendMessageA(across, TBM_SETRANGE, TRUE, MAKELPARAM(0, 20));
  SendMessageA(upright, TBM_SETRANGE, TRUE, MAKELPARAM(0, 50));

  EXPECT_EQ(dialog.GetItemKind(30), kItemButton);
  EXPECT_EQ(dialog.GetItemKind(33), kItemTrackBar);
  EXPECT_EQ(dialog.GetItemValue(30), BST_UNCHECKED);
  dialog.SetItemValue(30, BST_CHECKED);
  EXPECT_EQ(SendMessageA(GetDlgItem(window, 30), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(dialog.GetItemValue(30), BST_CHECKED);

  EXPECT_EQ(dialog.GetItemValue(31), -1) << "a list box with nothing selected";
  dialog.SetItemValue(31, 2);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(dialog.GetItemValue(31), 2);

  dialog.SetItemValue(32, 7);
  EXPECT_EQ(SendMessageA(across, TBM_GETPOS, 0, 0), 7);
  EXPECT_EQ(dialog.GetItemValue(32), 7);
  dialog.SetItemValue(33, 10);
  EXPECT_EQ(SendMessageA(upright, TBM_GETPOS, 0, 0), 40) << "a vertical bar counts from its top";
  EXPECT_EQ(dialog.GetItemValue(33), 10);
  SendMessageA(upright, TBM_SETPOS, TRUE, 50);
  EXPECT_EQ(dialog.GetItemValue(33), 0) << "the bottom of a vertical bar is 0";
  dialog.Close();

  ProbeDialog items(104);
  ASSERT_EQ(items.Create(0, nullptr, 0, 0), kOk);
  HWND combo = GetDlgItem(static_cast<HWND>(items.GetWindowHandle()), 21);
  for (const char* entry : {"one", "two"}) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  items.SetItemValue(21, 2);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1) << "a combo box's value counts from 1";
  EXPECT_EQ(items.GetItemValue(21), 2);
  items.SetItemValue(6, 3);  // a static item takes no value
  EXPECT_EQ(items.GetItemValue(6), -1);
  items.Close();
  EXPECT_EQ(items.GetItemValue(21), -1) << "no window, no value";
}

// ---------------------------------------------------------------------------
// Failure paths through the executable's imports

HANDLE WINAPI RefuseTempFiles(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model);
decltype(&CreateFileA) real_create_file = nullptr;
std::string refused_folder;

HANDLE WINAPI RefuseTempFiles(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model) {
  if (name && _strnicmp(name, refused_folder.c_str(), refused_folder.size()) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return real_create_file(name, access, share, security, disposition, flags, model);
}

size_t EntriesIn(const std::string& unix_dir) {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testing::SystemPath(unix_dir))) {
    (void)entry;
    ++n;
  }
  return n;
}

TEST_F(DialogInFolder, AFileListEntryGoesThroughATemporaryFileThatIsAlwaysRemoved) {
  std::string temp = dir_ + "/temp";
  std::filesystem::create_directory(testing::SystemPath(temp));
  char old_tmp[MAX_PATH] = "";
  DWORD had_tmp = GetEnvironmentVariableA("TMP", old_tmp, sizeof old_tmp);
  SetEnvironmentVariableA("TMP", testing::SystemPath(temp).c_str());
  char temp_folder[MAX_PATH] = "";
  GetTempPathA(sizeof temp_folder, temp_folder);  // as the temporary names will start

  ProbeDialog dialog(104);
  const FileListEntry entries[] = {{"first", "abc", 3}, {"second", "", 0}};
  FileList list{2, entries};
  TPloEvent event;
  event.type = kEventFileList;
  event.data = reinterpret_cast<uintptr_t>(&list);
  EXPECT_EQ(dialog.HandleEvent(event), kOk);
  ASSERT_EQ(dialog.opened.size(), 2u) << "one OpenFile for each entry";
  EXPECT_EQ(dialog.opened[0].second, "abc") << "the hook reads the entry's data";
  EXPECT_EQ(dialog.opened[1].second, "");
  EXPECT_EQ(EntriesIn(temp), 0u) << "the temporary files are deleted after the hook";

  void* real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateFileA"));
  real_create_file = reinterpret_cast<decltype(real_create_file)>(real);
  refused_folder = temp_folder;
  ASSERT_NE(SwapImport("CreateFileA", reinterpret_cast<void*>(&RefuseTempFiles), real), nullptr);
  dialog.opened.clear();
  Status refused = dialog.HandleEvent(event);
  SwapImport("CreateFileA", real, reinterpret_cast<void*>(&RefuseTempFiles));
  SetEnvironmentVariableA("TMP", had_tmp ? old_tmp : nullptr);

  EXPECT_EQ(refused, -ERROR_ACCESS_DENIED) << "the system's status of the failed open";
  EXPECT_TRUE(dialog.opened.empty()) << "the first failure stops the list";
  EXPECT_EQ(EntriesIn(temp), 0u) << "a temporary file that could not be opened stays behind";
}

BOOL WINAPI FailStretch(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

TEST_F(DialogInFolder, APictureWithoutABitmapReplacesTheOldOneAndAFailedStretchIsReported) {
  WriteTestFile(dir_ + "/old.bmp", TwoColourBitmap(16, 8, {0, 200, 0}, {0, 0, 220}));
  std::filesystem::copy_file(
      testing::SystemPath(testing::DependencySource("libpng1.6-1.6.39/contrib/pngsuite/basn0g08.png")),
      testing::SystemPath(dir_ + "/grey.png"));
  ProbeDialog dialog(104);
  ASSERT_EQ(dialog.Create(0, nullptr, 0, 0), kOk);

  ASSERT_EQ(dialog.SetBackgroundPicture(5, 0, "old", nullptr, false), kOk);
  void* old = dialog.Picture();
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(dialog.SetBackgroundPicture(5, 0, "missing", nullptr, false), kRefused);
  EXPECT_EQ(dialog.Picture(), old) << "a failed load leaves the previous picture";
  EXPECT_EQ(dialog.SetBackgroundPicture(5, 0, "grey", nullptr, true), kOk)
      << "a grey image loads with status 0";
  EXPECT_EQ(dialog.Picture(), nullptr) << "and its missing bitmap becomes the picture";
  BITMAP info;
  EXPECT_EQ(GetObjectA(old, sizeof info, &info), 0) << "the previous bitmap is deleted";

  ASSERT_EQ(dialog.SetBackgroundPicture(5, 0, "old", nullptr, false), kOk);
  Boxes boxes;
  SetMessagePresenter(&Boxes::Record, &boxes);
  void* real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("gdi32.dll"), "StretchBlt"));
  ASSERT_NE(SwapImport("StretchBlt", reinterpret_cast<void*>(&FailStretch), real), nullptr);
  TPloEvent event;
  Status painted = dialog.PaintBackground(&event);
  HWND window = static_cast<HWND>(dialog.GetWindowHandle());
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  SwapImport("StretchBlt", real, reinterpret_cast<void*>(&FailStretch));
  SetMessagePresenter(nullptr, nullptr);
  EXPECT_EQ(painted, -ERROR_INVALID_HANDLE) << "a failed stretch gives the system's status";
  EXPECT_EQ(dialog.LastStatus(), -ERROR_INVALID_HANDLE) << "the paint's status is the dialog's";
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "System error: -6");
  dialog.Close();
}

}  // namespace
}  // namespace lumetra
