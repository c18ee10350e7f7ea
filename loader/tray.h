// The watcher's notification-area icon and its popup menu on Windows: the
// portable menu items made into a menu (and read back as text, for tests and
// support), the icon added, changed, removed and its balloons. Windows only.
#pragma once

#include <string>
#include <vector>

#include "loader/tray_menu.h"

namespace lumetra {

// A popup menu of the items ("&" shown as itself); null when the system
// refuses one. The caller destroys it (DestroyMenu), submenus with it.
void* CreateTrayPopupMenu(const std::vector<TrayMenuItem>& items);

// The menu as the system holds it, one line per item, submenus indented by
// two spaces: "#7 [x] Start at login", "#0 (disabled) Display 1 ...",
// "Profile for display 2 >", "-" for a separator.
std::vector<std::string> DescribeMenu(void* menu);

// The icon of one watcher window; removed when destroyed.
class NotificationIcon {
 public:
  NotificationIcon() = default;
  ~NotificationIcon();
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  // Adds the icon for `window` (an HWND), whose `callback_message` then
  // carries the mouse's messages; also after the shell restarted. Whether the
  // shell took it.
  bool Add(void* window, unsigned callback_message, bool warning, const std::string& tip);
  // Changes the picture and the tip when they changed.
  void Show(bool warning, const std::string& tip);
  // A balloon; whether the shell took it.
  bool Notify(const std::string& title, const std::string& text);
  void Remove();

 private:
  void* window_ = nullptr;
  bool added_ = false;
  bool warning_ = false;
  std::string tip_;
};

}  // namespace lumetra
