// The receipt ledger: what one record costs the engine (the input read and
// hashed, the line appended and flushed) on the disk under the temporary
// directory and in RAM; and the tool over a year of a busy till (440,000
// records of about 790 bytes, the size of real ones with KORA1's whole
// answer and two filed names, in twelve month files, in the page cache):
// find by name and by text, the summary of a day, the check of the whole
// chain. Each reports its real time, its processor time (on a machine shared
// with other builds the first can be several times the second) and its
// ratio to reading the same files once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench_support.h"
#include "ledger/receipt_ledger.h"
#include "ledger_files.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/sim/virtual_clock.h"
#include "platform/system_clock.h"
#include "text/paths.h"
#include "text/sha256.h"

namespace {

using namespace dorvane;
using bench::TempDir;

constexpr int kYearRecords = 440000;
constexpr const char* kWantedName = "FATTURA-314157.XML";
constexpr const char* kWantedDay = "2025-07-15";
constexpr const char* kWantedText = "carta inceppata";  // in the reason of one record in 97

// The disk under the temporary directory, whatever places the other files use.
const bench::Place& DiskPlace() {
  static const bench::Place place = [] {
    const std::string tmp = std::filesystem::temp_directory_path().string();
    return bench::Place{"tmp", tmp, tmp};
  }();
  return place;
}

void Record(benchmark::State& state, const bench::Place& place) {
  TempDir dir(place);
  PosixFileSystem fs;
  SystemClock clock;
  ReceiptLedger ledger(fs, clock, [&] { return dir.path(); });
  Job job;
  job.input = dir.File("SCONTRINO.001");
  bench::WriteFile(job.input, bench::FasyVolaReceipt(2 * 1024));
  job.layout = InputLayout::kFasyVola;
  job.dataSize = 1500;
  job.time = "2026-03-05 09:00:00";
  job.text = "ESITO=OK\r\nTIPO=FISCALE\r\nSCONTRINO=1234\r\nTOTALE=12,50\r\nPAGATO=20,00\r\nRESTO=7,50\r\n";
  job.filedAs = {dir.File("SCONTRINO.001.OUT"), dir.File("SCONTRINO.001.BTO")};
  std::int64_t id = 0;
  double seconds = 0;
  for (auto _ : state) {
    job.id = std::to_string(++id);
    const auto start = std::chrono::steady_clock::now();
    ledger.Settled(job);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (ledger.Waiting() != 0) state.SkipWithError("the ledger could not be written");
  state.counters["ms_per_record"] = seconds * 1000 / static_cast<double>(state.iterations());
}

// A year of a busy till, written once: records as DORVANE writes them,
// chained, about 1,200 a day, one file a month.
const std::string& Year() {
  // Removed with its files when the program ends.
  static std::unique_ptr<TempDir> dir;
  if (!dir) {
    dir = std::make_unique<TempDir>(bench::Places().front());
    ledger::Record r;
    r.layout = "itineris";
    r.dataBytes = 1800;
    r.dataFnv1a = "1a2b3c4d";
    r.folder = "C:\\GESTIONALE\\SCAMBIO\\CASSA1\\USCITA";
    std::string previous = ledger::kNoPrevious;
    std::ofstream out;
    std::string month;
    for (int i = 0; i < kYearRecords; ++i) {
      const std::int64_t second = static_cast<std::int64_t>(i) * 365 * 86400 / kYearRecords;
      const LocalDateTime t = AddSeconds({2025, 1, 1, 0, 0, 0}, second);
      r.n = static_cast<std::uint64_t>(i) + 1;
      r.id = "2025" + std::to_string(i);
      r.settled = t.Date() + " " + t.Time();
      r.taken = r.settled;
      r.input = i % 10 == 7 ? "FATTURA-" + std::to_string(i) + ".XML" : "SCONTRINO.001";
      r.inputBytes = 2000 + i % 500;
      r.inputSha256 = Sha256Hex(r.id);
      r.outcome = i % 97 == 0 ? ledger::kOutcomeRefused : ledger::kOutcomePrinted;
      r.reason = i % 97 == 0 ? "E012: CARTA INCEPPATA" : "";
      r.receipt = std::to_string(i % 9999 + 1);
      r.total = std::to_string(i % 300) + "," + std::to_string(10 + i % 90);
      // KORA1's whole answer, as a real printer gives it.
      r.answer = "ESITO=OK\r\nTIPO=FISCALE\r\nSCONTRINO=" + r.receipt + "\r\nTOTALE=" + r.total + "\r\nDATA=" +
                 t.Date() + "\r\nMATRICOLA=99MEY012345\r\nZ=" + std::to_string(1 + i / 1200) + "\r\nTEMPO_MS=" +
                 std::to_string(700 + i % 300) + "\r\n";
      r.answerBytes = r.answer.size();
      r.filedAs = {"C:\\GESTIONALE\\SCAMBIO\\CASSA1\\ESITI\\" + r.input + ".OUT",
                   "C:\\GESTIONALE\\SCAMBIO\\CASSA1\\ESITI\\" + r.input + ".BTO"};
      r.previous = previous;
      const std::string line = ledger::ToLine(r);
      previous = Sha256Hex(line);
      if (r.settled.substr(0, 7) != month) {
        month = r.settled.substr(0, 7);
        out.close();
        out.open(dir->File(ledger::MonthFileName(month)), std::ios::binary);
      }
      out << line << "\r\n";
    }
  }
  return dir->path();
}

ledgertool::Streams Null() {
  static std::FILE* null = std::fopen("/dev/null", "w");
  return {null, null};
}

// The year's files read once, in the tool's chunks: what a search that
// streams them cannot beat. Seconds, and bytes read.
double ReadOnce(const std::string& dir, std::uint64_t* bytes = nullptr) {
  std::vector<char> buffer(1 << 20);
  std::uint64_t total = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(entry.path().c_str(), "rb"), &std::fclose);
    for (std::size_t n; f && (n = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0;) total += n;
  }
  if (bytes) *bytes = total;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Run(benchmark::State& state, int (*work)(const std::string&), int expected) {
  const std::string& dir = Year();
  double seconds = 0, reading = 0;
  const std::clock_t cpu = std::clock();
  for (auto _ : state) {
    reading += ReadOnce(dir);
    const auto start = std::chrono::steady_clock::now();
    if (work(dir) != expected) state.SkipWithError("unexpected exit status");
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["s"] = seconds / static_cast<double>(state.iterations());
  state.counters["x_read"] = seconds / reading;
  // The processor time too: on a machine shared with other work the two differ.
  state.counters["cpu_s"] =
      static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / static_cast<double>(state.iterations()) -
      reading / static_cast<double>(state.iterations());
}

void ReadYear(benchmark::State& state) {
  std::uint64_t bytes = 0;
  double seconds = 0;
  ReadOnce(Year());
  for (auto _ : state) seconds += ReadOnce(Year(), &bytes);
  state.counters["s"] = seconds / static_cast<double>(state.iterations());
  state.counters["bytes_per_record"] = static_cast<double>(bytes) / kYearRecords;
}

int FindName(const std::string& dir) {
  ledger::Query q;
  q.name = kWantedName;
  return ledgertool::Find(dir, q, false, Null());
}
int FindText(const std::string& dir) {
  ledger::Query q;
  q.text = kWantedText;
  return ledgertool::Find(dir, q, false, Null());
}
int Day(const std::string& dir) { return ledgertool::Day(dir, kWantedDay, Null()); }
int Verify(const std::string& dir) { return ledgertool::Verify(dir, "", Null()); }

const bool kRegistered = [] {
  for (const bench::Place* place : {&DiskPlace(), &bench::Places().front()}) {
    const std::string name = "ledger/record/" + place->name;
    benchmark::RegisterBenchmark(name.c_str(), [place](benchmark::State& s) { Record(s, *place); })
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
  }
  bench::AddGoal("one ledger record (input read, hashed, appended, flushed) on " + DiskPlace().dir + ", ms",
                 "ledger/record/tmp", "ms_per_record", 6, true);
  benchmark::RegisterBenchmark("ledger/read/year", ReadYear)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
  // cpu_s leaves out the reading done beside each run for x_read.
  const struct {
    std::string name;
    int (*work)(const std::string&);
    int expected;
    double goal;
  } tools[] = {{"ledger/find-name/year", FindName, 0, 0.2},
               {"ledger/find-text/year", FindText, 0, 0.5},
               {"ledger/day/year", Day, 0, 0.1},
               // The line names the hash code: the processor's SHA instructions, or plain.
               {std::string("ledger/verify/year/") + Sha256::Code(), Verify, 0, 2}};
  for (const auto& t : tools) {
    benchmark::RegisterBenchmark(t.name.c_str(), [t](benchmark::State& s) { Run(s, t.work, t.expected); })
        ->Iterations(1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
    bench::AddGoal(t.name.substr(7) + " over 440,000 records of about 790 bytes, s", t.name, "s", t.goal, true);
  }
  // The plain code beside it, for comparison.
  if (std::string(Sha256::Code()) != "plain")
    benchmark::RegisterBenchmark("ledger/verify/year/plain", [](benchmark::State& s) {
    Sha256::UsePlainCode(true);
    Run(s, Verify, 0);
    Sha256::UsePlainCode(false);
  })->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
