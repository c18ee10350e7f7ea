// Times the dialog's start under Wine against its floor, with and without a
// large set of installed profiles, so that what each profile costs can be
// told from what a start costs anyway. The colour directory is switched
// between two prepared folders by renaming them: <colour directory> is the
// live one, <colour directory>.with holds the extra profiles and
// <colour directory>.without the directory as it was.
//
// Each run starts, in an order shuffled anew for every run:
//   the program, timed from its process's creation (as the kernel records it)
//     until its "Lumetra" dialog is visible (its list is filled before it
//     shows), after which the dialog is closed and the program awaited;
//   the floor program, timed from its creation to its exit;
// each once with the extra profiles installed and once without. One round
// before the first run is not counted: it brings the files into the cache.
// Prints one line per measurement: <side> <with|without> <milliseconds> <count>,
// the count being the dialog's list lines or the floor's exit code.
// Built for Windows and run under the same Wine as the program.
// usage: profile-scan-timing <runs> <colour directory> <program.exe> <floor.exe>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

double Milliseconds(const FILETIME& from, const FILETIME& to) {
  ULARGE_INTEGER a{}, b{};
  a.LowPart = from.dwLowDateTime;
  a.HighPart = from.dwHighDateTime;
  b.LowPart = to.dwLowDateTime;
  b.HighPart = to.dwHighDateTime;
  return static_cast<double>(static_cast<LONGLONG>(b.QuadPart - a.QuadPart)) / 10000.0;  // 100 ns units
}

bool Start(const std::string& program, HANDLE output, PROCESS_INFORMATION* process) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = output;
  std::string line = "\"" + program + "\"";
  // The program's own folder is its current directory, as when started from the desktop.
  std::string folder = program.substr(0, program.find_last_of("\\/") + 1);
  return CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, process);
}

FILETIME CreationTime(HANDLE process) {
  FILETIME created{}, exited, kernel, user;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return created;
}

// Milliseconds until the dialog is visible, or a negative number when it
// never shows; *lines gets its list's line count. Wine tells no other process
// when a window shows, so the harness looks every 10 ms (up to 10 ms late,
// alike with and without the extra profiles): each look is a request to the
// Wine server, which the program waits for too, and looking every
// millisecond slowed the program's start by a third.
double TimeDialog(const std::string& program, HANDLE output, long* lines) {
  PROCESS_INFORMATION process{};
  if (!Start(program, output, &process)) return -1;
  double elapsed = -1;
  for (int i = 0; i < 6000; ++i) {
    HWND dialog = FindWindowA("#32770", "Lumetra");
    if (dialog && IsWindowVisible(dialog)) {
      FILETIME now;
      GetSystemTimeAsFileTime(&now);
      elapsed = Milliseconds(CreationTime(process.hProcess), now);
      *lines = static_cast<long>(SendMessageW(GetDlgItem(dialog, 3), LB_GETCOUNT, 0, 0));
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    }
    if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
  }
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    elapsed = -1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

// Milliseconds from creation to exit; *code gets the exit code.
double TimeToExit(const std::string& program, HANDLE output, long* code) {
  PROCESS_INFORMATION process{};
  if (!Start(program, output, &process)) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  FILETIME created, exited, kernel, user;
  GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user);
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  *code = static_cast<long>(exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Milliseconds(created, exited);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: profile-scan-timing <runs> <colour directory> <program.exe> <floor.exe>\n");
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[1]));
  const std::string live = argv[2];
  const std::string with = live + ".with";
  const std::string without = live + ".without";
  const std::string programs[2] = {argv[3], argv[4]};
  const char* sides[2] = {"dialog", "floor"};

  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  bool installed = false;  // the live directory is the one without
  auto install = [&](bool extra) {
    if (extra == installed) return true;
    const std::string& parked = extra ? without : with;
    const std::string& coming = extra ? with : without;
    if (!MoveFileA(live.c_str(), parked.c_str())) return false;
    if (!MoveFileA(coming.c_str(), live.c_str())) return false;
    installed = extra;
    return true;
  };

  std::mt19937 shuffle(20240);
  int order[4] = {0, 1, 2, 3};  // side * 2 + installed
  int status = 0;
  for (int run = -1; run < runs && status == 0; ++run) {
    std::shuffle(order, order + 4, shuffle);
    for (int measurement : order) {
      int side = measurement / 2;
      bool extra = measurement % 2 != 0;
      if (!install(extra)) {
        std::fprintf(stderr, "cannot switch the colour directory (error %lu)\n", GetLastError());
        status = 1;
        break;
      }
      long count = 0;
      double ms = side == 0 ? TimeDialog(programs[0], nul, &count) : TimeToExit(programs[1], nul, &count);
      if (ms < 0) {
        std::fprintf(stderr, "%s did not %s\n", programs[side].c_str(), side == 0 ? "show its dialog" : "start");
        status = 1;
        break;
      }
      if (run < 0) continue;
      std::printf("%s %s %.2f %ld\n", sides[side], extra ? "with" : "without", ms, count);
      std::fflush(stdout);
    }
  }
  if (!install(false)) status = 1;
  CloseHandle(nul);
  return status;
}
