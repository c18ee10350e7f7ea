// Times a Windows program as the system sees it: started N times one after
// another, each run from its process's creation to its exit as the kernel
// records them, output discarded. Prints the exit codes seen and the minimum,
// median and maximum in milliseconds. Built for Windows and run under the
// same Wine as the program.
// usage: process-timing <runs> <program.exe> [arguments...]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Milliseconds(const FILETIME& from, const FILETIME& to) {
  ULARGE_INTEGER a{}, b{};
  a.LowPart = from.dwLowDateTime;
  a.HighPart = from.dwHighDateTime;
  b.LowPart = to.dwLowDateTime;
  b.HighPart = to.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;  // 100 ns units
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: process-timing <runs> <program.exe> [arguments...]\n");
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[1]));
  std::string command = std::string("\"") + argv[2] + "\"";
  for (int i = 3; i < argc; ++i) command += std::string(" ") + argv[i];

  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  std::vector<double> lifetimes;
  std::vector<DWORD> codes;
  for (int run = 0; run < runs; ++run) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::string line = command;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      std::fprintf(stderr, "cannot start %s (error %lu)\n", argv[2], GetLastError());
      return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    lifetimes.push_back(Milliseconds(created, exited));
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  std::sort(lifetimes.begin(), lifetimes.end());
  std::printf("%d runs, exit codes", runs);
  for (DWORD code : codes) std::printf(" %lu", code);
  std::printf("; creation to exit: min %.1f ms, median %.1f ms, max %.1f ms\n", lifetimes.front(),
              lifetimes[lifetimes.size() / 2], lifetimes.back());
  return 0;
}
