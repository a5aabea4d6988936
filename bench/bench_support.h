// What the benchmark files share: a scratch directory on the real file
// system, generated inputs, a silent UI, and the summary's ratio lines.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/quiet_ports.h"

namespace dorvane::bench {

// Where scratch directories go. First the RAM file system (/dev/shm, when it
// is a tmpfs): it measures the program and its file calls. The temporary
// directory (TMPDIR, else /tmp) adds whatever disk is underneath, and on ext4
// a rewritten file waits for its data on close, which swamps a 2 KB job with
// noise; it is a place of its own only when DORVANE_BENCH_DISK=1, or when
// there is no RAM file system.
struct Place {
  std::string name;  // "ram" or "tmp", used in benchmark names
  std::string dir;
  std::string description;  // e.g. "/dev/shm (tmpfs)", for the summary
};
const std::vector<Place>& Places();

// A fresh directory in `place`, removed with everything in it when the
// object goes.
class TempDir {
 public:
  explicit TempDir(const Place& place);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with name by the platform separator.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// Writes bytes to path (replaced); throws std::runtime_error on failure, as a
// benchmark without its input measures nothing.
void WriteFile(const std::string& path, std::string_view bytes);

// The value at rank p (0.95: the p95) of values.
double Percentile(std::vector<double> values, double p);
// Latencies in ms: the p95 as the iteration's time, p50 and p95 as counters.
void ReportLatencies(benchmark::State& state, const std::vector<double>& ms);

// Writes `count` files named prefix + a six-digit number (from 000000) into
// dir, each holding `bytes`: input folders of any size.
void WriteFiles(const TempDir& dir, std::size_t count, std::string_view prefix, std::string_view bytes);

// A Fasy Vola receipt (header, sale lines with some returns and discounts, a
// text line, a payment) of about `bytes` bytes, CR LF line ends. The same
// size always gives the same bytes, and every record converts cleanly.
std::string FasyVolaReceipt(std::size_t bytes);

// An Itineris XML receipt of about `bytes` bytes: one SCONTRINO with indented
// DETTAGLIO elements (sold and returned lines, discounts, mixed case, decimal
// commas), CR LF line ends. Deterministic, and it converts cleanly.
std::string ItinerisReceipt(std::size_t bytes);

// A UI that shows nothing: what a benchmark passes where messages would go.
using SilentUi = QuietUi;

// Asks the summary for one line "<label>: <ratio>", the ratio being the real
// time per iteration of benchmark `numerator` over that of `denominator`
// (names as given to Name(), with "/arg" suffixes if any; the median when the
// benchmark ran with repetitions). goal > 0 adds whether ratio <= goal.
// Returns true, so that it can initialise a static:
//   static const bool kRatio = AddRatio("...", "convert/x", "copy/x", 2.0);
bool AddRatio(std::string label, std::string numerator, std::string denominator, double goal = 0);

struct Ratio {
  std::string label, numerator, denominator;
  double goal;
};
const std::vector<Ratio>& Ratios();

// Asks the summary for one line "<label>: <value>", the value being counter
// `counter` of benchmark `name`, and whether it is at most (atMost) or at
// least `goal`. Returns true, as AddRatio does.
bool AddGoal(std::string label, std::string name, std::string counter, double goal, bool atMost);

struct Goal {
  std::string label, name, counter;
  double goal;
  bool atMost;
};
const std::vector<Goal>& Goals();

}  // namespace dorvane::bench
