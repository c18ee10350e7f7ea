// The dialog's scan of the installed profiles (open, description, vcgt test,
// close, for every profile) against lcms2 doing the same and against the
// least file work the scan needs (least_io_scan.h).
//
// The profiles are the real ones Debian ships (colord-data, icc-profiles-free,
// argyll-ref: 51 files under /usr/share/color), copied round-robin under
// distinct names into one folder of the build tree until there are
// kProfileCount of them, so that the file system and its cache deal with as
// many files as a well-stocked colour directory has. Every side scans the same
// folder in the same order; the first pass (outside the timing) warms the cache.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "icc/benchmarks/least_io_scan.h"
#include "icc/description.h"
#include "icc/profile.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kProfileCount = 1176;

std::vector<fs::path> ShippedProfiles() {
  std::vector<fs::path> paths;
  for (const char* root : {"/usr/share/color/icc", "/usr/share/color/argyll/ref"}) {
    std::error_code error;
    fs::recursive_directory_iterator it(root, error), end;
    for (; !error && it != end; it.increment(error)) {
      std::string extension = it->path().extension().string();
      for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if ((extension == ".icc" || extension == ".icm") && it->is_regular_file(error)) {
        paths.push_back(it->path());
      }
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The folder of copies, made once; a folder of the wrong count is made again.
const std::vector<std::string>& ProfileSet() {
  static const std::vector<std::string> set = [] {
    fs::path folder = fs::path(LUMETRA_BINARY_DIR) / "profile-scan-set";
    std::vector<fs::path> shipped = ShippedProfiles();
    std::vector<std::string> paths;
    if (shipped.empty()) return paths;
    std::error_code error;
    size_t present = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++present;
    if (present != kProfileCount) {
      fs::remove_all(folder, error);
      fs::create_directories(folder);
    }
    for (size_t i = 0; i < kProfileCount; ++i) {
      const fs::path& original = shipped[i % shipped.size()];
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "%04zu-", i);
      fs::path copy = folder / (prefix + original.filename().string());
      if (present != kProfileCount) fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
      paths.push_back(copy.string());
    }
    return paths;
  }();
  return set;
}

struct ScanCounts {
  int64_t listed = 0;     // profiles that opened
  int64_t described = 0;  // of these, with a description
  int64_t marked = 0;     // of these, with a vcgt tag
};

// As the dialog fills its list.
ScanCounts ScanOurs(const std::vector<std::string>& paths) {
  ScanCounts counts;
  for (const std::string& path : paths) {
    lumetra::IccProfile* profile = nullptr;
    if (lumetra::OpenProfile(&profile, path.c_str()) != lumetra::kOk) continue;
    ++counts.listed;
    char description[lumetra::kDescriptionBufferSize] = {};
    if (lumetra::GetProfileDescription(profile, description) == lumetra::kOk) ++counts.described;
    bool has_table = false;
    if (lumetra::HasTag(profile, lumetra::Signature("vcgt"), &has_table) == lumetra::kOk && has_table) {
      ++counts.marked;
    }
    benchmark::DoNotOptimize(description);
    lumetra::CloseProfile(profile);
  }
  return counts;
}

ScanCounts ScanLcms2(const std::vector<std::string>& paths) {
  ScanCounts counts;
  for (const std::string& path : paths) {
    cmsHPROFILE profile = cmsOpenProfileFromFile(path.c_str(), "r");
    if (!profile) continue;
    ++counts.listed;
    char description[256] = {};
    if (cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", description, sizeof description) > 0) {
      ++counts.described;
    }
    if (cmsIsTag(profile, cmsSigVcgtTag)) ++counts.marked;
    benchmark::DoNotOptimize(description);
    cmsCloseProfile(profile);
  }
  return counts;
}

ScanCounts ScanLeastIo(const std::vector<std::string>& paths) {
  ScanCounts counts;
  for (const std::string& path : paths) {
    lumetra::bench::LeastIoResult result;
    if (!lumetra::bench::LeastIoScan(path.c_str(), &result)) continue;
    ++counts.listed;
    if (result.description[0]) ++counts.described;
    if (result.has_vcgt) ++counts.marked;
    benchmark::DoNotOptimize(result);
  }
  return counts;
}

template <ScanCounts (*Scan)(const std::vector<std::string>&)>
void ScanBenchmark(benchmark::State& state) {
  const std::vector<std::string>& paths = ProfileSet();
  if (paths.size() != kProfileCount) {
    state.SkipWithError("no profiles under /usr/share/color");
    return;
  }
  ScanCounts counts = Scan(paths);
  for (auto _ : state) counts = Scan(paths);
  // What each side found: the same files, so the same counts, or the
  // comparison is not one.
  state.counters["profiles"] = static_cast<double>(counts.listed);
  state.counters["described"] = static_cast<double>(counts.described);
  state.counters["with_vcgt"] = static_cast<double>(counts.marked);
}

void BM_ProfileScanOurs(benchmark::State& state) { ScanBenchmark<ScanOurs>(state); }
void BM_ProfileScanLcms2(benchmark::State& state) { ScanBenchmark<ScanLcms2>(state); }
void BM_ProfileScanLeastIo(benchmark::State& state) { ScanBenchmark<ScanLeastIo>(state); }

}  // namespace

BENCHMARK(BM_ProfileScanOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileScanLcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileScanLeastIo)->Unit(benchmark::kMillisecond);
