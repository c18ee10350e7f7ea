// Measures what a running Windows process costs while it runs: CPU time
// (user + kernel), handles, GDI and USER objects, working set and private
// bytes, at the start and after N seconds (and every M seconds if asked),
// then the CPU per hour. Built for Windows and run under the same Wine as the
// process. Where Wine 8 answers a question about another process with a
// figure that is no measurement (a 0, or the caller's own CPU time), the
// figure comes from a substitute that counts the same thing; each line says
// where its figure came from, and what nothing can tell is printed as not
// measurable.
// usage: process-cost <seconds> [--every M] [--linux-pid P]
//                     (--find <name.exe> | <program.exe> [arguments...])
//   --find       measure a running process, found by its executable's name
//   --linux-pid  also read /proc/P (through Z:) of the Linux process that
//                runs it under Wine, as a cross-check
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~ScopedHandle() {
    if (handle_) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// From the NT native API (winternl.h, ntstatus.h), declared here because
// MinGW's headers leave these parts out.
using NtStatus = LONG;
constexpr NtStatus kInfoLengthMismatch = static_cast<NtStatus>(0xC0000004);
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kProcessBasicInformation = 0;
using QuerySystemInformation = NtStatus(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryInformationProcess = NtStatus(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
  PVOID object;
  ULONG_PTR process_id;
  ULONG_PTR handle_value;
  ULONG granted_access;
  USHORT creator_back_trace_index;
  USHORT object_type_index;
  ULONG attributes;
  ULONG reserved;
};

struct HandleTable {  // SYSTEM_HANDLE_INFORMATION_EX, followed by its entries
  ULONG_PTR count;
  ULONG_PTR reserved;
};

struct BasicInformation {  // PROCESS_BASIC_INFORMATION
  NtStatus exit_status;
  PVOID peb;
  ULONG_PTR affinity;
  LONG base_priority;
  ULONG_PTR process_id;
  ULONG_PTR parent_process_id;
};

// Wine keeps each process's GDI objects in a table of its own, which the
// process's PEB names at GdiSharedHandleTable (offset 0x94 of a 32-bit PEB).
// One entry as Wine 8 lays it out (include/ntgdi.h there): a 64-bit object
// pointer, the owner, the extended type (low 7 bits) with the stock flag (top
// bit), a generation, the type (0 for a free entry), flags, a 64-bit user
// pointer. Entries never used are all zero.
constexpr DWORD kPebGdiTableOffset = 0x94;
constexpr DWORD kGdiEntrySize = 24;
constexpr DWORD kGdiEntryCount = 0x10000;
constexpr DWORD kGdiTypeOffset = 14;
constexpr DWORD kGdiExtTypeOffset = 12;
constexpr unsigned char kGdiStockFlag = 0x80;

// USER_HZ, the unit of /proc/<pid>/stat times, is fixed at 100 on x86 Linux.
constexpr double kLinuxTicksPerSecond = 100.0;

constexpr double kMiB = 1024.0 * 1024.0;

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;  // 100 ns units
}

// A figure and whether anything measured it.
struct Figure {
  double value = 0;
  bool known = false;
};

struct Sample {
  double at = 0;             // seconds since the first sample
  Figure cpu_process;        // GetProcessTimes
  Figure cpu_own;            // GetProcessTimes of this program, to tell Wine's answer apart
  Figure cpu_threads;        // sum of GetThreadTimes over its threads
  int threads = 0;           // threads the sum covers
  Figure handles_api;        // GetProcessHandleCount
  Figure handles_system;     // the system's handle table
  Figure gdi_api;            // GetGuiResources
  Figure gdi_table;          // its own GDI table, stock objects left out
  Figure user_api;           // GetGuiResources
  Figure windows;            // its windows, message-only ones included
  Figure working_set;        // bytes
  Figure private_bytes;      // bytes
  bool private_is_pagefile = false;  // PrivateUsage not filled: PagefileUsage, which Windows keeps equal
  Figure linux_cpu;          // /proc/<pid>/stat utime + stime, seconds
  Figure linux_run;          // /proc/<pid>/schedstat time on a CPU, seconds
  Figure linux_rss;          // /proc/<pid>/status VmRSS, bytes
  Figure linux_anon;         // /proc/<pid>/status RssAnon, bytes
};

class Probe {
 public:
  Probe(HANDLE process, DWORD process_id, DWORD linux_pid)
      : process_(process), process_id_(process_id), linux_pid_(linux_pid) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    query_system_ = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    query_process_ = reinterpret_cast<QueryInformationProcess>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")));
  }

  Sample Take() {
    Sample sample;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(process_, &created, &exited, &kernel, &user)) {
      sample.cpu_process = {Seconds(kernel) + Seconds(user), true};
    }
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
      sample.cpu_own = {Seconds(kernel) + Seconds(user), true};
    }
    sample.cpu_threads = ThreadTimes(&sample.threads);
    DWORD count = 0;
    if (GetProcessHandleCount(process_, &count)) sample.handles_api = {static_cast<double>(count), true};
    sample.handles_system = SystemHandles();
    SetLastError(0);
    DWORD gdi = GetGuiResources(process_, GR_GDIOBJECTS);
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) sample.gdi_api = {static_cast<double>(gdi), true};
    sample.gdi_table = GdiTable();
    SetLastError(0);
    DWORD user_objects = GetGuiResources(process_, GR_USEROBJECTS);
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) sample.user_api = {static_cast<double>(user_objects), true};
    sample.windows = Windows();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
      sample.working_set = {static_cast<double>(memory.WorkingSetSize), true};
      // A system that fills only the older record says so in cb.
      sample.private_is_pagefile = memory.cb < sizeof(memory);
      SIZE_T bytes = sample.private_is_pagefile ? memory.PagefileUsage : memory.PrivateUsage;
      sample.private_bytes = {static_cast<double>(bytes), true};
    }
    if (linux_pid_) ReadLinuxProcess(&sample);
    return sample;
  }

 private:
  // Only threads alive now are counted; the Linux figure covers ended ones.
  Figure ThreadTimes(int* threads) const {
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.get()) return {};
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    double total = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
      if (entry.th32OwnerProcessID != process_id_) continue;
      ScopedHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
      FILETIME created, exited, kernel, user;
      if (!thread.get() || !GetThreadTimes(thread.get(), &created, &exited, &kernel, &user)) continue;
      total += Seconds(kernel) + Seconds(user);
      ++*threads;
    }
    if (*threads == 0) return {};
    return {total, true};
  }

  Figure SystemHandles() {
    if (!query_system_) return {};
    if (handle_buffer_.empty()) handle_buffer_.resize(1 << 16);
    NtStatus status;
    for (;;) {
      ULONG needed = 0;
      status = query_system_(kSystemExtendedHandleInformation, handle_buffer_.data(),
                             static_cast<ULONG>(handle_buffer_.size()), &needed);
      if (status != kInfoLengthMismatch) break;
      // Handles come and go between two calls: some room to spare.
      handle_buffer_.resize(std::max<size_t>(handle_buffer_.size() * 2, needed + 4096));
    }
    if (status != 0) return {};
    const auto* table = reinterpret_cast<const HandleTable*>(handle_buffer_.data());
    size_t room = (handle_buffer_.size() - sizeof(HandleTable)) / sizeof(HandleEntry);
    if (table->count > room) return {};
    const auto* entries = reinterpret_cast<const HandleEntry*>(table + 1);
    double count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) {
      if (entries[i].process_id == process_id_) ++count;
    }
    return {count, true};
  }

  Figure GdiTable() const {
    BasicInformation basic{};
    ULONG length = 0;
    if (!query_process_ || query_process_(process_, kProcessBasicInformation, &basic, sizeof(basic), &length) != 0 ||
        !basic.peb) {
      return {};
    }
    DWORD table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process_, static_cast<char*>(basic.peb) + kPebGdiTableOffset, &table, sizeof(table),
                           &read) ||
        read != sizeof(table) || !table) {
      return {};
    }
    // Read in blocks up to the first block never used, so that a sample
    // does not copy the whole 1.5 MiB table out of the process.
    constexpr DWORD kBlockEntries = 2048;
    std::vector<unsigned char> block(kBlockEntries * kGdiEntrySize);
    double count = 0;
    for (DWORD first = 0; first < kGdiEntryCount; first += kBlockEntries) {
      if (!ReadProcessMemory(process_, reinterpret_cast<const void*>(table + first * kGdiEntrySize), block.data(),
                             block.size(), &read) ||
          read != block.size()) {
        return {};
      }
      bool used = false;
      for (DWORD i = 0; i < kBlockEntries; ++i) {
        const unsigned char* entry = &block[i * kGdiEntrySize];
        for (DWORD b = 0; b < kGdiEntrySize && !used; ++b) used = entry[b] != 0;
        // Stock objects belong to the system on Windows, which does not count them.
        if (entry[kGdiTypeOffset] != 0 && !(entry[kGdiExtTypeOffset] & kGdiStockFlag)) ++count;
      }
      if (!used) break;
    }
    return {count, true};
  }

  struct WindowCount {
    DWORD process_id;
    double count;
  };

  static BOOL CALLBACK CountChild(HWND window, LPARAM context) {
    auto* windows = reinterpret_cast<WindowCount*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == windows->process_id) ++windows->count;
    return TRUE;
  }

  static BOOL CALLBACK CountTopLevel(HWND window, LPARAM context) {
    CountChild(window, context);
    EnumChildWindows(window, CountChild, context);
    return TRUE;
  }

  // Windows are the one kind of USER object another process can see under Wine.
  Figure Windows() const {
    WindowCount windows{process_id_, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
      CountTopLevel(window, reinterpret_cast<LPARAM>(&windows));
    }
    return {windows.count, true};
  }

  // Wine maps the Linux root to Z:.
  static std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
      char buffer[4096];
      size_t got;
      while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, got);
      std::fclose(file);
    }
    return text;
  }

  void ReadLinuxProcess(Sample* sample) const {
    std::string folder = "Z:\\proc\\" + std::to_string(linux_pid_) + "\\";
    // proc(5): the command name in parentheses may hold spaces; utime and
    // stime are the 12th and 13th fields after it.
    std::string stat = ReadFile(folder + "stat");
    size_t name_end = stat.rfind(')');
    if (name_end != std::string::npos) {
      unsigned long long utime = 0, stime = 0;
      if (std::sscanf(stat.c_str() + name_end + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                      &utime, &stime) == 2) {
        sample->linux_cpu = {static_cast<double>(utime + stime) / kLinuxTicksPerSecond, true};
      }
    }
    // The scheduler's own count, in nanoseconds where stat has 10 ms ticks;
    // the kernel has it only with CONFIG_SCHED_INFO.
    unsigned long long run_ns = 0;
    if (std::sscanf(ReadFile(folder + "schedstat").c_str(), "%llu", &run_ns) == 1) {
      sample->linux_run = {static_cast<double>(run_ns) / 1e9, true};
    }
    std::string status = ReadFile(folder + "status");
    for (size_t at = 0; at < status.size();) {
      size_t end = status.find('\n', at);
      if (end == std::string::npos) end = status.size();
      std::string line = status.substr(at, end - at);
      unsigned long kilobytes = 0;
      if (std::sscanf(line.c_str(), "VmRSS: %lu", &kilobytes) == 1) {
        sample->linux_rss = {kilobytes * 1024.0, true};
      } else if (std::sscanf(line.c_str(), "RssAnon: %lu", &kilobytes) == 1) {
        sample->linux_anon = {kilobytes * 1024.0, true};
      }
      at = end + 1;
    }
  }

  HANDLE process_;
  DWORD process_id_;
  DWORD linux_pid_;
  QuerySystemInformation query_system_ = nullptr;
  QueryInformationProcess query_process_ = nullptr;
  std::vector<unsigned char> handle_buffer_;
};

