// A long queue, on the real dorvane and kkora1 (100 ms cycle): the CPU a
// filed job costs DORVANE and the time it takes, over 200 filings with 100,
// 20,000 and 100,000 receipts waiting (kept waiting: a new one for each one
// filed); the window is longer than the index's safety-net period, so it
// holds a listing of the whole folder. Then how soon a wake-up from another
// thread reaches the loop of the console front end, and of the Qt one.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "platform/posix/inotify_watcher.h"
#include "platform/posix/poll_waker.h"
#include "real_programs.h"

#ifdef DORVANE_BENCH_QT
#include <QCoreApplication>
#include <QTimer>
#endif

namespace {

using namespace dorvane;
using Clock = std::chrono::steady_clock;

constexpr int kJobs = 200;
constexpr const char* kReceipt = "PLUD,C1,N1,P100,:A;\r\nCASH,V100,:C;\r\n";

// User and system CPU of a process so far, in ms.
double CpuMs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Window {
  double seconds = 0;  // per filed job
  double cpuMs = 0;    // per filed job
  std::string error;
};

// 200 filings with `waiting` receipts waiting, kept waiting: one new receipt
// for each one filed.
Window Drain(int waiting) {
  Window w;
  bench::RealShop shop("100");
  for (int i = 0; i < waiting; ++i) bench::WriteFile(shop.File("in/Q" + std::to_string(1000000 + i) + ".001"), kReceipt);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // written long enough ago
  if (!shop.StartKora1() || !shop.StartDorvane({})) return {0, 0, "the programs did not start"};
  if (!bench::WaitUntil(300, [&] { return shop.Outputs() >= 1; })) return {0, 0, "nothing was filed"};
  const int first = shop.Outputs();
  const double cpu0 = CpuMs(shop.Dorvane());
  const auto t0 = Clock::now();
  int fed = 0;
  const bool done = bench::WaitUntil(600, [&] {
    const int filed = shop.Outputs() - first;
    for (; fed < filed; ++fed) bench::WriteFile(shop.File("in/Z" + std::to_string(1000000 + fed) + ".001"), kReceipt);
    return filed >= kJobs;
  });
  if (!done) return {0, 0, "the queue did not drain"};
  w.seconds = std::chrono::duration<double>(Clock::now() - t0).count() / kJobs;
  w.cpuMs = (CpuMs(shop.Dorvane()) - cpu0) / kJobs;
  return w;
}

void Queue(benchmark::State& state) {
  for (auto _ : state) {
    const Window w = Drain(static_cast<int>(state.range(0)));
    if (!w.error.empty()) {
      state.SkipWithError(w.error.c_str());
      break;
    }
    state.SetIterationTime(w.seconds);
    state.counters["cpu_ms_per_job"] = w.cpuMs;
  }
}

// The CPU a filed job costs with 100,000 waiting above its cost with 100,
// the two windows one after the other.
void QueueCpu(benchmark::State& state) {
  for (auto _ : state) {
    const Window small = Drain(100), large = Drain(100000);
    if (!small.error.empty() || !large.error.empty()) {
      state.SkipWithError((small.error + large.error).c_str());
      break;
    }
    state.SetIterationTime(large.seconds);
    state.counters["cpu_ms_per_job_100"] = small.cpuMs;
    state.counters["cpu_ms_per_job_100000"] = large.cpuMs;
    state.counters["cpu_ms_above_100_waiting"] = large.cpuMs - small.cpuMs;
  }
}

// ---- From a wake-up on another thread to the loop's pump ----

constexpr int kWakeUps = 200;

// Wakes `waker` kWakeUps times at odd moments, each once the last was seen.
class Waking {
 public:
  explicit Waking(Waker& waker)
      : thread_([this, &waker] {
          for (int i = 0; i < kWakeUps; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(i * 7919 % 20000));
            sentAt_ = Clock::now();
            seen_ = false;
            waker.Wake();
            while (!seen_) std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
        }) {}
  ~Waking() { thread_.join(); }
  // The loop's pump saw a wake-up.
  void Seen() {
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sentAt_.load()).count());
    seen_ = true;
  }
  bool Done() const { return ms.size() >= kWakeUps; }
  std::vector<double> ms;

 private:
  std::atomic<Clock::time_point> sentAt_{};
  std::atomic<bool> seen_{true};
  std::thread thread_;
};

// The console loop: it waits on its waker, the folder watcher's descriptor
// among what wakes it, for up to a second at a time.
void ConsoleWakeUp(benchmark::State& state) {
  for (auto _ : state) {
    InotifyWatcher watcher;
    PollWaker waker(watcher.PollFd());
    std::vector<double> ms;
    {
      Waking waking(waker);
      while (!waking.Done()) {
        waker.Wait(1000);
        if (waker.TakeWoken()) waking.Seen();
      }
      ms = waking.ms;
    }
    bench::ReportLatencies(state, ms);
  }
}

#ifdef DORVANE_BENCH_QT
// The Qt loop: its 25 ms pump timer, and the event a wake-up posts to it.
void QtWakeUp(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "dorvane_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  for (auto _ : state) {
    QTimer pump;
    std::vector<double> ms;
    std::function<void()> pumpOnce;
    PostingWaker waker([&] { QMetaObject::invokeMethod(&pump, [&] { pumpOnce(); }, Qt::QueuedConnection); });
    {
      Waking waking(waker);
      pumpOnce = [&] {
        if (waker.TakeWoken()) waking.Seen();
        if (waking.Done()) app.quit();
      };
      QObject::connect(&pump, &QTimer::timeout, pumpOnce);
      pump.start(25);
      app.exec();
      ms = waking.ms;
    }
    bench::ReportLatencies(state, ms);
  }
}
#endif

const bool kRegistered = [] {
  for (int waiting : {100, 20000})
    benchmark::RegisterBenchmark("queue", Queue)->Arg(waiting)->Iterations(1)->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("queue/cpu", QueueCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  bench::AddRatio("time per filed job with 20,000 waiting / with 100 waiting (drain 100/20,000 >= 0.95)",
                  "queue/20000", "queue/100", 1 / 0.95);
  bench::AddGoal("DORVANE CPU per filed job with 100,000 waiting, ms above 100 waiting", "queue/cpu",
                 "cpu_ms_above_100_waiting", 1.0, true);
  benchmark::RegisterBenchmark("wake-up/console", ConsoleWakeUp)->Iterations(1)->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  bench::AddGoal("wake-up on another thread -> console loop, p95 ms", "wake-up/console", "p95_ms", 10, true);
#ifdef DORVANE_BENCH_QT
  benchmark::RegisterBenchmark("wake-up/qt", QtWakeUp)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  bench::AddGoal("wake-up on another thread -> Qt loop, p95 ms", "wake-up/qt", "p95_ms", 10, true);
#endif
  return true;
}();

}  // namespace
