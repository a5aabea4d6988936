// Early ticks against the timer alone, through the real kkora1 printing at
// once, at the default 2 s interval: how soon a receipt renamed into the
// input folder is handed over (SR_START written), how fast a queue drains,
// and what an idle program costs. "timer" is the same build run with
// DORVANE_TIMER_ONLY=1, as the program was before folder notifications;
// "floor" is what the work itself needs.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "platform/posix/inotify_watcher.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/posix/posix_processes.h"
#include "real_programs.h"

namespace {

using namespace dorvane;
using bench::RealShop;
using Clock = std::chrono::steady_clock;

constexpr const char* kInterval = "2";  // seconds: the default
constexpr const char* kReceipt = "PLUD,C1,N1,P100,:A;\r\nCASH,V100,:C;\r\n";

std::vector<std::string> Env(bool early) {
  return early ? std::vector<std::string>{} : std::vector<std::string>{"DORVANE_TIMER_ONLY=1"};
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---- A receipt renamed into the input folder, until SR_START is written ----

void Latency(benchmark::State& state, bool early) {
  constexpr int kDrops = 20;
  for (auto _ : state) {
    RealShop shop(kInterval);
    if (!shop.StartKora1() || !shop.StartDorvane(Env(early))) {
      state.SkipWithError("the programs did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // connected at the first tick
    InotifyWatcher watcher;
    watcher.Watch({shop.File("data/ZTKKORA1")});
    std::vector<double> ms;
    for (int i = 0; i < kDrops; ++i) {
      // Drops land anywhere in the timer's interval.
      std::this_thread::sleep_for(std::chrono::milliseconds(i * 617 % 2000));
      bench::WriteFile(shop.File("in/next.tmp"), kReceipt);
      watcher.TakeChanges();
      const std::string name = "in/R" + std::to_string(1000 + i) + ".001";
      const auto start = Clock::now();
      std::rename(shop.File("in/next.tmp").c_str(), shop.File(name).c_str());
      if (!bench::AwaitChange(watcher, shop.File("data/ZTKKORA1/SR_START.001"), 10)) {
        state.SkipWithError("SR_START never written");
        break;
      }
      ms.push_back(Ms(Clock::now() - start));
      if (!bench::WaitUntil(10, [&] { return shop.Outputs() > i; })) {
        state.SkipWithError("the receipt was not filed");
        break;
      }
    }
    if (ms.size() == kDrops) bench::ReportLatencies(state, ms);
  }
}

// What a hand-off needs at least: notice the rename, copy the job, write
// the start signal.
void LatencyFloor(benchmark::State& state) {
  for (auto _ : state) {
    bench::TempDir dir(bench::Places().front());
    PosixFileSystem files;
    InotifyWatcher watcher;
    watcher.Watch({dir.path()});
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
      bench::WriteFile(dir.File("next.tmp"), kReceipt);
      watcher.TakeChanges();
      const auto start = Clock::now();
      std::rename(dir.File("next.tmp").c_str(), dir.File("R.001").c_str());
      bench::AwaitChange(watcher, dir.File("R.001"), 10);
      files.Copy(dir.File("R.001"), dir.File("SR_DATI.001"));
      files.WriteAll(dir.File("SR_START.001"), "1\r\n");
      ms.push_back(Ms(Clock::now() - start));
    }
    bench::ReportLatencies(state, ms);
  }
}

// ---- A queue of receipts, drained ----

void Drain(benchmark::State& state, bool early) {
  // By the timer alone a hundred receipts take about seven minutes; its
  // rate is steady, so fifteen tell it.
  const int receipts = early ? 100 : 15;
  for (auto _ : state) {
    RealShop shop(kInterval);
    if (!shop.StartKora1()) {
      state.SkipWithError("kkora1 did not start");
      break;
    }
    for (int i = 0; i < receipts; ++i) bench::WriteFile(shop.File("in/R" + std::to_string(1000 + i) + ".001"), kReceipt);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // no longer being written, by any rule
    shop.StartDorvane(Env(early));
    const bool first = bench::WaitUntil(30, [&] { return shop.Outputs() >= 1; });
    const auto start = Clock::now();
    const bool all = first && bench::WaitUntil(600, [&] { return shop.Outputs() >= receipts; });
    if (!all) {
      state.SkipWithError("not every receipt was filed");
      break;
    }
    // From the first filing to the last: receipts - 1 whole jobs.
    state.SetIterationTime(Ms(Clock::now() - start) / 1000 / (receipts - 1));
  }
  state.counters["receipts_per_minute"] = benchmark::Counter(60, benchmark::Counter::kIsIterationInvariantRate);
}

// Per job the cycle itself waits 300 ms once FINESCO is there.
void DrainFloor(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(0.3);
  state.counters["receipts_per_minute"] = benchmark::Counter(60, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- Idle: nothing to print, KORA1 connected ----

std::int64_t CpuNs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  std::int64_t ns = 0;
  in >> ns;
  return ns;
}

void Idle(benchmark::State& state, bool early) {
  constexpr int kSeconds = 20;
  for (auto _ : state) {
    RealShop shop(kInterval);
    if (!shop.StartKora1() || !shop.StartDorvane(Env(early))) {
      state.SkipWithError("the programs did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // started and connected
    const std::int64_t before = CpuNs(shop.Dorvane());
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
    const double msPerMinute = static_cast<double>(CpuNs(shop.Dorvane()) - before) / 1e6 * 60 / kSeconds;
    state.SetIterationTime(msPerMinute / 1000);
    state.counters["cpu_ms_per_minute"] = msPerMinute;
  }
}

// What an idle tick must do, thirty times a minute: list the input folder,
// find SR_MATR, and see that KORA1's process still runs.
void IdleFloor(benchmark::State& state) {
  for (auto _ : state) {
    bench::TempDir dir(bench::Places().front());
    bench::WriteFile(dir.File("SR_MATR.001"), "1\r\n");
    PosixFileSystem files;
    PosixProcesses processes;
    constexpr int kTicks = 1000;
    const auto start = Clock::now();
    for (int i = 0; i < kTicks; ++i) {
      std::vector<std::string> names;
      files.ListFiles(dir.path(), names);
      benchmark::DoNotOptimize(files.Exists(dir.File("SR_MATR.001")));
      benchmark::DoNotOptimize(processes.ReadModule(::getpid()));
    }
    const double msPerMinute = Ms(Clock::now() - start) / kTicks * 30;
    state.SetIterationTime(msPerMinute / 1000);
    state.counters["cpu_ms_per_minute"] = msPerMinute;
  }
}

const bool kRegistered = [] {
  auto once = [](benchmark::internal::Benchmark* b) {
    b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  };
  for (bool early : {true, false}) {
    const std::string how = early ? "early" : "timer";
    once(benchmark::RegisterBenchmark(("wakeup/latency/" + how).c_str(), Latency, early));
    once(benchmark::RegisterBenchmark(("wakeup/drain/" + how).c_str(), Drain, early));
    once(benchmark::RegisterBenchmark(("wakeup/idle/" + how).c_str(), Idle, early));
  }
  once(benchmark::RegisterBenchmark("wakeup/latency/floor", LatencyFloor));
  once(benchmark::RegisterBenchmark("wakeup/drain/floor", DrainFloor));
  once(benchmark::RegisterBenchmark("wakeup/idle/floor", IdleFloor));
  for (const char* what : {"latency", "drain", "idle"}) {
    const std::string base = std::string("wakeup/") + what;
    bench::AddRatio(std::string(what) + " at 2 s, early ticks / timer alone", base + "/early", base + "/timer");
    bench::AddRatio(std::string(what) + " at 2 s, early ticks / floor", base + "/early", base + "/floor");
  }
  bench::AddGoal("receipt renamed in -> SR_START, p95 ms, early ticks", "wakeup/latency/early", "p95_ms", 150, true);
  bench::AddGoal("queue of 100 drained, receipts a minute, early ticks", "wakeup/drain/early", "receipts_per_minute",
                 80, false);
  bench::AddGoal("idle CPU ms a minute, early ticks", "wakeup/idle/early", "cpu_ms_per_minute", 10, true);
  return true;
}();

}  // namespace
