// Runs every registered benchmark with the usual console table, then prints a
// summary: one line per ratio a benchmark file asked for (AddRatio), one per
// goal (AddGoal), then the rates (MB/s and any other per-second counter) of
// every benchmark that reports one. Exit status 1 when a benchmark stopped with an error.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using Run = benchmark::BenchmarkReporter::Run;

// The figures of one benchmark: the median of its repetitions, or its single
// run when it had none.
struct Figures {
  double realTime = 0;  // per iteration, in `unit`
  benchmark::TimeUnit unit = benchmark::kNanosecond;
  benchmark::UserCounters counters;
  bool fromMedian = false;
  std::int64_t family = 0;  // registration order
};

double Seconds(double value, benchmark::TimeUnit unit) {
  return value / benchmark::GetTimeUnitMultiplier(unit);
}

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      std::string key = run.run_name.function_name;
      if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
      if (run.error_occurred) {
        failed.push_back(key + ": " + run.error_message);
        continue;
      }
      Figures& f = figures[key];
      f.family = run.family_index;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median || (run.run_type == Run::RT_Iteration && !f.fromMedian)) {
        f.realTime = run.GetAdjustedRealTime();
        f.unit = run.time_unit;
        f.counters = run.counters;
        f.fromMedian = median;
      }
    }
  }

  std::map<std::string, Figures> figures;
  std::vector<std::string> failed;
};

void PrintSummary(const SummaryReporter& r) {
  std::printf("\nSummary (real time; medians of the repetitions)\n");
  for (const dorvane::bench::Ratio& ratio : dorvane::bench::Ratios()) {
    auto num = r.figures.find(ratio.numerator), den = r.figures.find(ratio.denominator);
    if (num == r.figures.end() || den == r.figures.end() || den->second.realTime <= 0) {
      std::printf("ratio %s: not measured\n", ratio.label.c_str());
      continue;
    }
    double value = Seconds(num->second.realTime, num->second.unit) / Seconds(den->second.realTime, den->second.unit);
    std::printf("ratio %s: %.3g", ratio.label.c_str(), value);
    if (ratio.goal > 0) std::printf("  (goal <= %.2f: %s)", ratio.goal, value <= ratio.goal ? "met" : "MISSED");
    std::printf("\n");
  }
  for (const dorvane::bench::Goal& goal : dorvane::bench::Goals()) {
    auto f = r.figures.find(goal.name);
    auto c = f == r.figures.end() ? nullptr : &f->second.counters;
    if (!c || !c->count(goal.counter)) {
      std::printf("goal %s: not measured\n", goal.label.c_str());
      continue;
    }
    const double value = c->at(goal.counter).value;
    const bool met = goal.atMost ? value <= goal.goal : value >= goal.goal;
    std::printf("goal %s: %.4g  (goal %s %.4g: %s)\n", goal.label.c_str(), value, goal.atMost ? "<=" : ">=", goal.goal,
                met ? "met" : "MISSED");
  }
  // Rates in registration order: the run order is shuffled.
  std::vector<std::pair<std::int64_t, std::string>> order;
  for (const auto& [key, f] : r.figures) order.emplace_back(f.family, key);
  std::sort(order.begin(), order.end());
  for (const auto& [family, key] : order) {
    const Figures& f = r.figures.at(key);
    for (const auto& [name, counter] : f.counters) {
      if (!(counter.flags & benchmark::Counter::kIsRate)) continue;
      if (name == "bytes_per_second")
        std::printf("rate %s: %.1f MB/s\n", key.c_str(), counter.value / 1e6);
      else
        std::printf("rate %s: %.6g %s\n", key.c_str(), counter.value, name.c_str());
    }
  }
  for (const std::string& failure : r.failed) std::printf("FAILED %s\n", failure.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Repetitions of different benchmarks are interleaved by default, so that
  // load from elsewhere on the machine falls on both sides of a ratio.
  std::vector<char*> args(argv, argv + argc);
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  bool given = false;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--benchmark_enable_random_interleaving", 38) == 0) given = true;
  if (!given) args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);

  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintSummary(reporter);
  return reporter.failed.empty() ? 0 : 1;
}
