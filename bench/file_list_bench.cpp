// Filling the file list from folders of 5,000, 20,000 and 80,000 files with the viewer's mask,
// against a baseline measured in the same run: one readdir pass matching the same patterns,
// collecting the names and sorting them with std::sort. The "vs_baseline" counter is the ratio
// of the two; "ns_per_file" shows how the fill grows with the folder.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fnmatch.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "browse/file_list_box.h"
#include "framework/application.h"
#include "framework/form.h"
#include "platform/path_conversion.h"
#include "resources/resources.h"

namespace {

using namespace lumivane;

constexpr const char* kViewerMask = "*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico";
const std::vector<std::string> kPatterns = {"*.bmp", "*.jpg", "*.jpeg", "*.jpe", "*.gif", "*.ico"};

// A folder of `count` empty files: half .jpg, some .bmp and .gif, the rest not matching.
class TBenchFolder {
 public:
  explicit TBenchFolder(int count) {
    char pattern[] = "/tmp/lumivane-filelist-bench-XXXXXX";
    native_ = mkdtemp(pattern);
    std::mt19937 random(static_cast<unsigned>(count));
    const char* extensions[] = {".jpg", ".jpg", ".jpg", ".jpg", ".jpg",
                                ".bmp", ".gif", ".JPG", ".txt", ".dat"};
    for (int i = 0; i < count; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "%s_%08x_%d%s", i % 3 ? "IMG" : "holiday",
                    static_cast<unsigned>(random()), i, extensions[i % 10]);
      std::ofstream(native_ + "/" + name);
    }
  }
  ~TBenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(native_, ignored);
  }
  const std::string& Native() const { return native_; }

 private:
  std::string native_;
};

TBenchFolder& FolderOf(int count) {
  static std::map<int, std::unique_ptr<TBenchFolder>> folders;
  auto& folder = folders[count];
  if (!folder) folder = std::make_unique<TBenchFolder>(count);
  return *folder;
}

// The baseline: what listing and sorting the matching names costs at the least.
std::vector<std::string> ListBaseline(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    for (const std::string& pattern : kPatterns) {
      if (fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD) == 0) {
        names.emplace_back(entry->d_name);
      }
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

double SecondsOfBaseline(const std::string& directory, int repetitions) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < repetitions; ++i) benchmark::DoNotOptimize(ListBaseline(directory));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / repetitions;
}

void BM_FileListFill(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const TBenchFolder& folder = FolderOf(count);
  TForm form(nullptr);
  auto* list = new TFileListBox(&form);
  list->SetParent(&form);
  list->SetMask(kViewerMask);
  list->SetDirectory(NativeToProgramPath(folder.Native()));
  list->HandleNeeded();  // the first fill

  double fillSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    list->UpdateList();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    fillSeconds += elapsed.count();
    benchmark::DoNotOptimize(list->Count());
  }
  fillSeconds /= static_cast<double>(state.iterations());
  const double baselineSeconds = SecondsOfBaseline(folder.Native(), 3);
  state.counters["items"] = list->Count();
  state.counters["vs_baseline"] = fillSeconds / baselineSeconds;
  state.counters["ns_per_file"] = fillSeconds * 1e9 / count;
}
BENCHMARK(BM_FileListFill)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

void BM_Baseline(benchmark::State& state) {
  const TBenchFolder& folder = FolderOf(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ListBaseline(folder.Native()));
}
BENCHMARK(BM_Baseline)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Application->Initialize();
  InitLumivaneResources();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
