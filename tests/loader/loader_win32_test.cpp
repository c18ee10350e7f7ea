// lumetra-loader.exe from the outside: started in the test bed with its report
// redirected to a file, its effects read back from the graphics card and the
// registry. The test bed's two displays share one ramp and one association
// list, so which display gets which ramp is shown by the portable tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "icc/calibration_curves.h"
#include "icc/profile.h"
#include "icc/profile_line.h"
#include "loader/loader_program.h"
#include "loader/tray_menu.h"
#include "monitor/installed_profiles.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"
#include "tests/testing/test_bed_win32.h"

namespace lumetra {
namespace {

using Words = std::vector<uint16_t>;
using testing::AtServerPrecision;
using testing::CardRamp;
using testing::ClearAssociations;
using testing::SetCardRamp;

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Lumetra Loader";
constexpr char kWatcherClass[] = "LumetraLoaderWatcher";
constexpr char kLoaderKey[] = "Software\\Pelo\\Lumetra\\Loader";
constexpr char kPauseValue[] = "PauseWhileRunning";
// The name a copy of this test program runs under as a stand-in for a
// measuring program.
constexpr char kMeasuringProgram[] = "lumetra-measure.exe";
constexpr DWORD kWaitMs = 20000;

const char* const kCalibration = "lumetra-loader-a.icm";  // colord Gamma5000K, 16-bit vcgt
const char* const kRaisedBlack = "lumetra-loader-b.icm";  // black at 8 %: refused by the test bed
const char* const kPlain = "lumetra-loader-c.icm";        // no vcgt
const char* const kBluish = "lumetra-loader-d.icm";       // colord Bluish, another 16-bit vcgt

std::string LoaderPath() { return testing::BinaryPath("loader/lumetra-loader.exe"); }

// A ramp the test bed accepts that no profile here asks for.
Words Foreign() {
  Words words;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) words.push_back(static_cast<uint16_t>(65535 * std::pow(i / 255.0, 0.7)));
  return words;
}

// The ramp the loader should load for a profile of the colour directory.
Words Wanted(const std::string& path) {
  char reference[kFileReferenceSize] = {};
  std::memcpy(reference, path.c_str(), std::min(path.size(), sizeof(reference) - 1));
  IccProfile* profile = nullptr;
  if (OpenProfile(&profile, reference) != kOk) return {};
  GammaRamp ramp{};
  Status status = DecodeProfileCalibration(profile, &ramp);
  CloseProfile(profile);
  if (status != kOk) return {};
  return Words(&ramp.table[0][0], &ramp.table[0][0] + 768);
}

void Associate(const char* file_name) {
  ASSERT_TRUE(testing::AssociateWithFirstMonitor(file_name)) << file_name;
}

std::string RunValue() {
  char value[1024] = {};
  DWORD size = sizeof(value);
  if (RegGetValueA(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return "(none)";
  return value;
}

std::vector<std::string> LinesOf(const std::string& text) { return testing::TextLines(text); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int CountLines(const std::string& text, const std::string& start, const std::string& part) {
  int count = 0;
  for (const std::string& line : LinesOf(text)) count += line.rfind(start, 0) == 0 && Contains(line, part);
  return count;
}

std::string all_of(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The pause list as a REG_MULTI_SZ of these names.
void StorePauseList(const std::vector<std::string>& names) {
  std::string value;
  for (const std::string& name : names) value += name + '\0';
  value += '\0';
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kLoaderKey, kPauseValue, REG_MULTI_SZ, value.data(),
                            static_cast<DWORD>(value.size())),
            ERROR_SUCCESS);
}

std::string ReadText(const std::string& path) { return testing::ReadFileText(path); }

// One run of the loader, its standard output going to a file.
class Loader {
 public:
  explicit Loader(const std::string& arguments) {
    static int runs = 0;
    output_path_ = testing::SystemPath(testing::ScratchDir("loader") + "/run" + std::to_string(++runs) + ".txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileA(output_path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "\"" + LoaderPath() + "\" " + arguments;
    started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                              &process_) != FALSE;
    CloseHandle(output);
  }
  ~Loader() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, kWaitMs);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  bool Started() const { return started_; }
  bool Running() const { return started_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

  // The exit code, or -1 when the loader did not end in time.
  int Wait(DWORD ms = kWaitMs) {
    if (!started_ || WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }

  std::string Output() const {
    return ReadText(output_path_);
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
  std::string output_path_;
};

// Runs the loader to its end: exit code and report.
struct Finished {
  int code;
  std::string output;
};
Finished RunToEnd(const std::string& arguments) {
  Loader loader(arguments);
  EXPECT_TRUE(loader.Started()) << LoaderPath();
  int code = loader.Wait();
  return {code, loader.Output()};
}

HWND WaitForWatcherWindow() {
  HWND window = nullptr;
  for (DWORD waited = 0; !window && waited < kWaitMs; waited += 20) {
    Sleep(20);
    window = FindWindowA(kWatcherClass, nullptr);
  }
  return window;
}

bool WaitForCard(const Words& expected, DWORD ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50))
    if (CardRamp() == expected) return true;
  return CardRamp() == expected;
}

class LoaderProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = testing::ColorDirectory();
    ASSERT_FALSE(directory_.empty());

    auto install_real = [](const char* name, const char* installed) {
      const std::string real = std::string("/usr/share/color/icc/colord/") + name;
      ASSERT_TRUE(testing::UnixFileExists(real)) << real << " is missing: install colord-data";
      ASSERT_TRUE(CopyFileA(testing::SystemPath(real).c_str(), (directory_ + installed).c_str(), FALSE));
    };
    install_real("Gamma5000K.icc", kCalibration);
    install_real("Bluish.icc", kBluish);
    Words raised;
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 256; ++i) raised.push_back(static_cast<uint16_t>(5243 + (65535 - 5243) * i / 255));
    auto install = [](const char* name, const std::vector<uint8_t>& vcgt) {
      testing::IccBuilder builder;
      builder.AddTag(Signature("desc"), testing::DescTagData(name));
      if (!vcgt.empty()) builder.AddTag(Signature("vcgt"), vcgt);
      ASSERT_TRUE(testing::WriteFileBytes(directory_ + name, builder.Build())) << name;
    };
    install(kRaisedBlack, testing::VcgtTableTagData(3, 256, 2, raised));
    install(kPlain, {});
    saved_ramp_ = CardRamp();
    saved_run_value_ = RunValue();
    // The watchers started here log into a folder of their own.
    char saved[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", saved, MAX_PATH);
    saved_local_app_data_ = length > 0 && length < MAX_PATH ? saved : "";
    log_home_ = testing::SystemPath(testing::ScratchDir("loader-home"));
    SetEnvironmentVariableA("LOCALAPPDATA", log_home_.c_str());
    StorePauseList({kMeasuringProgram});
  }

  static void TearDownTestSuite() {
    SetEnvironmentVariableA("LOCALAPPDATA", saved_local_app_data_.empty() ? nullptr : saved_local_app_data_.c_str());
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kLoaderKey, kPauseValue);
    ClearAssociations();
    for (const char* name : {kCalibration, kRaisedBlack, kPlain, kBluish}) DeleteFileA((directory_ + name).c_str());
    if (saved_ramp_.size() == 768) SetCardRamp(saved_ramp_);
    if (saved_run_value_ == "(none)") {
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue);
    } else {
      RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, saved_run_value_.c_str(),
                      static_cast<DWORD>(saved_run_value_.size() + 1));
    }
  }

  void SetUp() override {
    ClearAssociations();
    ASSERT_TRUE(SetCardRamp(testing::IdentityRamp()));
  }

  static Words CalibrationRamp() { return Wanted(directory_ + kCalibration); }

  static inline std::string directory_;
  static inline Words saved_ramp_;
  static inline std::string saved_run_value_;
  static inline std::string log_home_;
  static inline std::string saved_local_app_data_;
};