// Wine 8 answers GetProcessTimes of another process with the caller's own
// times. A process's time is never below what its live threads used, and
// never equal to ours to the 100 ns but by that mistake.
bool ProcessTimesAnswer(const Sample& s) {
  return s.cpu_process.known && s.cpu_own.known && s.cpu_process.value != s.cpu_own.value &&
         (!s.cpu_threads.known || s.cpu_process.value >= s.cpu_threads.value);
}

// Every live process holds handles (at least its threads' and its image's),
// so a count of 0 is no answer.
bool HandleCountAnswer(const Sample& start, const Sample& end) {
  return start.handles_api.known && end.handles_api.known && start.handles_api.value > 0 &&
         end.handles_api.value > 0;
}

std::string Count(const Figure& figure) {
  return figure.known ? std::to_string(static_cast<long long>(figure.value)) : "?";
}

std::string MiB(const Figure& figure) {
  if (!figure.known) return "?";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f MiB", figure.value / kMiB);
  return text;
}

void PrintSampleHeader() {
  std::printf("  %8s %8s %8s %8s %6s %8s %10s %10s %10s\n", "t (s)", "cpu (s)", "threads", "handles", "gdi",
              "windows", "ws (MiB)", "priv (MiB)", "linux cpu");
}

void PrintSample(const Sample& s) {
  const Figure& cpu = ProcessTimesAnswer(s) ? s.cpu_process : s.cpu_threads;
  const Figure& handles = s.handles_api.known && s.handles_api.value > 0 ? s.handles_api : s.handles_system;
  const Figure& gdi = s.gdi_api.known ? s.gdi_api : s.gdi_table;
  std::printf("  %8.1f %8.2f %8d %8s %6s %8s %10.1f %10.1f %10.2f\n", s.at, cpu.value, s.threads,
              Count(handles).c_str(), Count(gdi).c_str(), Count(s.windows).c_str(), s.working_set.value / kMiB,
              s.private_bytes.value / kMiB, s.linux_cpu.value);
  std::fflush(stdout);
}

