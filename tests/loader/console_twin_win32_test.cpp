// lumetra-loader.com, the loader's console twin, as a script meets it: run by
// cmd for "lumetra-loader" (the .com before the .exe of the same folder),
// waited for, its report before the next line and its exit code in
// %ERRORLEVEL%; redirected to a file byte for byte; /watch handing the watcher
// to the GUI program and returning. Also the twin in a folder named outside
// the ANSI code page, and the login registration read back as the menu does.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "icc/calibration_curves.h"
#include "icc/profile.h"
#include "loader/loader_program.h"
#include "loader/loader_system.h"
#include "tests/testing/paths.h"
#include "tests/testing/test_bed_win32.h"

namespace lumetra {
namespace {

using Words = std::vector<uint16_t>;
using testing::AtServerPrecision;
using testing::CardRamp;
using testing::SetCardRamp;

constexpr wchar_t kRunKeyW[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValueW[] = L"Lumetra Loader";
constexpr char kWatcherClass[] = "LumetraLoaderWatcher";
constexpr DWORD kWaitMs = 20000;
const char* const kCalibration = "lumetra-twin-a.icm";  // colord Gamma5000K, 16-bit vcgt

std::string LoaderFolder() { return testing::BinaryPath("loader"); }

std::string ReadText(const std::string& path) { return testing::ReadFileText(path); }

std::vector<std::string> LinesOf(const std::string& text) { return testing::TextLines(text); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::wstring LowerWide(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
  return text;
}

std::wstring Wide(const std::string& ansi) {
  wchar_t buffer[2048] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buffer, 2048);
  return buffer;
}

// The HKCU Run value as text; "(none)" when there is none.
std::wstring RunValue() {
  wchar_t value[1024] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKeyW, kRunValueW, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"(none)";
  return value;
}

void SetRunValue(const std::wstring& value) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRunKeyW, kRunValueW, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

struct Finished {
  int code;            // -1 when the process did not end in time
  std::string output;  // what it wrote to its standard output and error
  DWORD ms;            // from its start to its end
};

// Runs a command line with standard output and error going to a new file,
// in `folder`, and waits for it.
Finished RunCommand(const std::wstring& command_line, const std::wstring& folder) {
  static int runs = 0;
  const std::string output_path =
      testing::SystemPath(testing::ScratchDir("twin") + "/run" + std::to_string(++runs) + ".txt");
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE output = CreateFileA(output_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring command = command_line;
  PROCESS_INFORMATION process{};
  const DWORD start = GetTickCount();
  const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                      &startup, &process);
  CloseHandle(output);
  if (!started) {
    ADD_FAILURE() << "cannot start the command: error " << GetLastError();
    return {-1, "", 0};
  }
  Finished finished{-1, "", 0};
  if (WaitForSingleObject(process.hProcess, kWaitMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    finished.code = static_cast<int>(code);
  } else {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, kWaitMs);
  }
  finished.ms = GetTickCount() - start;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  finished.output = ReadText(output_path);
  // Nothing started inside keeps the output file open (the watcher inherits
  // no handles): it can be opened for writing with no sharing at all.
  HANDLE alone = CreateFileA(output_path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (alone == INVALID_HANDLE_VALUE) finished.output += "\n(the output file is still held open)";
  else CloseHandle(alone);
  return finished;
}

// Runs these lines as a batch file through cmd in the loader's build folder,
// where "lumetra-loader" names both the .exe and the .com.
Finished RunBatch(const std::vector<std::string>& lines) {
  static int batches = 0;
  const std::string path =
      testing::SystemPath(testing::ScratchDir("twin") + "/script" + std::to_string(++batches) + ".cmd");
  {
    std::ofstream script(path, std::ios::binary);
    script << "@echo off\r\n";
    for (const std::string& line : lines) script << line << "\r\n";
  }
  return RunCommand(L"cmd.exe /c " + Wide(path), Wide(LoaderFolder()));
}

HWND WatcherWindow() { return FindWindowA(kWatcherClass, nullptr); }

DWORD WatcherProcess() {
  DWORD process = 0;
  if (HWND window = WatcherWindow()) GetWindowThreadProcessId(window, &process);
  return process;
}

std::wstring ImageOf(DWORD process_id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  wchar_t path[1024] = {};
  DWORD size = 1024;
  BOOL read = process && QueryFullProcessImageNameW(process, 0, path, &size);
  if (process) CloseHandle(process);
  return read ? path : L"";
}

bool Running(DWORD process_id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (!process) return false;
  bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

bool WaitForWatcherToEnd(DWORD process_id) {
  for (DWORD waited = 0; waited < 5000; waited += 50) {
    if (!Running(process_id)) return true;
    Sleep(50);
  }
  return false;
}

class ConsoleTwin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string colours = testing::ColorDirectory();
    ASSERT_FALSE(colours.empty());
    const std::string real = "/usr/share/color/icc/colord/Gamma5000K.icc";
    ASSERT_TRUE(testing::UnixFileExists(real)) << real << " is missing: install colord-data";
    ASSERT_TRUE(CopyFileA(testing::SystemPath(real).c_str(), (colours + kCalibration).c_str(), FALSE));
    saved_ramp_ = CardRamp();
    saved_run_value_ = RunValue();
    char saved[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", saved, MAX_PATH);
    saved_local_app_data_ = length > 0 && length < MAX_PATH ? saved : "";
    // The watchers started here log into a folder of their own.
    SetEnvironmentVariableA("LOCALAPPDATA", testing::SystemPath(testing::ScratchDir("twin-home")).c_str());
  }

  static void TearDownTestSuite() {
    SetEnvironmentVariableA("LOCALAPPDATA", saved_local_app_data_.empty() ? nullptr : saved_local_app_data_.c_str());
    testing::ClearAssociations();
    DeleteFileA((testing::ColorDirectory() + kCalibration).c_str());
    if (saved_ramp_.size() == 768) SetCardRamp(saved_ramp_);
    if (saved_run_value_ == L"(none)") RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKeyW, kRunValueW);
    else SetRunValue(saved_run_value_);
  }

  void SetUp() override {
    testing::ClearAssociations();
    ASSERT_TRUE(testing::AssociateWithFirstMonitor(kCalibration));
    ASSERT_TRUE(SetCardRamp(testing::IdentityRamp()));
  }

  void TearDown() override {
    // A watcher a failed case left running would outlive the suite.
    if (DWORD process = WatcherProcess()) {
      PostMessageA(WatcherWindow(), WM_CLOSE, 0, 0);
      WaitForWatcherToEnd(process);
    }
  }

  static Words Calibrated() {
    const std::string path = testing::ColorDirectory() + kCalibration;
    char reference[kFileReferenceSize] = {};
    path.copy(reference, sizeof(reference) - 1);
    IccProfile* profile = nullptr;
    if (OpenProfile(&profile, reference) != kOk) return {};
    GammaRamp ramp{};
    Status status = DecodeProfileCalibration(profile, &ramp);
    CloseProfile(profile);
    if (status != kOk) return {};
    return AtServerPrecision(Words(&ramp.table[0][0], &ramp.table[0][0] + 768));
  }

  static inline Words saved_ramp_;
  static inline std::wstring saved_run_value_;
  static inline std::string saved_local_app_data_;
};

// The card holds the linear ramp, so /verify finds both displays different
// (1) until a load (0).
TEST_F(ConsoleTwin, CmdWaitsForTheReportAndGetsTheExitCode) {
  Finished run = RunBatch({
      "setlocal EnableDelayedExpansion",
      // The form; delayed expansion, since cmd expands %ERRORLEVEL%
      // when it reads the line, before the first command runs.
      "lumetra-loader /verify & echo exit code !ERRORLEVEL!",
      "lumetra-loader & echo exit code !ERRORLEVEL!",
      "lumetra-loader /verify",
      "echo exit code %ERRORLEVEL%",
      "lumetra-loader /display 0",
      "echo exit code %ERRORLEVEL%",
  });
  EXPECT_EQ(run.code, 2) << "cmd ends with the last exit code; " << run.output;
  std::vector<std::string> lines = LinesOf(run.output);
  const std::string calibration = std::string("  ") + kCalibration + "  ";
  ASSERT_GE(lines.size(), 12u) << run.output;
  EXPECT_EQ(lines[0].rfind("\\\\.\\DISPLAY1" + calibration + "differs from its profile, largest difference ", 0), 0u)
      << run.output;
  EXPECT_EQ(lines[1].rfind("\\\\.\\DISPLAY2" + calibration + "differs from its profile", 0), 0u) << run.output;
  EXPECT_EQ(lines[2], "exit code 1") << "the report, then the exit code; " << run.output;
  EXPECT_EQ(lines[3], "\\\\.\\DISPLAY1" + calibration + "calibration loaded, verified") << run.output;
  EXPECT_EQ(lines[4], "\\\\.\\DISPLAY2" + calibration + "calibration loaded, verified") << run.output;
  EXPECT_EQ(lines[5], "exit code 0") << run.output;
  EXPECT_TRUE(Contains(lines[6], "matches its profile")) << run.output;
  EXPECT_TRUE(Contains(lines[7], "matches its profile")) << run.output;
  EXPECT_EQ(lines[8], "exit code 0") << run.output;
  EXPECT_EQ(lines[9], "not understood: /display 0") << run.output;
  EXPECT_EQ(lines.back(), "exit code 2") << "bad arguments; " << run.output;
  EXPECT_EQ(CardRamp(), Calibrated());
}

TEST_F(ConsoleTwin, ARedirectedReportGoesToTheFileByteForByte) {
  const std::string file = testing::SystemPath(testing::ScratchDir("twin") + "/report.txt");
  DeleteFileA(file.c_str());
  Finished run = RunBatch({"lumetra-loader /verify > \"" + file + "\"", "echo exit code %ERRORLEVEL%",
                           "lumetra-loader /verify /quiet >> \"" + file + "\"", "echo exit code %ERRORLEVEL%"});
  EXPECT_EQ(run.output, "exit code 1\r\nexit code 1\r\n") << "only cmd's own lines reach its output";
  const std::string report = ReadText(file);
  std::vector<std::string> lines = LinesOf(report);
  ASSERT_EQ(lines.size(), 2u) << report;
  EXPECT_TRUE(Contains(lines[0], std::string(kCalibration) + "  differs from its profile")) << report;
  // CR LF line ends, nothing before, between or after.
  EXPECT_EQ(report, lines[0] + "\r\n" + lines[1] + "\r\n");
}

TEST_F(ConsoleTwin, WatchHandsTheWatcherToTheGuiProgramAndReturnsAtOnce) {
  ASSERT_EQ(WatcherWindow(), nullptr) << "a watcher runs already";
  Finished run = RunBatch({"lumetra-loader /watch", "echo exit code %ERRORLEVEL%"});
  EXPECT_EQ(run.code, 0) << run.output;
  std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  EXPECT_EQ(lines[0].rfind("watcher started in the background (lumetra-loader.exe, process ", 0), 0u) << run.output;
  EXPECT_EQ(lines[1], "exit code 0");
  // A twin that ran the watcher itself would hold cmd until /stop.
  EXPECT_LT(run.ms, 8000u) << "cmd waited " << run.ms << " ms";

  const DWORD watcher = WatcherProcess();
  ASSERT_NE(watcher, 0u) << "no watcher runs";
  EXPECT_EQ(LowerWide(ImageOf(watcher)), LowerWide(Wide(LoaderFolder()) + L"\\lumetra-loader.exe"))
      << "the watcher is the GUI program";
  EXPECT_TRUE(Contains(lines[0], "process " + std::to_string(watcher) + ")")) << run.output;
  Sleep(1000);
  EXPECT_TRUE(Running(watcher)) << "the watcher ended with the console that started it";
  EXPECT_EQ(CardRamp(), Calibrated()) << "the watcher loaded every display";
  SetCardRamp(testing::IdentityRamp());  // another program's ramp
  for (DWORD waited = 0; CardRamp() != Calibrated() && waited < 5000; waited += 50) Sleep(50);
  EXPECT_EQ(CardRamp(), Calibrated()) << "the watcher does not watch";

  Finished again = RunBatch({"lumetra-loader /watch", "echo exit code %ERRORLEVEL%"});
  EXPECT_EQ(again.output, "a watcher already runs in this session\r\nexit code 0\r\n");
  Finished status = RunBatch({"lumetra-loader /status", "echo exit code %ERRORLEVEL%"});
  EXPECT_TRUE(Contains(status.output, std::string(kCalibration) + "  watched (")) << status.output;
  EXPECT_TRUE(Contains(status.output, "exit code 0")) << status.output;

  Finished stop = RunBatch({"lumetra-loader /stop", "echo exit code %ERRORLEVEL%"});
  EXPECT_EQ(stop.output, "watcher stopped\r\nexit code 0\r\n");
  EXPECT_TRUE(WaitForWatcherToEnd(watcher));
  const std::string log = ReadText(testing::SystemPath(testing::ScratchDir("twin-home") + "/Lumetra/loader.log"));
  EXPECT_TRUE(Contains(log, "calibration loaded, verified")) << "the quiet watcher still logs:\n" << log;
}

// A pair of the loader's programs copied into a folder whose name the ANSI
// code page cannot write: the twin registers and starts the GUI program by
// its wide path.
TEST_F(ConsoleTwin, InAFolderNamedOutsideTheAnsiCodePageTheTwinRegistersAndStartsTheGuiProgram) {
  const std::wstring folder = Wide(testing::SystemPath(testing::ScratchDir("twin"))) + L"\\\u041b\u0443\u043c\u0435\u0442\u0440\u0430 \u5149";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* name : {L"lumetra-loader.exe", L"lumetra-loader.com"}) {
    ASSERT_TRUE(CopyFileW((Wide(LoaderFolder()) + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE))
        << "error " << GetLastError();
  }
  const std::wstring twin = L"\"" + folder + L"\\lumetra-loader.com\"";
  const std::wstring expected = L"\"" + folder + L"\\lumetra-loader.exe\" /watch";

  Finished install = RunCommand(twin + L" /install", folder);
  EXPECT_EQ(install.code, 0) << install.output;
  EXPECT_EQ(RunValue(), expected) << "the Run value names the GUI program, not the twin";
  EXPECT_EQ(install.output, "registered to run at login: " + Utf8FromWide(expected) + "\r\n")
      << "a redirected report is UTF-8";

  Finished watch = RunCommand(twin + L" /watch", folder);
  EXPECT_EQ(watch.code, 0) << watch.output;
  const DWORD watcher = WatcherProcess();
  ASSERT_NE(watcher, 0u) << watch.output;
  EXPECT_EQ(LowerWide(ImageOf(watcher)), LowerWide(folder + L"\\lumetra-loader.exe"));

  Finished uninstall = RunCommand(twin + L" /uninstall", folder);
  EXPECT_EQ(uninstall.code, 0) << uninstall.output;
  EXPECT_EQ(uninstall.output, "no longer registered to run at login\r\nwatcher stopped\r\n");
  EXPECT_EQ(RunValue(), L"(none)");
  EXPECT_TRUE(WaitForWatcherToEnd(watcher));
  for (const wchar_t* name : {L"lumetra-loader.exe", L"lumetra-loader.com"}) DeleteFileW((folder + L"\\" + name).c_str());
  RemoveDirectoryW(folder.c_str());
}

// A console shows wide characters whatever its code page: the report's UTF-8
// written there as bytes would come out in the console's OEM code page.
TEST_F(ConsoleTwin, OnAConsoleTheReportArrivesAsWideCharacters) {
  // A console of this test's own: under the test runner Wine gives the
  // program one without screen buffers.
  FreeConsole();
  ASSERT_TRUE(AllocConsole()) << "error " << GetLastError();
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            &inherit, CONSOLE_TEXTMODE_BUFFER, nullptr);
  ASSERT_NE(screen, INVALID_HANDLE_VALUE) << "no console here: error " << GetLastError();
  const std::wstring folder =
      Wide(testing::SystemPath(testing::ScratchDir("twin"))) + L"\\\u041b\u0443\u043c\u0435\u0442\u0440\u0430 \u5149";
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((Wide(LoaderFolder()) + L"\\lumetra-loader.com").c_str(),
                        (folder + L"\\lumetra-loader.com").c_str(), FALSE));