// Started by name as a measuring program would be: a copy of this test
// program that does nothing for a minute.
TEST(DISABLED_StandIn, IdlesForAMinute) { Sleep(60000); }

class MeasuringProgram {
 public:
  MeasuringProgram() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    copy_ = testing::SystemPath(testing::ScratchDir("loader-measure")) + "\\" + kMeasuringProgram;
    if (!CopyFileA(self, copy_.c_str(), FALSE)) return;
    std::string command = "\"" + copy_ + "\" --gtest_also_run_disabled_tests --gtest_filter=DISABLED_StandIn.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                              &startup, &process_) != FALSE;
  }
  ~MeasuringProgram() { End(); }
  MeasuringProgram(const MeasuringProgram&) = delete;
  MeasuringProgram& operator=(const MeasuringProgram&) = delete;

  bool Started() const { return started_; }
  void End() {
    if (!started_) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, kWaitMs);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    started_ = false;
  }

 private:
  std::string copy_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST_F(LoaderProgram, LoadsAndVerifiesTheSystemsCalibrationOnEveryDisplay) {
  Associate(kCalibration);
  Words wanted = CalibrationRamp();
  ASSERT_EQ(wanted.size(), 768u);
  Finished run = RunToEnd("");
  EXPECT_EQ(run.code, 0) << run.output;
  std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  EXPECT_EQ(lines[0], "\\\\.\\DISPLAY1  " + std::string(kCalibration) + "  calibration loaded, verified");
  EXPECT_EQ(lines[1], "\\\\.\\DISPLAY2  " + std::string(kCalibration) + "  calibration loaded, verified");
  EXPECT_EQ(CardRamp(), AtServerPrecision(wanted)) << "the card holds the table at the server's precision";
  EXPECT_EQ(CardRamp("\\\\.\\DISPLAY2"), AtServerPrecision(wanted));
}