void PrintCpu(const char* label, int decimals, double start, double end, double seconds, const char* source) {
  double used = end - start;
  std::printf("  %-10s %.*f s over %.0f s  (%.*f s per hour)  [%s]\n", label, decimals, used, seconds, decimals - 1,
              seconds > 0 ? used * 3600.0 / seconds : 0.0, source);
}

void PrintSummary(const Sample& start, const Sample& end, DWORD linux_pid) {
  double seconds = end.at - start.at;
  if (ProcessTimesAnswer(start) && ProcessTimesAnswer(end)) {
    PrintCpu("cpu", 2, start.cpu_process.value, end.cpu_process.value, seconds, "GetProcessTimes, user + kernel");
  } else if (start.cpu_threads.known && end.cpu_threads.known) {
    std::string source = "GetThreadTimes summed over its " + std::to_string(end.threads) +
                         " thread(s), user + kernel; GetProcessTimes answers the caller's own times here";
    PrintCpu("cpu", 2, start.cpu_threads.value, end.cpu_threads.value, seconds, source.c_str());
  } else {
    std::printf("  %-10s not measurable under Wine\n", "cpu");
  }
  if (start.linux_cpu.known && end.linux_cpu.known) {
    std::string source = "/proc/" + std::to_string(linux_pid) + "/stat of its Linux process, utime + stime";
    PrintCpu("", 2, start.linux_cpu.value, end.linux_cpu.value, seconds, source.c_str());
  }
  if (start.linux_run.known && end.linux_run.known) {
    std::string source = "/proc/" + std::to_string(linux_pid) + "/schedstat, its time on a CPU in ns; the lines above "
                         "count 10 ms ticks";
    PrintCpu("", 3, start.linux_run.value, end.linux_run.value, seconds, source.c_str());
  }

  if (HandleCountAnswer(start, end)) {
    std::printf("  %-10s start %s  end %s  [GetProcessHandleCount]\n", "handles", Count(start.handles_api).c_str(),
                Count(end.handles_api).c_str());
  } else if (start.handles_system.known && end.handles_system.known) {
    std::printf("  %-10s start %s  end %s  [NtQuerySystemInformation(SystemExtendedHandleInformation), its entries; "
                "GetProcessHandleCount answers 0 here]\n",
                "handles", Count(start.handles_system).c_str(), Count(end.handles_system).c_str());
  } else {
    std::printf("  %-10s not measurable under Wine\n", "handles");
  }

  if (start.gdi_api.known && end.gdi_api.known) {
    std::printf("  %-10s start %s  end %s  [GetGuiResources(GR_GDIOBJECTS)]\n", "gdi", Count(start.gdi_api).c_str(),
                Count(end.gdi_api).c_str());
  } else if (start.gdi_table.known && end.gdi_table.known) {
    std::printf("  %-10s start %s  end %s  [its GDI handle table, read through its PEB, stock objects left out; "
                "GetGuiResources is not implemented here]\n",
                "gdi", Count(start.gdi_table).c_str(), Count(end.gdi_table).c_str());
  } else {
    std::printf("  %-10s not measurable under Wine\n", "gdi");
  }

  if (start.user_api.known && end.user_api.known) {
    std::printf("  %-10s start %s  end %s  [GetGuiResources(GR_USEROBJECTS)]\n", "user", Count(start.user_api).c_str(),
                Count(end.user_api).c_str());
  } else {
    std::printf("  %-10s not measurable under Wine (GetGuiResources is not implemented)\n", "user");
  }
  std::printf("  %-10s start %s  end %s  [its windows, message-only ones included: the only USER objects "
              "another process can see]\n",
              "windows", Count(start.windows).c_str(), Count(end.windows).c_str());

  if (start.private_bytes.known && end.private_bytes.known) {
    std::printf("  %-10s start %s  end %s (private)  [GetProcessMemoryInfo %s]\n", "memory",
                MiB(start.private_bytes).c_str(), MiB(end.private_bytes).c_str(),
                end.private_is_pagefile ? "PagefileUsage, as PrivateUsage is not filled here" : "PrivateUsage");
    std::printf("  %-10s start %s  end %s (working set)  [GetProcessMemoryInfo WorkingSetSize]\n", "",
                MiB(start.working_set).c_str(), MiB(end.working_set).c_str());
  } else {
    std::printf("  %-10s not measurable under Wine\n", "memory");
  }
  if (start.linux_rss.known && end.linux_rss.known) {
    std::printf("  %-10s start %s  end %s (resident), anonymous %s to %s  [/proc/%lu/status VmRSS, RssAnon]\n", "",
                MiB(start.linux_rss).c_str(), MiB(end.linux_rss).c_str(), MiB(start.linux_anon).c_str(),
                MiB(end.linux_anon).c_str(), linux_pid);
  }
}

