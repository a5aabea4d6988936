// The dispatch engine: input selection against a bare listing of the same
// folder, and receipts per minute through the real print-driver simulator
// against the floor the cycle's own waits allow.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bench_support.h"
#include "dispatch/dispatcher.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/system_clock.h"

extern char** environ;

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

void Select(benchmark::State& state) {
  const TempDir& dir = Folder(static_cast<int>(state.range(0)));
  PosixFileSystem fs;
  SystemClock clock;
  NoProcesses processes;
  FixedSystemInfo system;
  bench::SilentUi ui;
  Dispatcher d(fs, clock, processes, system, ui);
  d.Ctl().txtFileFilter.Set("*");
  for (auto _ : state) {
    std::string name = d.FindNewestFile(dir.path());
    if (name.empty()) {
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
// Per job the cycle needs one interval before the tick that hands it over
// has finished and the next one watches it, the 300 ms wait on FINESCO, and
// one interval before the next hand-off.
constexpr double kFloorSeconds = (2 * kIntervalMs + 300) / 1000.0;

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& output) {
  std::vector<std::string> environment(env);
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool WaitUntil(double seconds, const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Arguments: 1 for a folder on disk (else the RAM file system), 1 for a run
// without the flushes that make each step durable.
void ThroughKora1(benchmark::State& state) {
  namespace fs = std::filesystem;
  const bench::Place disk{"tmp", fs::temp_directory_path().string(), "disk"};
  for (auto _ : state) {
    TempDir tree(state.range(0) ? disk : bench::Places().front());
    for (const char* dir : {"app", "data/ZTKKORA1", "config", "run", "in", "out", "err"})
      fs::create_directories(tree.File(dir));
    std::vector<std::string> env{"DORVANE_HOME=" + tree.File("app"), "XDG_DATA_HOME=" + tree.File("data"),
                                 "XDG_CONFIG_HOME=" + tree.File("config"), "XDG_RUNTIME_DIR=" + tree.File("run")};
    if (state.range(1)) env.push_back("DORVANE_BENCH_NO_FLUSH=1");
    std::string config;
    for (const std::string& line : {std::string("1"), std::string("*.001"), std::string("  "), tree.File("in"),
                                    tree.File("out"), tree.File("err"), std::string(".OUT"), std::string(" 0 "),
                                    std::string(" 0 "), std::string(".ERR"), std::to_string(kIntervalMs)})
      config += line + "\r\n";
    bench::WriteFile(tree.File("app/DORVCONF.txt"), config);

    pid_t kora1 = Spawn({KKORA1_EXE, "0", "--dump-ms", "50", "--poll-ms", "5"}, env, tree.File("kkora1.txt"));
    if (kora1 < 0 || !WaitUntil(10, [&] { return fs::exists(tree.File("data/ZTKKORA1/SR_MATR.001")); })) {
      state.SkipWithError("kkora1 did not start");
      break;
    }
    for (int i = 0; i < kReceipts; ++i)
      bench::WriteFile(tree.File("in/R" + std::to_string(1000 + i) + ".001"), "PLUD,C1,N1,P100,:A;\r\nCASH,V100,:C;\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // no longer being written

    pid_t dorvane = Spawn({DORVANE_EXE, "--exit-when-done"}, env, tree.File("dorvane.txt"));
    auto outputs = [&] {
      int n = 0;
      for (const auto& entry : fs::directory_iterator(tree.File("out"))) n += entry.path().extension() == ".OUT";
      return n;
    };
    const bool first = WaitUntil(30, [&] { return outputs() >= 1; });
    const auto start = std::chrono::steady_clock::now();
    const bool all = first && WaitUntil(120, [&] { return outputs() >= kReceipts; });
    const double span = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int status = 0;
    ::kill(dorvane, SIGTERM);
    ::waitpid(dorvane, &status, 0);
    ::kill(kora1, SIGTERM);
    ::waitpid(kora1, &status, 0);
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
    benchmark::RegisterBenchmark("select", Select)->Arg(count)->Unit(benchmark::kMillisecond)->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("listing", Listing)->Arg(count)->Unit(benchmark::kMillisecond)->Repetitions(3)
        ->ReportAggregatesOnly(true);
    bench::AddRatio("input selection over " + n + " files / bare listing", "select/" + n, "listing/" + n);
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