TEST_F(LoaderProgram, ResetLoadsTheIdentity) {
  Associate(kCalibration);
  ASSERT_EQ(RunToEnd("").code, 0);
  Finished run = RunToEnd("/RESET");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(LinesOf(run.output).size(), 2u) << run.output;
  EXPECT_TRUE(Contains(run.output, "linear ramp loaded, verified")) << run.output;
  EXPECT_EQ(CardRamp(), AtServerPrecision(testing::IdentityRamp()));
}

TEST_F(LoaderProgram, ARefusedRampIsReportedAndLeavesTheCard) {
  ASSERT_TRUE(SetCardRamp(Foreign()));
  Words before = CardRamp();
  Associate(kRaisedBlack);
  Finished run = RunToEnd("");
  EXPECT_EQ(run.code, 1) << run.output;
  std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 2u) << run.output;
  for (const std::string& line : lines) {
    EXPECT_TRUE(Contains(line, std::string(kRaisedBlack) + "  not loaded: the system refused the ramp")) << line;
    EXPECT_TRUE(Contains(line, "status ")) << line;
    EXPECT_TRUE(Contains(line, "GdiIcmGammaRange")) << line;
  }
  EXPECT_EQ(CardRamp(), before) << "a refused ramp changed the card";
}

TEST_F(LoaderProgram, VerifyTellsAForeignRampFromTheCalibration) {
  Associate(kCalibration);
  ASSERT_EQ(RunToEnd("").code, 0);
  Finished run = RunToEnd("/verify");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "matches its profile, largest difference")) << run.output;

  ASSERT_TRUE(SetCardRamp(Foreign()));  // another program's ramp
  Words foreign = CardRamp();
  run = RunToEnd("/verify");
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "differs from its profile, largest difference")) << run.output;
  EXPECT_EQ(CardRamp(), foreign) << "verify changed the card";

  ASSERT_EQ(RunToEnd("").code, 0);
  EXPECT_EQ(RunToEnd("-Verify").code, 0);
}

TEST_F(LoaderProgram, OneDisplayOnly) {
  Associate(kPlain);
  Finished run = RunToEnd("/display 2");
  EXPECT_EQ(run.code, 0) << run.output;
  std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 1u) << run.output;
  EXPECT_EQ(lines[0], "\\\\.\\DISPLAY2  " + std::string(kPlain) + "  no vcgt tag: linear ramp loaded, verified");

  run = RunToEnd("/verify /display 3");
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "\\\\.\\DISPLAY3  -  not attached")) << run.output;
}

TEST_F(LoaderProgram, TheWatcherRestoresAChangedRampAndRunsOncePerSession) {
  Associate(kCalibration);
  const Words calibrated = AtServerPrecision(CalibrationRamp());
  Loader watcher("/watch");
  ASSERT_TRUE(watcher.Started());
  HWND window = nullptr;
  for (DWORD waited = 0; !window && waited < kWaitMs; waited += 20) {
    Sleep(20);
    window = FindWindowA(kWatcherClass, nullptr);
  }
  ASSERT_TRUE(window) << "no watcher window; " << watcher.Output();
  EXPECT_EQ(CardRamp(), calibrated) << watcher.Output();

  // Another program resets the ramp behind the watcher's back.
  ASSERT_TRUE(SetCardRamp(Foreign()));
  DWORD start = GetTickCount();
  while (CardRamp() != calibrated && GetTickCount() - start < 5000) Sleep(50);
  DWORD restored_after = GetTickCount() - start;
  EXPECT_EQ(CardRamp(), calibrated) << "not restored; " << watcher.Output();
  EXPECT_LT(restored_after, 3000u) << "restored only after " << restored_after << " ms";

  {
    Loader second("/watch");
    EXPECT_EQ(second.Wait(3000), 0) << "a second watcher did not end at once";
    EXPECT_TRUE(Contains(second.Output(), "already runs")) << second.Output();
  }
  EXPECT_TRUE(watcher.Running());

  Finished stop = RunToEnd("/stop");
  EXPECT_EQ(stop.code, 0) << stop.output;
  EXPECT_TRUE(Contains(stop.output, "watcher stopped")) << stop.output;
  EXPECT_EQ(watcher.Wait(5000), 0) << "the watcher did not end";
  EXPECT_EQ(FindWindowA(kWatcherClass, nullptr), nullptr);
  EXPECT_TRUE(Contains(watcher.Output(), "calibration loaded, verified")) << watcher.Output();
  EXPECT_TRUE(Contains(watcher.Output(), "(its ramp had been changed)")) << watcher.Output();

  stop = RunToEnd("/stop");
  EXPECT_EQ(stop.code, 0) << "stopping no watcher is no failure";
  EXPECT_TRUE(Contains(stop.output, "no watcher was running")) << stop.output;
}