DWORD FindProcess(const char* name) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.get()) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) == 0) return entry.th32ProcessID;
  }
  return 0;
}

// The process to measure, found by name or started from a command line; null
// with a message when there is none.
HANDLE OpenTarget(const char* find, int argc, char** argv, int at, DWORD* process_id) {
  if (find) {
    *process_id = FindProcess(find);
    if (!*process_id) {
      std::fprintf(stderr, "process-cost: no process %s runs\n", find);
      return nullptr;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, *process_id);
    if (!process) std::fprintf(stderr, "process-cost: cannot open process %lu (error %lu)\n", *process_id, GetLastError());
    return process;
  }
  std::string command = std::string("\"") + argv[at] + "\"";
  for (int i = at + 1; i < argc; ++i) command += std::string(" ") + argv[i];
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    std::fprintf(stderr, "process-cost: cannot start %s (error %lu)\n", argv[at], GetLastError());
    return nullptr;
  }
  CloseHandle(started.hThread);
  // Its start-up is not what is measured: wait until it waits for input.
  WaitForInputIdle(started.hProcess, 10000);
  *process_id = started.dwProcessId;
  return started.hProcess;
}

int Usage() {
  std::fprintf(stderr,
               "usage: process-cost <seconds> [--every M] [--linux-pid P] (--find <name.exe> | <program.exe> "
               "[arguments...])\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  double seconds = std::atof(argv[1]);
  double every = 0;
  DWORD linux_pid = 0;
  const char* find = nullptr;
  int at = 2;
  for (; at < argc; ++at) {
    if (std::strcmp(argv[at], "--every") == 0 && at + 1 < argc) {
      every = std::atof(argv[++at]);
    } else if (std::strcmp(argv[at], "--linux-pid") == 0 && at + 1 < argc) {
      linux_pid = static_cast<DWORD>(std::strtoul(argv[++at], nullptr, 10));
    } else if (std::strcmp(argv[at], "--find") == 0 && at + 1 < argc) {
      find = argv[++at];
    } else {
      break;
    }
  }
  if (seconds <= 0 || (!find && at >= argc)) return Usage();

  DWORD process_id = 0;
  ScopedHandle process(OpenTarget(find, argc, argv, at, &process_id));
  if (!process.get()) return 1;

  Probe probe(process.get(), process_id, linux_pid);
  ULONGLONG origin = GetTickCount64();
  Sample start = probe.Take();
  if (every > 0) {
    PrintSampleHeader();
    PrintSample(start);
  }
  Sample last = start;
  double step = every > 0 && every < seconds ? every : seconds;
  for (double next = step;; next += step) {
    if (next > seconds) next = seconds;
    LONGLONG wait = static_cast<LONGLONG>(next * 1000) - static_cast<LONGLONG>(GetTickCount64() - origin);
    if (WaitForSingleObject(process.get(), wait > 0 ? static_cast<DWORD>(wait) : 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.get(), &code);
      std::fprintf(stderr, "process-cost: the process ended after %.1f s, exit code %lu\n",
                   (GetTickCount64() - origin) / 1000.0, code);
      return 1;
    }
    double now = (GetTickCount64() - origin) / 1000.0;
    last = probe.Take();
    last.at = now;
    if (every > 0) PrintSample(last);
    if (next >= seconds) break;
  }
  PrintSummary(start, last, linux_pid);
  return 0;
}
