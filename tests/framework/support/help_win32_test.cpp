// Help starts the system's viewer, hh.exe, as a process of its own.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/support/catalogue.h"
#include "framework/support/files.h"
#include "framework/support/gui_settings.h"
#include "framework/support/messages.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

std::vector<DWORD> ViewerProcesses() {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, "hh.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

// The help folder lies below the program's folder; the language file that
// names it in the current directory. Reports are recorded, not shown.
class HelpViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[kPathBufferSize];
    ASSERT_EQ(ModuleDirectory(folder, sizeof(folder)), kOk);
    help_dir_ = std::filesystem::path(folder) / "LumetraTestHelp";
    std::filesystem::create_directories(help_dir_);
    Write(help_dir_ / "winhelp.chm", "not a compiled help file");

    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(testing::SystemPath(testing::ScratchDir("help_viewer")));
    Write("EnglishLanguage", "2000000 LumetraTestHelp\n2000005 page5.htm\n");
    FreeCatalogue();
    SetMessagePresenter(&HelpViewer::Record, this);
  }
  void TearDown() override {
    SetMessagePresenter(nullptr, nullptr);
    FreeCatalogue();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(help_dir_);
  }

  static void Write(const std::filesystem::path& path, const char* text) {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    std::fclose(f);
  }
  static int32_t Record(void* context, const char* text, const char*, uint32_t, void*) {
    static_cast<HelpViewer*>(context)->reports_.push_back(text);
    return IDOK;
  }

  std::filesystem::path help_dir_, previous_;
  std::vector<std::string> reports_;
};

TEST_F(HelpViewer, AContextWithATopicStartsTheViewer) {
  std::vector<DWORD> before = ViewerProcesses();
  EXPECT_EQ(ShowHelp(5, nullptr, nullptr), kOk);
  EXPECT_TRUE(reports_.empty()) << reports_.front();

  DWORD started = 0;
  for (int i = 0; i < 200 && !started; ++i) {
    for (DWORD id : ViewerProcesses()) {
      bool old = false;
      for (DWORD b : before) old = old || b == id;
      if (!old) started = id;
    }
    if (!started) Sleep(25);
  }
  ASSERT_NE(started, 0u) << "hh.exe was started";
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, started);
  if (process) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
}

TEST_F(HelpViewer, NothingStartsWithoutATopicOrAHelpFile) {
  std::vector<DWORD> before = ViewerProcesses();
  EXPECT_EQ(ShowHelp(6, nullptr, nullptr), kOk) << "no entry 2000006";
  std::filesystem::remove(help_dir_ / "winhelp.chm");
  EXPECT_EQ(ShowHelp(5, nullptr, nullptr), kOk);
  Sleep(300);
  EXPECT_EQ(ViewerProcesses().size(), before.size());
  EXPECT_TRUE(reports_.empty());
}

}  // namespace
}  // namespace lumetra