// The card still holds the old calibration, so the periodic read-back finds
// nothing to do: only the events make the watcher ask for the profile again.
TEST_F(LoaderProgram, TheWatcherLoadsAgainAfterADisplayChangeAResumeAndAnUnlock) {
  Associate(kCalibration);
  const Words first = AtServerPrecision(CalibrationRamp());
  const Words second = AtServerPrecision(Wanted(directory_ + kBluish));
  ASSERT_NE(first, second);
  Loader watcher("/watch");
  HWND window = WaitForWatcherWindow();
  ASSERT_TRUE(window) << watcher.Output();

  const struct {
    const char* what;
    UINT message;
    WPARAM wparam;
  } events[] = {
      {"a display change", WM_DISPLAYCHANGE, 32},
      {"a resume", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC},
      {"an unlock", 0x02B1 /* WM_WTSSESSION_CHANGE */, 0x8 /* WTS_SESSION_UNLOCK */},
      {"a reconnect", 0x02B1, 0x1 /* WTS_CONSOLE_CONNECT */},
  };
  bool at_first = true;
  for (const auto& event : events) {
    ClearAssociations();
    Associate(at_first ? kBluish : kCalibration);
    if (&event == &events[0]) Sleep(2200);  // a read-back in between changes nothing
    EXPECT_EQ(CardRamp(), at_first ? first : second) << event.what << ": loaded before the event";
    PostMessageA(window, event.message, event.wparam, 0);
    EXPECT_TRUE(WaitForCard(at_first ? second : first, 5000)) << event.what << " did not load the profile again";
    at_first = !at_first;
  }
  PostMessageA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);  // not an event to load after
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0) << watcher.Output();
}

// Another program that keeps setting its own ramp wins after three restores;
// the watcher neither flickers nor spins against it.
TEST_F(LoaderProgram, TheWatcherYieldsToAProgramThatKeepsSettingItsRamp) {
  Associate(kCalibration);
  const Words calibrated = AtServerPrecision(CalibrationRamp());
  Loader watcher("/watch");
  ASSERT_TRUE(WaitForWatcherWindow()) << watcher.Output();
  ASSERT_TRUE(WaitForCard(calibrated, 5000));

  const Words foreign = Foreign();
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(500)) ASSERT_TRUE(SetCardRamp(foreign));
  Sleep(4500);  // two more checks with the foreign ramp left alone
  const std::string output = watcher.Output();
  for (const char* display : {"\\\\.\\DISPLAY1", "\\\\.\\DISPLAY2"}) {
    EXPECT_LE(CountLines(output, display, "(its ramp had been changed)"), 3) << output;
  }
  EXPECT_TRUE(Contains(output, "yielded: its ramp was changed again after 3 restores within 2 minutes")) << output;
  EXPECT_EQ(CardRamp(), AtServerPrecision(foreign)) << "the foreign ramp was not kept; " << output;

  Finished status = RunToEnd("/status");
  EXPECT_EQ(status.code, 0) << status.output;
  EXPECT_TRUE(Contains(status.output, "yielded (since ")) << status.output;

  // The calibration loaded from the command line: watched again.
  ASSERT_EQ(RunToEnd("").code, 0);
  Sleep(2500);
  status = RunToEnd("/status");
  EXPECT_TRUE(Contains(status.output, std::string(kCalibration) + "  watched (")) << status.output;
  EXPECT_FALSE(Contains(status.output, "yielded")) << status.output;

  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0) << watcher.Output();
}

TEST_F(LoaderProgram, AForeignRampOnADisplayWithoutATableStays) {
  Associate(kPlain);
  Loader watcher("/watch");
  ASSERT_TRUE(WaitForWatcherWindow()) << watcher.Output();
  ASSERT_TRUE(WaitForCard(AtServerPrecision(testing::IdentityRamp()), 5000));
  ASSERT_TRUE(SetCardRamp(Foreign()));
  Sleep(4500);
  EXPECT_EQ(CardRamp(), AtServerPrecision(Foreign())) << watcher.Output();
  Finished status = RunToEnd("/status");
  EXPECT_TRUE(Contains(status.output, std::string(kPlain) + "  not watched (no vcgt: linear)")) << status.output;
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0);
}

