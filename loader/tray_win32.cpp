#include "loader/tray.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <new>

namespace lumetra {

namespace {

constexpr UINT kIconId = 1;
constexpr WORD kIconResource = 1;
constexpr WORD kWarningIconResource = 2;
constexpr size_t kLongestMenuText = 1024;

// Menus take "&" as the mark of the next letter's key.
std::string MenuText(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '&') shown += '&';
    shown += c;
  }
  return shown;
}

bool Fill(HMENU menu, const std::vector<TrayMenuItem>& items) {
  for (const TrayMenuItem& item : items) {
    const std::string text = MenuText(item.text);
    BOOL added = FALSE;
    switch (item.kind) {
      case TrayMenuItem::Kind::kSeparator:
        added = AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        break;
      case TrayMenuItem::Kind::kSubmenu: {
        HMENU submenu = CreatePopupMenu();
        if (!submenu) return false;
        if (!Fill(submenu, item.items) ||
            !AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu), text.c_str())) {
          DestroyMenu(submenu);
          return false;
        }
        added = TRUE;
        break;
      }
      case TrayMenuItem::Kind::kLine:
      case TrayMenuItem::Kind::kCommand:
        added = AppendMenuA(menu,
                            MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED) | (item.checked ? MF_CHECKED : 0),
                            item.command, text.c_str());
        break;
    }
    if (!added) return false;
  }
  return true;
}

void Describe(HMENU menu, const std::string& indent, std::vector<std::string>* lines) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[kLongestMenuText] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof(text) - 1;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    if (info.fType & MFT_SEPARATOR) {
      lines->push_back(indent + "-");
    } else if (info.hSubMenu) {
      lines->push_back(indent + text + " >");
      Describe(info.hSubMenu, indent + "  ", lines);
    } else {
      std::string line = indent + "#" + std::to_string(info.wID) + " ";
      if (info.fState & MFS_CHECKED) line += "[x] ";
      if (info.fState & MFS_DISABLED) line += "(disabled) ";
      lines->push_back(line + text);
    }
  }
}

// Copies `text` into a fixed field of the shell's record, cut to fit.
template <size_t N>
void CopyField(char (&field)[N], const std::string& text) {
  const size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

HICON LoadIconResource(bool warning) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                       MAKEINTRESOURCEA(warning ? kWarningIconResource : kIconResource), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

}  // namespace

void* CreateTrayPopupMenu(const std::vector<TrayMenuItem>& items) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  bool filled = false;
  try {
    filled = Fill(menu, items);
  } catch (const std::bad_alloc&) {
  }
  if (!filled) {
    DestroyMenu(menu);
    return nullptr;
  }
  return menu;
}

std::vector<std::string> DescribeMenu(void* menu) {
  std::vector<std::string> lines;
  if (menu) Describe(static_cast<HMENU>(menu), std::string(), &lines);
  return lines;
}

NotificationIcon::~NotificationIcon() { Remove(); }

bool NotificationIcon::Add(void* window, unsigned callback_message, bool warning, const std::string& tip) {
  window_ = window;
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = static_cast<HWND>(window);
  data.uID = kIconId;
  data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  data.uCallbackMessage = callback_message;
  data.hIcon = LoadIconResource(warning);  // shared: never destroyed
  CopyField(data.szTip, tip);
  // After a shell restart the old icon is gone and NIM_ADD is right again;
  // a shell that kept it refuses the add, and takes it after a delete.
  added_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
  if (!added_) {
    Shell_NotifyIconA(NIM_DELETE, &data);
    added_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
  }
  warning_ = warning;
  tip_ = tip;
  return added_;
}

void NotificationIcon::Show(bool warning, const std::string& tip) {
  if (!added_ || (warning == warning_ && tip == tip_)) return;
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = static_cast<HWND>(window_);
  data.uID = kIconId;
  data.uFlags = NIF_ICON | NIF_TIP;
  data.hIcon = LoadIconResource(warning);
  CopyField(data.szTip, tip);
  if (Shell_NotifyIconA(NIM_MODIFY, &data)) {
    warning_ = warning;
    tip_ = tip;
  }
}

bool NotificationIcon::Notify(const std::string& title, const std::string& text) {
  if (!added_) return false;
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = static_cast<HWND>(window_);
  data.uID = kIconId;
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = NIIF_WARNING;
  CopyField(data.szInfoTitle, title);
  CopyField(data.szInfo, text);
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void NotificationIcon::Remove() {
  if (!added_) return;
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = static_cast<HWND>(window_);
  data.uID = kIconId;
  Shell_NotifyIconA(NIM_DELETE, &data);
  added_ = false;
}

}  // namespace lumetra
