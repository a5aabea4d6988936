// The HTTP door: from a put's answer to the start of its hand-off, against a
// receipt renamed into the input folder, in the same run on the real
// programs; and the door's start with a year of keyed records.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
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

// The door's settings and a token, then both programs; false when either
// did not start.
bool OpenShop(bench::RealShop& shop, const web::WebSettings& settings, std::string& token) {
  const std::string data = shop.File("data/ZTKKORA1");
  std::string error;
  return web::WriteWebSettings(data, settings, error) &&
         web::CreateToken(JoinPath(data, web::kTokenFileName), "bench", web::kScopePrint | web::kScopeRead, {},
                          "2026-03-05 08:00:00", token, error) &&
         shop.StartKora1() && shop.StartDorvane({});
}

// Drops and puts one after the other, each waited for until printed.
void PutAgainstDrop(benchmark::State& state) {
  constexpr int kEach = 30;
  for (auto _ : state) {
    bench::RealShop shop("2");
    const std::string data = shop.File("data/ZTKKORA1");
    web::WebSettings settings;
    settings.port = 21000 + static_cast<int>(::getpid() % 20000);
    std::string token;
    if (!OpenShop(shop, settings, token)) {
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
      if (!bench::AwaitChange(watcher, start, 10)) {
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
  double slowest = 0, heapMb = 0;
  for (auto _ : state) {
    if (state.range(1)) {
      state.PauseTiming();
      fs.Remove(dir.File(web::kKeyFileName));
      state.ResumeTiming();
    }
    const auto heap = [] { const struct mallinfo2 m = mallinfo2(); return static_cast<double>(m.uordblks + m.hblkhd); };
    const double heapBefore = heap();
    const auto from = Clock::now();
    web::Spool spool(fs, dir.path());
    web::KeyBook keys(fs, dir.path(), spool);
    keys.Load([&](bool all, const std::function<void(const std::string&, std::string_view)>& line) {
      ForEachLedgerLine(fs, dir.path(), all, line);
    });
    slowest = std::max(slowest, std::chrono::duration<double>(Clock::now() - from).count());
    heapMb = (heap() - heapBefore) / 1e6;  // what the year's keys hold
    if (keys.Size() != static_cast<std::size_t>(state.range(0) / 12 * 12)) state.SkipWithError("keys missing");
  }
  state.counters["slowest_s"] = slowest;
  state.counters["heap_mb"] = heapMb;
  if (state.range(1)) fs.WriteAll(dir.File(web::kKeyFileName), keyFile);
}

// ---- Load: 50 clients while receipts print ----

// DORVANE's resident memory, kB.
long RssKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// A chained ledger of `records` records over the 28 first days of a month,
// before DORVANE starts.
void WriteLedger(const std::string& dir, int records, const std::string& month) {
  std::string bytes, previous = ledger::kNoPrevious;
  for (int n = 1; n <= records; ++n) {
    ledger::Record r;
    r.n = n;
    r.id = "20260305090000-" + std::to_string(n);
    r.outcome = ledger::kOutcomePrinted;
    char day[4];
    std::snprintf(day, sizeof day, "-%02d", 1 + (n - 1) * 28 / records);
    r.taken = r.settled = month + day + " 09:00:00";
    r.input = "R" + std::to_string(n) + ".001";
    r.folder = "/negozio/in";
    r.inputBytes = 300;
    r.inputSha256 = std::string(64, 'a');
    r.layout = "sarema";
    r.receipt = std::to_string(n);
    r.total = "1,00";
    r.answer = "ESITO=OK\r\nSCONTRINO=" + std::to_string(n) + "\r\nTOTALE=1,00\r\n" + std::string(400, 'x');
    r.answerBytes = r.answer.size();
    r.previous = previous;
    const std::string line = ledger::ToLine(r);
    previous = ledger::LineHash(line);
    bytes += line + "\r\n";
  }
  bench::WriteFile(JoinPath(dir, ledger::MonthFileName(month)), bytes);
}

// Receipts filed a minute: `count` dropped at once, from the first filed to
// the last; with clients, 50 threads share 5,000 status and ledger requests
// and 500 puts meanwhile, twice, and DORVANE's memory is compared.
void UnderLoad(benchmark::State& state) {
  constexpr int kDrops = 40, kClients = 50, kReads = 5000, kPuts = 500;
  const bool clients = state.range(0) != 0;
  for (auto _ : state) {
    bench::RealShop shop("100");
    const std::string data = shop.File("data/ZTKKORA1");
    web::WebSettings settings;
    settings.port = 22000 + static_cast<int>(::getpid() % 20000) + (clients ? 1 : 0);
    settings.ratePerMinute = 100000;
    std::string token, error;
    // Last month's records; today's come from this run.
    char month[8], today[12];
    std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
    now -= 32 * 24 * 3600;
    std::strftime(month, sizeof month, "%Y-%m", std::localtime(&now));
    WriteLedger(data, 100000, month);
    if (!OpenShop(shop, settings, token)) {
      state.SkipWithError("the programs did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    std::vector<double> statusMs;
    std::mutex statusMutex;
    long rss[2] = {0, 0};
    double minutes = 0;
    int filed = 0;
    for (int round = 0; round < (clients ? 2 : 1); ++round) {
      for (int i = 0; i < kDrops; ++i)
        bench::WriteFile(shop.File("in/L" + std::to_string(round) + "-" + std::to_string(1000 + i) + ".001"), kReceipt);
      std::atomic<int> next{0};
      std::vector<std::thread> threads;
      if (clients) {
        for (int c = 0; c < kClients; ++c)
          threads.emplace_back([&, c] {
            const std::vector<std::pair<std::string, std::string>> auth{{"Authorization", "Bearer " + token}};
            for (int n; (n = next++) < kReads + kPuts;) {
              if (n % 11 == 10) {
                const std::string body = nlohmann::json{{"layout", "sarema"}, {"text", kReceipt}}.dump();
                test::Http(settings.port, {"PUT", "/v1/receipts/l" + std::to_string(round) + "-" + std::to_string(n),
                                           body, "localhost", auth});
              } else if (n % 3 == 0) {
                // Today's summary, or the records since this morning.
                const std::string target = n % 2 ? "/v1/ledger/day/" + std::string(today)
                                                 : "/v1/ledger?from=" + std::string(today);
                test::Http(settings.port, {"GET", target, "", "localhost", auth});
              } else {
                const auto from = Clock::now();
                const test::HttpAnswer a = test::Http(settings.port, {"GET", "/v1/status", "", "localhost", auth});
                const double ms = Ms(Clock::now() - from);
                std::lock_guard lock(statusMutex);
                if (a.status == 200) statusMs.push_back(ms);
              }
            }
            (void)c;
          });
      }
      const int before = shop.Outputs();
      const bool first = bench::WaitUntil(60, [&] { return shop.Outputs() > before; });
      const auto start = Clock::now();
      const bool all = first && bench::WaitUntil(600, [&] { return shop.Outputs() >= before + kDrops; });
      minutes += std::chrono::duration<double>(Clock::now() - start).count() / 60;
      filed += kDrops - 1;
      for (std::thread& t : threads) t.join();
      if (!all) {
        state.SkipWithError("not every receipt was filed");
        break;
      }
      // Whatever was put is printed before the memory is read.
      bench::WaitUntil(600, [&] {
        if (!std::filesystem::is_empty(JoinPath(data, web::kSpoolFolderName))) return false;
        const test::HttpAnswer a =
            test::Http(settings.port, {"GET", "/v1/status", "", "localhost", {{"Authorization", "Bearer " + token}}});
        return a.status == 200 && nlohmann::json::parse(a.body)["stato"] == 0 &&
               nlohmann::json::parse(a.body)["in_stampa"].is_null();
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
      rss[round] = RssKb(shop.Dorvane());
    }
    state.SetIterationTime(minutes * 60 / filed);
    state.counters["receipts_per_minute"] = filed / minutes;
    if (clients) {
      state.counters["status_p99_ms"] = statusMs.empty() ? -1 : bench::Percentile(statusMs, 0.99);
      state.counters["rss_growth_kb"] = static_cast<double>(rss[1] - rss[0]);
    }
  }
}

const bool kRegistered = [] {
  for (int clients : {0, 1})
    benchmark::RegisterBenchmark("web/load", UnderLoad)->Arg(clients)->Iterations(1)->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  bench::AddRatio("time per folder receipt with 50 clients / without (drain >= 0.95)", "web/load/1", "web/load/0",
                  1 / 0.95);
  bench::AddGoal("status p99 under 50 clients, ms", "web/load/1", "status_p99_ms", 20, true);
  bench::AddGoal("DORVANE's memory after a second identical load, kB more", "web/load/1", "rss_growth_kb", 2048, true);
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