TEST_F(LoaderProgram, AListedProgramPausesTheWatcherAndItsEndLoadsAgain) {
  Associate(kCalibration);
  const Words calibrated = AtServerPrecision(CalibrationRamp());
  Loader watcher("/watch");
  ASSERT_TRUE(WaitForWatcherWindow()) << watcher.Output();
  MeasuringProgram measuring;
  ASSERT_TRUE(measuring.Started());
  Sleep(2500);  // a check sees it
  ASSERT_TRUE(SetCardRamp(testing::IdentityRamp()));  // the measurement's linear ramp
  Sleep(4500);
  EXPECT_EQ(CardRamp(), AtServerPrecision(testing::IdentityRamp())) << "restored under a measurement";
  Finished status = RunToEnd("/status");
  EXPECT_TRUE(Contains(status.output, std::string("paused (while ") + kMeasuringProgram + " runs)")) << status.output;

  measuring.End();
  EXPECT_TRUE(WaitForCard(calibrated, 5000)) << "the program's end did not load; " << watcher.Output();
  EXPECT_TRUE(Contains(watcher.Output(), std::string(kMeasuringProgram) + " has ended: loading every display"))
      << watcher.Output();
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0);
}

TEST_F(LoaderProgram, PauseResumeResetAndStatusReachTheRunningWatcher) {
  for (const char* command : {"/status", "/pause", "/resume", "/pause 10"}) {
    Finished run = RunToEnd(command);
    EXPECT_EQ(run.code, 1) << command << ": no watcher runs";
    EXPECT_TRUE(Contains(run.output, "no watcher runs in this session")) << command << ": " << run.output;
  }
  for (const char* command : {"/pause 0", "/pause 1441", "/pause x"}) {
    Finished run = RunToEnd(command);
    EXPECT_EQ(run.code, 2) << command;
    EXPECT_TRUE(Contains(run.output, "not understood: ")) << command << ": " << run.output;
    EXPECT_TRUE(Contains(run.output, "/pause [minutes]")) << command << ": " << run.output;
  }

  Associate(kCalibration);
  const Words calibrated = AtServerPrecision(CalibrationRamp());
  Loader watcher("/watch");
  ASSERT_TRUE(WaitForWatcherWindow()) << watcher.Output();
  ASSERT_TRUE(WaitForCard(calibrated, 5000));

  Finished status = RunToEnd("/status");
  EXPECT_EQ(status.code, 0) << status.output;
  std::vector<std::string> lines = LinesOf(status.output);
  ASSERT_EQ(lines.size(), 2u) << status.output;
  EXPECT_EQ(lines[0], "\\\\.\\DISPLAY1  Display1  " + std::string(kCalibration) + "  watched (no restores)");

  Finished pause = RunToEnd("/pause 5");
  EXPECT_EQ(pause.code, 0) << pause.output;
  EXPECT_TRUE(Contains(pause.output, "paused until ")) << pause.output;
  ASSERT_TRUE(SetCardRamp(Foreign()));
  Sleep(4500);
  EXPECT_EQ(CardRamp(), AtServerPrecision(Foreign())) << "restored during a pause";
  EXPECT_TRUE(Contains(RunToEnd("/status").output, "paused (until "));
  Finished resume = RunToEnd("/resume");
  EXPECT_EQ(resume.code, 0) << resume.output;
  EXPECT_TRUE(Contains(resume.output, "calibration loaded, verified")) << resume.output;
  EXPECT_EQ(CardRamp(), calibrated);

  // A reset is kept until the calibration is loaded again.
  Finished reset = RunToEnd("/reset");
  EXPECT_EQ(reset.code, 0) << reset.output;
  EXPECT_TRUE(Contains(reset.output, "the running watcher leaves the reset displays alone")) << reset.output;
  Sleep(4500);
  EXPECT_EQ(CardRamp(), AtServerPrecision(testing::IdentityRamp())) << "the reset was undone";
  EXPECT_TRUE(Contains(RunToEnd("/status").output, "paused (after a reset)"));
  ASSERT_EQ(RunToEnd("").code, 0);
  Sleep(2500);
  EXPECT_FALSE(Contains(RunToEnd("/status").output, "paused")) << "a load did not end the reset's pause";
  ASSERT_TRUE(SetCardRamp(Foreign()));
  EXPECT_TRUE(WaitForCard(calibrated, 5000)) << "not watched again after the reset";

  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0);

  // Everything the watcher said went to its log, each line dated.
  const std::string log = ReadText(testing::SystemPath(testing::ScratchDir("loader-home") + "/Lumetra/loader.log"));
  for (const char* said : {"calibration loaded, verified", "paused until ", "resumed: loading every display",
                           "paused after a reset", "(its ramp had been changed)", "watcher stopped"}) {
    EXPECT_TRUE(Contains(log, said)) << said << " is not in the log:\n" << log;
  }
  for (const std::string& line : LinesOf(log)) {
    ASSERT_GE(line.size(), 21u) << line;
    EXPECT_EQ(line.substr(4, 1) + line.substr(7, 1) + line.substr(13, 1) + line.substr(19, 2), "--:  ") << line;
  }
}

