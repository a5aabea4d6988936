// The HTTP door: from a put's answer to the start of its hand-off, against a
// receipt renamed into the input folder, in the same run on the real
// programs; and the door's start with a year of keyed records.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "ledger/receipt_ledger.h"
#include "ledger/record.h"
#include "platform/posix/inotify_watcher.h"
#include "platform/posix/posix_filesystem.h"
#include "real_programs.h"
#include "support/http_client.h"
#include "text/paths.h"
#include "web/key_book.h"
#include "web/tokens.h"
#include "web/web_settings.h"

namespace {

using namespace dorvane;
using Clock = std::chrono::steady_clock;

constexpr const char* kReceipt = "PLUD,C1,N1,P100,:A;\r\nCASH,V100,:C;\r\n";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool AwaitStart(FolderWatcher& watcher, const std::string& path, double seconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    struct pollfd p {watcher.PollFd(), POLLIN, 0};
    ::poll(&p, 1, 5);
    for (const FolderChange& changed : watcher.TakeChanges())
      if (changed.path == path) return true;
  }
  return false;
}

// Drops and puts one after the other, each waited for until printed.
void PutAgainstDrop(benchmark::State& state) {
  constexpr int kEach = 30;
  for (auto _ : state) {
    bench::RealShop shop("2");
    const std::string data = shop.File("data/ZTKKORA1");
    web::WebSettings settings;
    settings.port = 21000 + static_cast<int>(::getpid() % 20000);
    std::string token, error;
    if (!web::WriteWebSettings(data, settings, error) ||
        !web::CreateToken(JoinPath(data, web::kTokenFileName), "bench", web::kScopePrint | web::kScopeRead, {},
                          "2026-03-05 08:00:00", token, error) ||
        !shop.StartKora1() || !shop.StartDorvane({})) {
      state.SkipWithError("the programs did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // connected at the first tick
    InotifyWatcher watcher;
    watcher.Watch({data});
    const std::string start = JoinPath(data, "SR_START.001");
    std::vector<double> drop, put;
    for (int i = 0; i < 2 * kEach; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(i * 317 % 1000));
      watcher.TakeChanges();
      Clock::time_point from;
      if (i % 2 == 0) {
        bench::WriteFile(shop.File("in/next.tmp"), kReceipt);
        watcher.TakeChanges();
        from = Clock::now();
        std::rename(shop.File("in/next.tmp").c_str(), shop.File("in/R" + std::to_string(1000 + i) + ".001").c_str());
      } else {
        const std::string body = nlohmann::json{{"layout", "sarema"}, {"text", kReceipt}}.dump();
        const test::HttpAnswer a = test::Http(
            settings.port,
            {"PUT", "/v1/receipts/b" + std::to_string(i), body, "localhost", {{"Authorization", "Bearer " + token}}});
        from = Clock::now();
        if (a.status != 202) {
          state.SkipWithError(("a put was answered " + std::to_string(a.status)).c_str());
          break;
        }
      }
      if (!AwaitStart(watcher, start, 10)) {
        state.SkipWithError("SR_START never written");
        break;
      }
      (i % 2 == 0 ? drop : put).push_back(std::max(0.0, Ms(Clock::now() - from)));
      // The next one waits for this one's verdict to be read.
      std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    if (drop.size() != kEach || put.size() != kEach) break;
    bench::ReportLatencies(state, put);
    const double dropP95 = bench::Percentile(drop, 0.95), putP95 = bench::Percentile(put, 0.95);
    state.counters["drop_p95_ms"] = dropP95;
    state.counters["put_over_drop_p95_ms"] = putP95 - dropP95;
  }
}

// A year of records, all put by key, about 790 bytes each; the key file
// as the door keeps it.
const bench::TempDir& Year(int records) {
  static bench::TempDir dir(bench::Places().front());
  static bool made = false;
  if (made) return dir;
  made = true;
  std::string keys;
  const int perMonth = records / 12;
  for (int month = 1, n = 0; month <= 12; ++month) {
    std::string bytes;
    char ym[8];
    std::snprintf(ym, sizeof ym, "2026-%02d", month);
    for (int i = 0; i < perMonth; ++i, ++n) {
      ledger::Record r;
      r.n = n + 1;
      r.id = "20260305090000-" + std::to_string(n);
      r.outcome = ledger::kOutcomePrinted;
      r.taken = r.settled = std::string(ym) + "-05 09:00:00";
      r.input = "R1-" + std::to_string(n) + ".txt";
      r.folder = "/var/lib/dorvane/DORVWEB-CODA";
      r.requestKey = "vendita-" + std::to_string(n);
      r.inputBytes = 300;
      r.inputSha256 = std::string(64, 'a');
      r.layout = "sarema";
      r.dataBytes = 300;
      r.dataFnv1a = "0badf00d";
      r.receipt = std::to_string(n);
      r.total = "12,50";
      r.answer = "ESITO=OK\r\nTIPO=FISCALE\r\nSCONTRINO=" + std::to_string(n) + "\r\nTOTALE=12,50\r\n" +
                 std::string(300, 'x');
      r.answerBytes = r.answer.size();
      r.previous = std::string(64, 'b');
      bytes += ledger::ToLine(r) + "\r\n";
      keys += r.requestKey + "\tsarema\t" + r.inputSha256 + "\tprinted\t" + ledger::MonthFileName(ym) + "\t" +
              std::to_string(r.n) + "\r\n";
    }
    bench::WriteFile(dir.File(ledger::MonthFileName(ym)), bytes);
  }
  bench::WriteFile(dir.File(web::kKeyFileName), keys);
  return dir;
}

// Arguments: records in the year; 1 when the key file is lost and made
// again from every month file.
void DoorStart(benchmark::State& state) {
  const bench::TempDir& dir = Year(static_cast<int>(state.range(0)));
  PosixFileSystem fs;
  std::string keyFile;
  if (state.range(1)) fs.ReadAll(dir.File(web::kKeyFileName), keyFile);
  double slowest = 0;
  for (auto _ : state) {
    if (state.range(1)) {
      state.PauseTiming();
      fs.Remove(dir.File(web::kKeyFileName));
      state.ResumeTiming();
    }
    const auto from = Clock::now();
    web::Spool spool(fs, dir.path());
    web::KeyBook keys(fs, dir.path(), spool);
    keys.Load([&](bool all, const std::function<void(const std::string&, std::string_view)>& line) {
      ForEachLedgerLine(fs, dir.path(), all, line);
    });
    slowest = std::max(slowest, std::chrono::duration<double>(Clock::now() - from).count());
    if (keys.Size() != static_cast<std::size_t>(state.range(0) / 12 * 12)) state.SkipWithError("keys missing");
  }
  state.counters["slowest_s"] = slowest;
  if (state.range(1)) fs.WriteAll(dir.File(web::kKeyFileName), keyFile);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("web/put-against-drop", PutAgainstDrop)->Iterations(1)->Unit(benchmark::kMillisecond);
  bench::AddGoal("put answered -> SR_START p95, minus a drop's p95 (ms)", "web/put-against-drop",
                 "put_over_drop_p95_ms", 10, true);
  benchmark::RegisterBenchmark("web/door-start", DoorStart)->Args({440000, 0})->Iterations(3)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("web/door-start", DoorStart)->Args({440000, 1})->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  bench::AddGoal("door's start with a year of 440,000 keyed records, s", "web/door-start/440000/0", "slowest_s", 1, true);
  return true;
}();

}  // namespace
