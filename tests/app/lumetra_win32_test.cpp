// The program from the outside: lumetra.exe started in the test bed, its
// dialog found and driven with the messages a user's actions produce, its
// effects read back from the registry and the graphics card.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "app/color_management.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"
#include "tests/testing/test_bed_win32.h"

namespace lumetra {
namespace {

using testing::DescTagData;
using testing::IccBuilder;
using testing::MlucTagData;
using testing::AtServerPrecision;
using testing::CardRamp;
using testing::ClearAssociations;

constexpr char kAssociations[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ICM\\mntr";
constexpr char kSettingsKey[] = "Software\\Pelo\\Lumetra\\Framework";
constexpr char kBoxText[] =
    "This profile contains a vcgt tag, but I could not activate it, because I don't "
    "understand it (see list of known bugs).";
constexpr DWORD kWaitMs = 10000;

// Our profiles sort together, after whatever other suites left in the
// colour directory under their own names.
const char* const kRealV4 = "lumetra-e2e-a.icm";      // colord Gamma5000K: "D50", 16-bit vcgt
const char* const kRealV2 = "lumetra-e2e-b.icm";      // compatibleWithAdobeRGB1998, no vcgt
const char* const kTable8 = "lumetra-e2e-c.icm";      // 8-bit vcgt
const char* const kTable16 = "lumetra-e2e-d.icm";     // 16-bit vcgt
const char* const kPlain = "lumetra-e2e-e.icm";       // no vcgt
const char* const kFormula = "lumetra-e2e-f.icm";     // vcgt of the formula type
const char* const kNoDesc = "lumetra-e2e-g.icm";      // vcgt, no description
const char* const kUnreadable = "lumetra-e2e-h.icm";  // declares more bytes than it has
const char* const kUnlisted = "lumetra-e2e-0.icc";    // not an .icm name: never listed

// A monotone curve from 0 to `top` that Wine's gamma ramp checks accept.
uint16_t Curve(int i, double gamma, double top) {
  return static_cast<uint16_t>(std::lround(top * std::pow(i / 255.0, 1.0 / gamma)));
}

std::vector<uint16_t> Table(double top) {
  std::vector<uint16_t> values;
  for (double gamma : {1.8, 2.0, 2.2})
    for (int i = 0; i < 256; ++i) values.push_back(Curve(i, gamma, top));
  return values;
}

std::vector<uint8_t> Profile(const char* description, const std::vector<uint8_t>& vcgt) {
  IccBuilder builder;
  if (description) builder.AddTag(Signature("desc"), DescTagData(description));
  if (!vcgt.empty()) builder.AddTag(Signature("vcgt"), vcgt);
  return builder.Build();
}

std::string Wide8(const std::wstring& text) {
  char buffer[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

bool HasValue(HKEY root, const char* path, const char* name) {
  return RegGetValueA(root, path, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void Associate(const char* file_name) {
  ASSERT_TRUE(testing::AssociateWithFirstMonitor(file_name)) << file_name;
}

HWND WaitForDialog(DWORD process, HWND except, DWORD ms = kWaitMs) {
  return static_cast<HWND>(testing::WaitForDialog(process, except, ms));
}

struct ToolTipSearch {
  HWND dialog;
  HWND tip;
};

BOOL CALLBACK FindToolTip(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ToolTipSearch*>(context);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (GetWindow(window, GW_OWNER) != search->dialog || lstrcmpiA(name, TOOLTIPS_CLASSA) != 0) return TRUE;
  search->tip = window;
  return FALSE;
}

// The dialog's tool tip window: a tool tip popup the dialog owns.
HWND ToolTipOf(HWND dialog) {
  ToolTipSearch search = {dialog, nullptr};
  EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), FindToolTip, reinterpret_cast<LPARAM>(&search));
  return search.tip;
}

std::string WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return Wide8(text);
}

// One run of the program.
class Program {
 public:
  // Started in `folder` when one is given: the program reads its language file
  // from its working folder.
  explicit Program(const std::string& folder = std::string()) {
    std::string exe = testing::BinaryPath("app/lumetra.exe");
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    started_ = CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &startup, &process_) != FALSE;
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  bool Started() const { return started_; }
  DWORD Id() const { return process_.dwProcessId; }

  HWND WaitForWindow() {
    dialog_ = WaitForDialog(process_.dwProcessId, nullptr);
    return dialog_;
  }
  HWND List() const { return GetDlgItem(dialog_, 3); }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    LRESULT count = SendMessageW(List(), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      // Read as UTF-16: Wine hands another process's ANSI list text over unconverted.
      wchar_t text[1024] = {};
      if (SendMessageW(List(), LB_GETTEXTLEN, i, 0) < 1024) SendMessageW(List(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      lines.push_back(Wide8(text));
    }
    return lines;
  }
  int Selected() const { return static_cast<int>(SendMessageW(List(), LB_GETCURSEL, 0, 0)); }
  int RowOf(const std::string& line) const {
    std::vector<std::string> lines = Lines();
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i] == line) return static_cast<int>(i);
    return -1;
  }

  // A click on a line: the list box moves its selection and tells the dialog.
  void Select(int row, bool expect_box = false) {
    SendMessageW(List(), LB_SETCURSEL, row, 0);
    WPARAM command = MAKEWPARAM(3, LBN_SELCHANGE);
    if (expect_box) {
      SendNotifyMessageW(dialog_, WM_COMMAND, command, reinterpret_cast<LPARAM>(List()));
    } else {
      DWORD_PTR result;
      EXPECT_TRUE(SendMessageTimeoutW(dialog_, WM_COMMAND, command, reinterpret_cast<LPARAM>(List()),
                                      SMTO_NORMAL, kWaitMs, &result))
          << "the selection did not come back: a box is waiting for an answer";
    }
  }
  HWND Box(DWORD ms) const { return WaitForDialog(process_.dwProcessId, dialog_, ms); }

  void MoveTo(int x, int y) {
    SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD_PTR result;
    SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result);
  }

  // The close box.
  void Close() { PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

  // The exit code, or -1 when the program did not end in time.
  int WaitForExit(DWORD ms = kWaitMs) {
    if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
  HWND dialog_ = nullptr;
};

class LumetraProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char directory[256] = {};
    uint32_t size = 254;
    ASSERT_EQ(BindColorManagement(), 0);
    ASSERT_TRUE(CmsGetColorDirectory(nullptr, directory, &size));
    directory_ = std::string(directory) + "\\";

    auto install_real = [](const char* source, const char* name) {
      ASSERT_TRUE(CopyFileA(testing::SystemPath(source).c_str(), (directory_ + name).c_str(), FALSE)) << source;
    };
    install_real("/usr/share/color/icc/colord/Gamma5000K.icc", kRealV4);
    install_real("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc", kRealV2);
    auto install = [](const char* name, const std::vector<uint8_t>& bytes) {
      ASSERT_TRUE(testing::WriteFileBytes(directory_ + name, bytes)) << name;
    };
    install(kTable8, Profile("Lumetra test 8-bit", testing::VcgtTableTagData(3, 256, 1, Table(255))));
    install(kTable16, Profile("Lumetra test 16-bit", testing::VcgtTableTagData(3, 256, 2, Table(65535))));
    install(kPlain, Profile("Lumetra test plain", {}));
    const double gamma[3] = {2.2, 2.2, 2.2}, low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    install(kFormula, Profile("Lumetra test formula", testing::VcgtFormulaTagData(gamma, low, high)));
    install(kNoDesc, Profile(nullptr, testing::VcgtTableTagData(3, 256, 2, Table(65535))));
    IccBuilder long_one;
    long_one.AddTag(Signature("desc"), DescTagData("never shown"));
    long_one.declared_size = static_cast<uint32_t>(long_one.Build().size() + 1000);
    install(kUnreadable, long_one.Build());
    install(kUnlisted, Profile("Lumetra test unlisted", {}));

    saved_ramp_ = CardRamp();
  }

  static void TearDownTestSuite() {
    ClearAssociations();
    for (const char* name : {kRealV4, kRealV2, kTable8, kTable16, kPlain, kFormula, kNoDesc, kUnreadable, kUnlisted})
      DeleteFileA((directory_ + name).c_str());
    testing::SetCardRamp(saved_ramp_);
  }

  void SetUp() override { ClearAssociations(); }

  static inline std::string directory_;
  static inline std::vector<uint16_t> saved_ramp_;
};

TEST_F(LumetraProgram, ListsEveryMonitorProfileAndSelectsTheOneTheSystemReports) {
  Associate(kTable16);
  Program program;
  ASSERT_TRUE(program.Started());
  HWND dialog = program.WaitForWindow();
  ASSERT_TRUE(dialog) << "no dialog appeared";
  EXPECT_EQ(WindowText(dialog), "Lumetra");

  // Our profiles come in one run of lines, in the enumeration's order (by
  // name), among whatever else the colour directory holds.
  std::vector<std::string> lines = program.Lines();
  const std::vector<std::string> ours = {
      "D50 (*)", "Compatible with Adobe RGB (1998)", "Lumetra test 8-bit (*)", "Lumetra test 16-bit (*)",
      "Lumetra test plain", "Lumetra test formula (*)", std::string(kNoDesc) + " (*)", kUnreadable};
  EXPECT_NE(std::search(lines.begin(), lines.end(), ours.begin(), ours.end()), lines.end())
      << ::testing::PrintToString(lines);
  EXPECT_EQ(program.RowOf("Lumetra test unlisted"), -1);

  EXPECT_EQ(program.Selected(), program.RowOf("Lumetra test 16-bit (*)"));

  // Only the list and the legend are seen.
  EXPECT_TRUE(IsWindowVisible(program.List()));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 5)));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 5)), "(*) Contains gamma table tag");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 4)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 6)));

  // The list joins the dialog's tool tip once its lines are in, and only it.
  HWND tip = ToolTipOf(dialog);
  ASSERT_TRUE(tip) << "the dialog has no tool tip window";
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);

  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, SelectsNothingWhenTheReportedProfileIsNotListed) {
  Associate(kUnlisted);
  Program program;
  ASSERT_TRUE(program.WaitForWindow());
  EXPECT_EQ(program.Selected(), -1);
  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, TheCancelKeyEndsTheProgram) {
  Program program;
  HWND dialog = program.WaitForWindow();
  ASSERT_TRUE(dialog);
  PostMessageW(program.List(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, TheReportedProfileIsFoundWhateverTheCaseOfItsName) {
  std::string shouted = kTable8;
  std::transform(shouted.begin(), shouted.end(), shouted.begin(), ::toupper);
  Associate(shouted.c_str());
  Program program;
  ASSERT_TRUE(program.WaitForWindow());
  EXPECT_EQ(program.Selected(), program.RowOf("Lumetra test 8-bit (*)"));
  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, SelectionAssociatesTheProfileAndLoadsItsGammaTable) {
  Program program;
  ASSERT_TRUE(program.WaitForWindow());

  program.Select(program.RowOf("Lumetra test 8-bit (*)"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kTable8));
  // 8-bit entries are loaded as value * 256; the server keeps the high byte
  // and reads it back as value * 257.
  std::vector<uint16_t> loaded8;
  for (uint16_t v : Table(255)) loaded8.push_back(static_cast<uint16_t>(v << 8));
  EXPECT_EQ(CardRamp(), AtServerPrecision(loaded8));

  program.Select(program.RowOf("Lumetra test 16-bit (*)"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kTable16));
  std::vector<uint16_t> loaded = CardRamp();
  EXPECT_EQ(loaded, AtServerPrecision(Table(65535)));

  // No table: associated, nothing shown, the card left alone.
  program.Select(program.RowOf("Lumetra test plain"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kPlain));
  EXPECT_EQ(program.Box(300), nullptr);
  EXPECT_EQ(CardRamp(), loaded);

  // A table of the formula type: associated, and the box says so once.
  program.Select(program.RowOf("Lumetra test formula (*)"), true);
  HWND box = program.Box(kWaitMs);
  ASSERT_TRUE(box) << "no information box";
  EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), kBoxText);
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kFormula));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(program.Box(300), nullptr) << "the box came twice";
  EXPECT_EQ(CardRamp(), loaded);

  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, TheProfileActivatedOnAMonitorIsSelectedAgainOnReturn) {
  // The system goes on reporting A, the first association, for both monitors.
  Associate(kTable8);
  Program program;
  ASSERT_TRUE(program.WaitForWindow());
  const int a = program.RowOf("Lumetra test 8-bit (*)");
  const int b = program.RowOf("Lumetra test plain");
  ASSERT_EQ(program.Selected(), a);
  program.Select(b);
  ASSERT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kPlain));

  program.MoveTo(2200, 100);  // the second monitor, 1920 pixels to the right
  EXPECT_EQ(program.Selected(), a);
  program.MoveTo(300, 200);
  EXPECT_EQ(program.Selected(), b);

  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

