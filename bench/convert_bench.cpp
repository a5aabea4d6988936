// The receipt converters through the hand-off's entry points, on the real file
// system in a scratch directory, against a plain copy of the same file by the
// same file-system port: what a job costs with conversion and without.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bench_support.h"
#include "convert/fasyvola.h"
#include "convert/itineris.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/system_clock.h"

namespace {

using namespace dorvane;
using bench::TempDir;

constexpr std::size_t kReceiptBytes = 2 * 1024;
constexpr std::size_t kLargeBytes = 10 * 1000 * 1000;

// One step of a job: turns the input file into a job file in dir; false when
// it failed, which stops the benchmark with an error.
using Step = bool (*)(FileSystem& fs, const TempDir& dir, const std::string& source);

bool Copy(FileSystem& fs, const TempDir& dir, const std::string& source) {
  return fs.Copy(source, dir.File("SR_DATI.00")).ok();
}

bool FasyVola(FileSystem& fs, const TempDir& dir, const std::string& source) {
  std::string job;
  return PrepareFasyVolaJob(fs, [](const std::string&) {}, dir.path(), source, false, job);
}

bool Itineris(FileSystem& fs, const TempDir& dir, const std::string& source) {
  static SystemClock clock;
  std::string job;
  return PrepareItinerisJob(fs, clock, dir.path(), source, job);
}

// Inputs are made once, before any timing, and shared by every place.
using Input = const std::string& (*)();
const std::string& FasyVolaReceipt() {
  static const std::string bytes = bench::FasyVolaReceipt(kReceiptBytes);
  return bytes;
}
const std::string& ItinerisReceipt() {
  static const std::string bytes = bench::ItinerisReceipt(kReceiptBytes);
  return bytes;
}
const std::string& FasyVolaLarge() {
  static const std::string bytes = bench::FasyVolaReceipt(kLargeBytes);
  return bytes;
}
const std::string& ItinerisLarge() {
  static const std::string bytes = bench::ItinerisReceipt(kLargeBytes);
  return bytes;
}

void Measure(benchmark::State& state, const bench::Place& place, Input input, Step step) {
  const std::string& bytes = input();
  TempDir dir(place);
  PosixFileSystem fs;
  std::string source = dir.File("R0001.IN");
  bench::WriteFile(source, bytes);
  for (auto _ : state) {
    if (!step(fs, dir, source)) {
      state.SkipWithError("the step failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// name/place; five interleaved repetitions, summarised by their median.
void Register(const std::string& name, const bench::Place& place, Input input, Step step, benchmark::TimeUnit unit) {
  benchmark::RegisterBenchmark((name + "/" + place.name).c_str(),
                               [&place, input, step](benchmark::State& state) { Measure(state, place, input, step); })
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(unit);
}

const bool kRegistered = [] {
  for (const bench::Place& place : bench::Places()) {
    Register("convert/fasyvola/2KB", place, FasyVolaReceipt, FasyVola, benchmark::kMicrosecond);
    Register("copy/fasyvola/2KB", place, FasyVolaReceipt, Copy, benchmark::kMicrosecond);
    Register("convert/itineris/2KB", place, ItinerisReceipt, Itineris, benchmark::kMicrosecond);
    Register("copy/itineris/2KB", place, ItinerisReceipt, Copy, benchmark::kMicrosecond);
    bench::AddRatio("fasyvola 2 KB conversion/copy in " + place.description, "convert/fasyvola/2KB/" + place.name,
                    "copy/fasyvola/2KB/" + place.name, 2.0);
    bench::AddRatio("itineris 2 KB conversion/copy in " + place.description, "convert/itineris/2KB/" + place.name,
                    "copy/itineris/2KB/" + place.name, 2.0);
  }
  // Throughput in the first place only, with a copy of the same size for scale.
  const bench::Place& first = bench::Places().front();
  Register("convert/fasyvola/10MB", first, FasyVolaLarge, FasyVola, benchmark::kMillisecond);
  Register("convert/itineris/10MB", first, ItinerisLarge, Itineris, benchmark::kMillisecond);
  Register("copy/10MB", first, ItinerisLarge, Copy, benchmark::kMillisecond);
  return true;
}();

}  // namespace
