#include "loader/tray_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

DisplayView View(int number, WatchState state, const std::string& words, const std::string& profile = "A.icm") {
  DisplayView view;
  view.device_name = "\\\\.\\DISPLAY" + std::to_string(number);
  view.friendly_name = "Display" + std::to_string(number);
  view.profile_name = profile;
  view.profile_path = "C:\\Color\\" + profile;
  view.state = state;
  view.state_words = words;
  return view;
}

TrayState TwoDisplays() {
  TrayState state;
  state.displays = {View(1, WatchState::kWatched, "watched (no restores)"),
                    View(2, WatchState::kYielded, "yielded (since 10:00)", "B.icm")};
  state.profiles = {{"C:\\Color\\a.ICM", "Studio D65 (*)"}, {"C:\\Color\\B.icm", "Office"}, {"C:\\Color\\C.icm", "sRGB"}};
  state.start_at_login = true;
  return state;
}

std::vector<std::string> Texts(const std::vector<TrayMenuItem>& items) {
  std::vector<std::string> texts;
  for (const TrayMenuItem& item : items) texts.push_back(item.kind == TrayMenuItem::Kind::kSeparator ? "-" : item.text);
  return texts;
}

TEST(TrayMenu, ForTwoDisplaysHoldsTheirLinesProfilesAndCommands) {
  std::vector<TrayMenuItem> menu = BuildTrayMenuItems(TwoDisplays());
  const std::vector<std::string> expected = {
      "Display 1 (Display1): A.icm, watched (no restores)",
      "Display 2 (Display2): B.icm, yielded (since 10:00)",
      "-", "Profile for display 1", "Profile for display 2", "-",
      "Load calibration now", "Reset to linear", "Pause for 1 hour", "-",
      "Open Lumetra", "Open log", "-", "Start at login", "Show notifications", "-", "Exit"};
  EXPECT_EQ(Texts(menu), expected);
  EXPECT_FALSE(menu[0].enabled) << "a display's line is not a command";
  EXPECT_TRUE(menu[13].checked);
  EXPECT_TRUE(menu[14].checked);
  EXPECT_EQ(menu[16].command, kTrayExit);

  // Each submenu lists every profile, the one in use checked (paths compare ignoring case).
  for (size_t d = 0; d < 2; ++d) {
    const TrayMenuItem& submenu = menu[3 + d];
    ASSERT_EQ(submenu.kind, TrayMenuItem::Kind::kSubmenu);
    EXPECT_EQ(Texts(submenu.items), (std::vector<std::string>{"Studio D65 (*)", "Office", "sRGB"}));
    for (size_t p = 0; p < 3; ++p) {
      EXPECT_EQ(submenu.items[p].checked, p == d) << d << " " << p;
      size_t display = 99, profile = 99;
      ASSERT_TRUE(DecodeProfileCommand(submenu.items[p].command, &display, &profile));
      EXPECT_EQ(display, d);
      EXPECT_EQ(profile, p);
    }
  }

  TrayState paused = TwoDisplays();
  paused.paused_on_request = true;
  paused.start_at_login = paused.notifications = false;
  menu = BuildTrayMenuItems(paused);
  EXPECT_EQ(menu[8].text, "Resume");
  EXPECT_EQ(menu[8].command, kTrayResume);
  EXPECT_FALSE(menu[13].checked);
  EXPECT_FALSE(menu[14].checked);
}

TEST(TrayMenu, WithoutDisplaysOrProfilesItStillOffersItsCommands) {
  TrayState state;
  EXPECT_EQ(Texts(BuildTrayMenuItems(state)).front(), "No display is watched");
  state.displays = {View(1, WatchState::kNotWatched, "not watched (no vcgt: linear)")};
  std::vector<TrayMenuItem> menu = BuildTrayMenuItems(state);
  ASSERT_EQ(menu[2].kind, TrayMenuItem::Kind::kSubmenu);
  ASSERT_EQ(menu[2].items.size(), 1u);
  EXPECT_FALSE(menu[2].items[0].enabled);
}

