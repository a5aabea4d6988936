// The dispatch engine: input selection against a bare listing of the same
// folder, and receipts per minute through the real print-driver simulator
// against the floor the cycle's own waits allow.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bench_support.h"
#include "driverlink/folder_source.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/system_clock.h"
#include "real_programs.h"

namespace {

using namespace dorvane;
using bench::TempDir;

// ---- Input selection ----

// A folder of `count` receipts, made once per size and kept for the run.
const TempDir& Folder(int count) {
  static std::map<int, std::unique_ptr<TempDir>> folders;
  auto& dir = folders[count];
  if (!dir) {
    dir = std::make_unique<TempDir>(bench::Places().front());
    bench::WriteFiles(*dir, static_cast<std::size_t>(count), "R", "PLUD,C1,N1,P100,:A;\r\n");
  }
  return *dir;
}

// The engine's choice alone, on settings that take every file: from the
// folder's index, or listing the folder each time as where it is not watched.
struct QuietHost : JobHost {
  void LogEvent(const std::string&, const std::string&) override {}
  void ShowResult(const std::string&) override {}
  void ShowSelectedFile(const std::string&) override {}
  void PaintResetButton(bool) override {}
  void ShowConnection(bool) override {}
  void ShowMessage(const std::string&) override {}
  void SetTrayTip(const std::string&) override {}
  void SleepDelay(double) override {}
  void ProcessEvents() override {}
  void EndNow(int) override {}
  void StripLeadingStar(Extension) override {}
  void DumpState() override {}
};

void Select(benchmark::State& state) {
  const TempDir& dir = Folder(static_cast<int>(state.range(0)));
  PosixFileSystem fs;
  SystemClock clock;
  NoProcesses processes;
  QuietHost host;
  LinkSettings settings;
  settings.fileFilter = "*";
  settings.inputDir = dir.path();
  DriverLink link(fs, clock, processes, [&] { return settings; }, host);
  link.TakeSettings();
  InputSelection selection(link);
  FolderReach reach(link);
  FolderSource folder(link, selection, reach);
  // Watched: the index is made once, and each choice reads one key again.
  folder.Changed({}, state.range(1) != 0);
  for (auto _ : state) {
    std::optional<InputChoice> name = folder.Oldest();
    if (!name) {
      state.SkipWithError("nothing selected");
      break;
    }
    benchmark::DoNotOptimize(name);
  }
}

// What any selection must do at least: list the folder and ask every file's
// creation time.
void Listing(benchmark::State& state) {
  const TempDir& dir = Folder(static_cast<int>(state.range(0)));
  PosixFileSystem fs;
  for (auto _ : state) {
    std::vector<std::string> names;
    fs.ListFiles(dir.path(), names);
    LocalDateTime oldest{9999};
    for (const std::string& name : names) {
      LocalDateTime t;
      if (fs.CreationTime(dir.File(name), t) && t < oldest) oldest = t;
    }
    benchmark::DoNotOptimize(oldest);
  }
}

// ---- Receipts per minute through kkora1 ----

constexpr int kReceipts = 40;
constexpr int kIntervalMs = 100;
// Per job the cycle itself waits 300 ms once FINESCO is there; early ticks
// spare it the waits for the timer, before the verdict is read and before
// the next hand-off.
constexpr double kFloorSeconds = 0.3;

// Arguments: 1 for a folder on disk (else the RAM file system), 1 for a run
// without the flushes that make each step durable.
void ThroughKora1(benchmark::State& state) {
  const bench::Place disk{"tmp", std::filesystem::temp_directory_path().string(), "disk"};
  for (auto _ : state) {
    bench::RealShop shop(std::to_string(kIntervalMs), state.range(0) ? disk : bench::Places().front());
    if (!shop.StartKora1()) {
      state.SkipWithError("kkora1 did not start");
      break;
    }
    for (int i = 0; i < kReceipts; ++i)
      bench::WriteFile(shop.File("in/R" + std::to_string(1000 + i) + ".001"), "PLUD,C1,N1,P100,:A;\r\nCASH,V100,:C;\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // no longer being written

    std::vector<std::string> env;
    if (state.range(1)) env.push_back("DORVANE_BENCH_NO_FLUSH=1");
    shop.StartDorvane(env, true);
    const bool first = bench::WaitUntil(30, [&] { return shop.Outputs() >= 1; });
    const auto start = std::chrono::steady_clock::now();
    const bool all = first && bench::WaitUntil(120, [&] { return shop.Outputs() >= kReceipts; });
    const double span = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!all) {
      state.SkipWithError("not every receipt was filed");
      break;
    }
    // From the first filing to the last: kReceipts - 1 whole jobs.
    state.SetIterationTime(span / (kReceipts - 1));
  }
  state.counters["receipts_per_minute"] = benchmark::Counter(60, benchmark::Counter::kIsIterationInvariantRate);
}

void Floor(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(kFloorSeconds);
  state.counters["receipts_per_minute"] = benchmark::Counter(60, benchmark::Counter::kIsIterationInvariantRate);
}

const bool kRegistered = [] {
  for (int count : {1000, 10000, 100000}) {
    const std::string n = std::to_string(count);
    benchmark::RegisterBenchmark("select/unwatched", Select)->Args({count, 0})->Unit(benchmark::kMillisecond)
        ->Repetitions(3)->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("select/indexed", Select)->Args({count, 1})->Unit(benchmark::kMillisecond)
        ->Repetitions(3)->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("listing", Listing)->Arg(count)->Unit(benchmark::kMillisecond)->Repetitions(3)
        ->ReportAggregatesOnly(true);
    bench::AddRatio("unwatched selection over " + n + " files / bare listing", "select/unwatched/" + n + "/0",
                    "listing/" + n);
    bench::AddRatio("indexed selection over " + n + " files / bare listing", "select/indexed/" + n + "/1",
                    "listing/" + n);
  }
  for (const auto& [name, onDisk, noFlush] : {std::tuple{"job/through-kkora1", 0, 0}, {"job/disk", 1, 0},
                                               {"job/disk-without-flushes", 1, 1}})
    benchmark::RegisterBenchmark(name, ThroughKora1)->Args({onDisk, noFlush})->Iterations(1)->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("job/floor", Floor)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  bench::AddRatio("time per receipt through kkora1 (100 ms cycle) / the cycle's own floor", "job/through-kkora1/0/0",
                  "job/floor");
  bench::AddRatio("time per receipt on disk, flushed / the cycle's own floor", "job/disk/1/0", "job/floor", 1 / 0.97);
  bench::AddRatio("time per receipt on disk, flushed / not flushed", "job/disk/1/0", "job/disk-without-flushes/1/1");
  return true;
}();

}  // namespace