// The icon's menu as the running watcher builds it, read back from the
// system's menu: "#7 [x] Start at login", "Profile for display 2 >", ...
std::vector<std::string> WatcherMenu() {
  WatcherRequest request;
  request.kind = WatcherRequest::Kind::kMenu;
  std::vector<std::string> lines;
  EXPECT_EQ(AskWatcher(request, &lines), kOk);
  return lines;
}

// The command id of `text` in the submenu `submenu`; 0 when not there.
UINT MenuCommand(const std::vector<std::string>& menu, const std::string& submenu, const std::string& text) {
  bool inside = submenu.empty();
  for (const std::string& line : menu) {
    if (!submenu.empty() && line.rfind("  ", 0) != 0) inside = line == submenu + " >";
    if (!inside || line.find("#") == std::string::npos) continue;
    const size_t space = line.find(' ', line.find('#'));
    std::string rest = line.substr(space + 1);
    if (rest.rfind("[x] ", 0) == 0) rest.erase(0, 4);
    if (rest == text) return static_cast<UINT>(std::stoul(line.substr(line.find('#') + 1)));
  }
  return 0;
}

// The command that chooses the installed profile `file_name` in a display's
// submenu: by its place in the system's list, as descriptions may repeat.
UINT ProfileCommand(const std::vector<std::string>& menu, const std::string& submenu, const std::string& file_name) {
  std::vector<std::string> paths;
  if (ListInstalledMonitorProfiles(&paths) != kOk) return 0;
  size_t wanted = 0;
  while (wanted < paths.size() && paths[wanted].substr(paths[wanted].find_last_of('\\') + 1) != file_name) ++wanted;
  bool inside = false;
  size_t index = 0;
  for (const std::string& line : menu) {
    if (line.rfind("  ", 0) != 0) {
      inside = line == submenu + " >";
    } else if (inside && index++ == wanted) {
      return static_cast<UINT>(std::stoul(line.substr(line.find('#') + 1)));
    }
  }
  return 0;
}

bool Associated(const char* file_name) {
  return RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\ICM\\mntr", file_name,
                      RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool WaitForOutput(const Loader& loader, const std::string& part, DWORD ms = 5000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50))
    if (Contains(loader.Output(), part)) return true;
  return Contains(loader.Output(), part);
}

TEST_F(LoaderProgram, TheIconIsAddedAndAddedAgainWhenTheTaskbarComesBack) {
  Associate(kCalibration);
  Loader watcher("/watch");
  HWND window = WaitForWatcherWindow();
  ASSERT_TRUE(window) << watcher.Output();
  EXPECT_TRUE(WaitForOutput(watcher, "icon added to the notification area")) << watcher.Output();
  PostMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitForOutput(watcher, "icon added again: the taskbar was created anew")) << watcher.Output();
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0);
}