TEST(TrayMenu, OnlyProfileCommandsDecode) {
  size_t display = 0, profile = 0;
  for (uint32_t command : {0u, uint32_t{kTrayLoadNow}, uint32_t{kTrayExit}, 999u,
                           uint32_t{kTrayFirstProfile + kTrayMenuDisplays * kTrayProfilesPerDisplay}}) {
    EXPECT_FALSE(DecodeProfileCommand(command, &display, &profile)) << command;
  }
  EXPECT_LE(kTrayFirstProfile + kTrayMenuDisplays * kTrayProfilesPerDisplay, 65536u) << "ids must fit 16 bits";
  ASSERT_TRUE(DecodeProfileCommand(kTrayFirstProfile + 2 * kTrayProfilesPerDisplay + 7, &display, &profile));
  EXPECT_EQ(display, 2u);
  EXPECT_EQ(profile, 7u);
}

TEST(TrayTip, SumsUpOrNamesTheFirstDisplayNotAsIntended) {
  EXPECT_EQ(TrayTip({View(1, WatchState::kWatched, "w"), View(2, WatchState::kWatched, "w")}),
            "Lumetra: 2 displays calibrated");
  EXPECT_EQ(TrayTip({View(1, WatchState::kWatched, "w"), View(2, WatchState::kNotWatched, "n")}),
            "Lumetra: 1 display calibrated, 1 linear");
  EXPECT_FALSE(TrayNeedsWarning({View(1, WatchState::kWatched, "w"), View(2, WatchState::kNotWatched, "n")}));
  const std::vector<DisplayView> mixed = {View(1, WatchState::kWatched, "w"),
                                          View(2, WatchState::kPaused, "paused (while dispcal.exe runs)"),
                                          View(3, WatchState::kNotLoaded, "not loaded (why)")};
  EXPECT_EQ(TrayTip(mixed), "Lumetra: display 2 paused (while dispcal.exe runs)");
  EXPECT_TRUE(TrayNeedsWarning(mixed));
  EXPECT_EQ(TrayTip({}), "Lumetra: no display is watched");
  const std::string long_tip = TrayTip({View(1, WatchState::kNotLoaded, "not loaded (" + std::string(300, 'x') + ")")});
  EXPECT_EQ(long_tip.size(), kLongestTip);
  EXPECT_EQ(long_tip.substr(kLongestTip - 3), "...");
}

TEST(TrayNotifications, OncePerDisplayPerChangeOfState) {
  TrayNotifications notifications;
  DisplayView one = View(1, WatchState::kWatched, "watched (no restores)");
  DisplayView two = View(2, WatchState::kNotLoaded, "not loaded (advanced colour (HDR) is on for this display)");
  std::vector<std::string> notes = notifications.Update({one, two});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "Display 2 not loaded (advanced colour (HDR) is on for this display).");
  EXPECT_TRUE(notifications.Update({one, two}).empty()) << "the same state told twice";

  one.state_words = "watched (1 restore, the last at 10:00)";  // restores are routine
  EXPECT_TRUE(notifications.Update({one, two}).empty());
  one.state = WatchState::kYielded;
  notes = notifications.Update({one, two});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("Display 1 is left to another program"), std::string::npos) << notes[0];

  one.state = WatchState::kPaused;  // asked for: no notification
  EXPECT_TRUE(notifications.Update({one, two}).empty());
  one.pausing_program = "dispcal.exe";
  notes = notifications.Update({one, two});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "Display 1 is not restored while dispcal.exe runs.");

  one.state = WatchState::kWatched;
  one.pausing_program.clear();
  EXPECT_TRUE(notifications.Update({one, two}).empty());
  one.state = WatchState::kYielded;
  EXPECT_EQ(notifications.Update({one, two}).size(), 1u) << "a second yield after watching again is told again";
}

}  // namespace
}  // namespace lumetra