  std::wstring command = L"\"" + folder + L"\\lumetra-loader.com\" /install";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = screen;
  startup.hStdError = screen;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                             &process));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, kWaitMs), WAIT_OBJECT_0);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  const std::wstring expected = L"registered to run at login: \"" + folder + L"\\lumetra-loader.exe\" /watch";
  std::wstring shown(expected.size(), L' ');
  DWORD read = 0;
  EXPECT_TRUE(ReadConsoleOutputCharacterW(screen, &shown[0], static_cast<DWORD>(shown.size()), COORD{0, 0}, &read));
  shown.resize(read);
  EXPECT_EQ(shown, expected) << Utf8FromWide(shown);
  CloseHandle(screen);
  FreeConsole();
  DeleteFileW((folder + L"\\lumetra-loader.com").c_str());
  RemoveDirectoryW(folder.c_str());
}

// What the menu's "Start at login" shows: this program is the test program
// here, so its .exe is the one the value must name.
TEST(StartAtLogin, IsTrueOnlyWhenTheUsersRunValueNamesThisProgram) {
  const std::wstring saved = RunValue();
  const std::wstring own = ProgramPathWide();
  ASSERT_FALSE(own.empty());

  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKeyW, kRunValueW);
  EXPECT_FALSE(StartAtLoginRegistered()) << "no value";
  SetRunValue(L"\"" + own + L"\" /watch");
  EXPECT_TRUE(StartAtLoginRegistered()) << "quoted";
  SetRunValue(L"\"" + LowerWide(own) + L"\" /watch");
  EXPECT_TRUE(StartAtLoginRegistered()) << "the same path in other letter case";
  SetRunValue(own + L" /watch");
  EXPECT_TRUE(StartAtLoginRegistered()) << "unquoted, in a folder without spaces";
  SetRunValue(L"\"" + own.substr(0, own.size() - 4) + L".com\" /watch");
  EXPECT_FALSE(StartAtLoginRegistered()) << "the console twin";
  SetRunValue(L"\"C:\\Program Files\\Lumetra\\lumetra-loader.exe\" /watch");
  EXPECT_FALSE(StartAtLoginRegistered()) << "another installation";
  SetRunValue(L"\"" + own);
  EXPECT_FALSE(StartAtLoginRegistered()) << "an unclosed quote";
  DWORD number = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, kRunKeyW, kRunValueW, REG_DWORD, &number, sizeof(number));
  EXPECT_FALSE(StartAtLoginRegistered()) << "not a string";

  if (saved == L"(none)") RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKeyW, kRunValueW);
  else SetRunValue(saved);
}

}  // namespace
}  // namespace lumetra