TEST_F(LoaderProgram, TheMenuNamesEachDisplayAndOffersItsProfilesAndCommands) {
  Associate(kCalibration);
  Loader watcher("/watch");
  ASSERT_TRUE(WaitForWatcherWindow()) << watcher.Output();
  std::vector<std::string> menu = WatcherMenu();
  std::string all;
  for (const std::string& line : menu) all += line + "\n";
  const std::string calibration = ProfileListLine(directory_ + kCalibration);
  const std::string bluish = ProfileListLine(directory_ + kBluish);
  ASSERT_GE(menu.size(), 12u) << all;
  EXPECT_EQ(menu[0], "#0 (disabled) Display 1 (Display1): " + std::string(kCalibration) + ", watched (no restores)");
  EXPECT_EQ(menu[1], "#0 (disabled) Display 2 (Display2): " + std::string(kCalibration) + ", watched (no restores)");
  for (const char* submenu : {"Profile for display 1", "Profile for display 2"}) {
    EXPECT_TRUE(Contains(all, std::string(submenu) + " >\n")) << all;
    EXPECT_NE(MenuCommand(menu, submenu, calibration), 0u) << submenu << "\n" << all;
    EXPECT_NE(MenuCommand(menu, submenu, bluish), 0u) << submenu << "\n" << all;
  }
  EXPECT_TRUE(Contains(all, "[x] " + calibration + "\n")) << "the profile in use is not checked\n" << all;
  EXPECT_EQ(bluish.substr(bluish.size() - 4), " (*)") << "a vcgt table is marked as in the dialog";
  for (const char* command : {"Load calibration now", "Reset to linear", "Pause for 1 hour", "Open Lumetra",
                              "Open log", "Start at login", "Exit"}) {
    EXPECT_NE(MenuCommand(menu, "", command), 0u) << command << "\n" << all;
  }
  EXPECT_TRUE(Contains(all, "[x] Show notifications")) << all;

  // Reset to linear and Load calibration now act as their commands.
  HWND window = FindWindowA(kWatcherClass, nullptr);
  PostMessageA(window, WM_COMMAND, MenuCommand(menu, "", "Reset to linear"), 0);
  EXPECT_TRUE(WaitForCard(AtServerPrecision(testing::IdentityRamp()), 5000)) << watcher.Output();
  EXPECT_TRUE(Contains(RunToEnd("/status").output, "paused (after a reset)"));
  menu = WatcherMenu();
  ASSERT_NE(MenuCommand(menu, "", "Resume"), 0u) << "a paused watcher offers Resume";
  PostMessageA(window, WM_COMMAND, MenuCommand(menu, "", "Load calibration now"), 0);
  EXPECT_TRUE(WaitForCard(AtServerPrecision(CalibrationRamp()), 5000)) << watcher.Output();
  EXPECT_FALSE(Contains(RunToEnd("/status").output, "paused")) << watcher.Output();

  PostMessageA(window, WM_COMMAND, MenuCommand(menu, "", "Exit"), 0);
  EXPECT_EQ(watcher.Wait(5000), 0) << "Exit did not end the watcher";
}

TEST_F(LoaderProgram, AProfileChosenForDisplay2IsAssociatedLoadedAndWatched) {
  Associate(kPlain);  // display 1 stays linear and unwatched on the test bed's shared ramp
  Loader watcher("/watch");
  HWND window = WaitForWatcherWindow();
  ASSERT_TRUE(window) << watcher.Output();
  const std::vector<std::string> menu = WatcherMenu();
  const UINT bluish = ProfileCommand(menu, "Profile for display 2", kBluish);
  ASSERT_NE(bluish, 0u);
  PostMessageA(window, WM_COMMAND, bluish, 0);
  const Words wanted = AtServerPrecision(Wanted(directory_ + kBluish));
  EXPECT_TRUE(WaitForCard(wanted, 5000)) << watcher.Output();
  EXPECT_TRUE(Associated(kBluish)) << "not associated as the system sees it";
  EXPECT_TRUE(WaitForOutput(watcher, "\\\\.\\DISPLAY2  " + std::string(kBluish) + "  chosen: calibration loaded, verified"))
      << watcher.Output();
  Sleep(2500);
  EXPECT_EQ(CardRamp("\\\\.\\DISPLAY2"), wanted) << "the choice was undone";
  EXPECT_TRUE(Contains(RunToEnd("/status").output, "DISPLAY2  Display2  " + std::string(kBluish) + "  watched"));

  // A profile gone since the menu was made: said, notified, nothing changed.
  const UINT gone = ProfileCommand(menu, "Profile for display 2", kRaisedBlack);
  ASSERT_NE(gone, 0u);
  ASSERT_TRUE(MoveFileA((directory_ + kRaisedBlack).c_str(), (directory_ + "lumetra-loader-moved.icm").c_str()));
  PostMessageA(window, WM_COMMAND, gone, 0);
  EXPECT_TRUE(WaitForOutput(watcher, "notification: The profile for display 2 was not changed: not loaded: the "
                                     "profile cannot be read")) << watcher.Output();
  MoveFileA((directory_ + "lumetra-loader-moved.icm").c_str(), (directory_ + kRaisedBlack).c_str());
  EXPECT_FALSE(Associated(kRaisedBlack));
  EXPECT_EQ(CardRamp("\\\\.\\DISPLAY2"), wanted);
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0);
}