// The system goes on reporting A (the first association by name) for both
// monitors; each screen keeps the mark of the profile last activated on it.
TEST_F(LumetraProgram, MarksBelongToTheScreenTheyWereMadeOn) {
  Associate(kTable8);
  Program program;
  ASSERT_TRUE(program.WaitForWindow());
  const int a = program.RowOf("Lumetra test 8-bit (*)");
  const int b = program.RowOf("Lumetra test plain");
  const int c = program.RowOf("Lumetra test 16-bit (*)");
  const int d = program.RowOf(std::string(kNoDesc) + " (*)");
  ASSERT_TRUE(a >= 0 && b >= 0 && c >= 0 && d >= 0);
  const int first_screen_x = 300, second_screen_x = 2200;

  program.Select(b);  // marked on screen 0
  program.MoveTo(second_screen_x, 100);
  EXPECT_EQ(program.Selected(), a) << "screen 1 has no mark yet: the system's profile";
  program.Select(c);  // marked on screen 1
  program.MoveTo(first_screen_x, 200);
  EXPECT_EQ(program.Selected(), b);

  program.Select(d);  // on screen 0: replaces b's mark there, leaves screen 1's
  program.MoveTo(second_screen_x, 100);
  EXPECT_EQ(program.Selected(), c) << "an activation on screen 0 cleared screen 1's mark";

  // A selection change that leaves nothing selected clears the marks of the
  // dialog's screen only.
  program.Select(-1);
  EXPECT_EQ(program.Selected(), -1);
  program.MoveTo(first_screen_x, 200);
  EXPECT_EQ(program.Selected(), d) << "clearing on screen 1 took screen 0's mark";
  program.MoveTo(second_screen_x, 100);
  EXPECT_EQ(program.Selected(), a) << "screen 1's mark survived a selection of nothing";

  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, AProfileThatCannotBeOpenedIsReportedAndLoadsNothing) {
  std::vector<uint16_t> before = CardRamp();
  Program program(testing::SourcePath("data"));  // where the language file lies
  ASSERT_TRUE(program.WaitForWindow());
  program.Select(program.RowOf(kUnreadable), true);
  HWND box = program.Box(kWaitMs);
  ASSERT_TRUE(box) << "no report";
  const std::string text = WindowText(GetDlgItem(box, 0xFFFF));
  EXPECT_EQ(text, "The colour profile is shorter than its header says (Error 5012)");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kUnreadable)) << "the association is made first";
  EXPECT_EQ(CardRamp(), before) << "the card was touched";
  program.Close();
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(LumetraProgram, OneCopyRunsAtATimeAndTheSettingsKeyIsRewrittenAtExit) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  // A binary value is not part of the settings: only a rewrite removes it.
  const BYTE stale[2] = {1, 2};
  RegSetValueExA(key, "Stale", 0, REG_BINARY, stale, sizeof(stale));
  RegSetValueExA(key, "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4);
  RegCloseKey(key);

  Program first;
  HWND dialog = first.WaitForWindow();
  ASSERT_TRUE(dialog);
  {
    Program second;
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_EQ(WaitForDialog(second.Id(), nullptr, 0), nullptr);
  }
  EXPECT_TRUE(IsWindowVisible(dialog)) << "the first copy goes on";
  EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, kSettingsKey, "Stale")) << "the second copy wrote nothing";
  first.Close();
  EXPECT_EQ(first.WaitForExit(), 0);

  EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, kSettingsKey, "Kept"));
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kSettingsKey, "Stale"));

  Program third;
  ASSERT_TRUE(third.WaitForWindow()) << "a start after the first copy ended runs normally";
  third.Close();
  EXPECT_EQ(third.WaitForExit(), 0);
}

}  // namespace
}  // namespace lumetra