TEST_F(LoaderProgram, StartAtLoginIsCheckedForEitherLoginEntryAndTogglesTheUsersOwn) {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kRunValue);
  Associate(kCalibration);
  Loader watcher("/watch");
  HWND window = WaitForWatcherWindow();
  ASSERT_TRUE(window) << watcher.Output();
  EXPECT_FALSE(Contains(all_of(WatcherMenu()), "[x] Start at login"));
  const UINT toggle = MenuCommand(WatcherMenu(), "", "Start at login");
  PostMessageA(window, WM_COMMAND, toggle, 0);
  ASSERT_TRUE(WaitForOutput(watcher, "registered to run at login: "));
  EXPECT_EQ(RunValue().front(), '"');
  EXPECT_TRUE(Contains(all_of(WatcherMenu()), "[x] Start at login"));
  PostMessageA(window, WM_COMMAND, toggle, 0);
  ASSERT_TRUE(WaitForOutput(watcher, "no longer registered to run at login"));
  EXPECT_EQ(RunValue(), "(none)");

  // The installer's entry for every user checks it too, and stays.
  const std::string command = "\"" + LoaderPath() + "\" /watch";
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, command.c_str(),
                            static_cast<DWORD>(command.size() + 1)),
            ERROR_SUCCESS);
  EXPECT_TRUE(Contains(all_of(WatcherMenu()), "[x] Start at login"));
  PostMessageA(window, WM_COMMAND, toggle, 0);
  EXPECT_TRUE(WaitForOutput(watcher, "the installer's login entry for every user stays")) << watcher.Output();
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 0);
}

TEST_F(LoaderProgram, NotificationsAreSentAndSuppressedAsSet) {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kLoaderKey, "Notifications");
  Associate(kRaisedBlack);  // refused by the test bed: not loaded
  Loader watcher("/watch");
  HWND window = WaitForWatcherWindow();
  ASSERT_TRUE(window) << watcher.Output();
  EXPECT_TRUE(WaitForOutput(watcher, "notification: Display 1 not loaded (the system refused the ramp"))
      << watcher.Output();
  EXPECT_EQ(CountLines(watcher.Output(), "notification: Display 1", ""), 1) << "told more than once";

  const UINT toggle = MenuCommand(WatcherMenu(), "", "Show notifications");
  ASSERT_NE(toggle, 0u);
  PostMessageA(window, WM_COMMAND, toggle, 0);
  ASSERT_TRUE(WaitForOutput(watcher, "notifications off"));
  DWORD stored = 1, size = sizeof(stored);
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kLoaderKey, "Notifications", RRF_RT_REG_DWORD, nullptr, &stored, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(stored, 0u);
  EXPECT_FALSE(Contains(all_of(WatcherMenu()), "[x] Show notifications"));

  // Loaded, then refused again: a new change of state, told no more.
  ClearAssociations();
  Associate(kCalibration);
  PostMessageA(window, WM_DISPLAYCHANGE, 32, 0);
  ASSERT_TRUE(WaitForCard(AtServerPrecision(CalibrationRamp()), 5000)) << watcher.Output();
  ClearAssociations();
  Associate(kRaisedBlack);
  PostMessageA(window, WM_DISPLAYCHANGE, 32, 0);
  Sleep(1500);
  EXPECT_EQ(CountLines(watcher.Output(), "notification: ", ""), 2) << watcher.Output();
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kLoaderKey, "Notifications");
  EXPECT_EQ(RunToEnd("/stop").code, 0);
  EXPECT_EQ(watcher.Wait(5000), 1) << "the last load was refused";
}

TEST_F(LoaderProgram, InstallRegistersTheWatcherAtLoginAndUninstallRemovesIt) {
  Finished run = RunToEnd("/install");
  EXPECT_EQ(run.code, 0) << run.output;
  std::string expected = "\"" + LoaderPath() + "\" /watch";
  std::string value = RunValue();
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  EXPECT_EQ(lower(value), lower(expected)) << "the Run value is the quoted full path and /watch";
  EXPECT_EQ(value.front(), '"');

  Loader watcher("/watch");
  WaitForWatcherWindow();
  run = RunToEnd("/uninstall");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(RunValue(), "(none)");
  EXPECT_EQ(watcher.Wait(5000), 0) << "uninstall did not stop the running watcher";
  EXPECT_EQ(RunToEnd("/uninstall").code, 0) << "uninstalling twice is no failure";
}

TEST_F(LoaderProgram, BadArgumentsGiveTheUsageAndExitCode2) {
  Finished run = RunToEnd("/bogus");
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.output, "not understood: /bogus")) << run.output;
  EXPECT_TRUE(Contains(run.output, "lumetra-loader [/reset | /verify | /watch] [/display N] [/quiet]")) << run.output;
  EXPECT_EQ(RunToEnd("/display 0").code, 2);
  EXPECT_EQ(RunToEnd("/reset /verify").code, 2);

  run = RunToEnd("/?");
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(Contains(run.output, "/uninstall")) << run.output;

  Associate(kPlain);
  run = RunToEnd("/quiet");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, "") << "quiet wrote a report";
}

}  // namespace
}  // namespace lumetra
