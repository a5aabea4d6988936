#include "support/sim_kora1.h"

#include "text/paths.h"

namespace dorvane::test {

SimKora1::SimKora1(Harness& h, std::string port) : h_(h), port_(std::move(port)) {}

std::string SimKora1::File(const std::string& base) const { return JoinPath(h_.kora1Dir, base + ".00" + port_); }

void SimKora1::Later(int ms, std::function<void()> step) {
  h_.clock.After(ms, [this, generation = generation_, step] {
    if (generation == generation_) step();
  });
}

void SimKora1::Start(int dumpMs) {
  if (running_) return;
  running_ = true;
  busy_ = false;
  ++generation_;
  h_.processes.Add(kPid, "kkora1.exe");
  Later(dumpMs, [this] { h_.mem.Put(File("SR_MATR"), "MATRICOLA 99IEB000001\r\n"); });
  Later(pollMs, [this] { Poll(); });
}

void SimKora1::Stop(bool killed) {
  running_ = false;
  h_.checker.Kora1Ended();
  ++generation_;
  std::erase_if(h_.processes.procs, [](auto& p) { return p.pid == kPid; });
  if (!killed) h_.mem.Erase(File("SR_MATR"));
}

void SimKora1::Poll() {
  Later(pollMs, [this] { Poll(); });
  if (busy_ || !h_.mem.Has(File("SR_START"))) return;
  busy_ = true;
  Later(takeDelayMs, [this] { Take(); });
}

void SimKora1::Take() {
  for (const char* base : {"SR_OUT", "FINESCO", "SR_ERR", "SR_START"}) h_.mem.Erase(File(base));
  if (!h_.mem.Has(File("SR_DATI"))) {
    h_.checker.Kora1Took(std::nullopt);
    h_.mem.Put(File("SR_ERR"), "E010: SR_DATI MANCANTE\r\n");
    busy_ = false;
    return;
  }
  const std::string job = h_.mem.Content(File("SR_DATI"));
  taken.push_back(job);
  h_.checker.Kora1Took(job);
  const Outcome outcome = plan.empty() ? Outcome::kPrint : plan.front();
  if (!plan.empty()) plan.pop_front();
  if (outcome == Outcome::kPrint) {
    Later(printMs, [this, job] { Print(job); });
  } else if (outcome == Outcome::kFail) {
    Later(printMs, [this] {
      h_.mem.Put(File("SR_ERR"), "E050: ERRORE STAMPANTE\r\n");
      h_.checker.Kora1Refused();
      busy_ = false;
    });
  } else {  // the roll ends halfway, and paper is loaded holdMs later
    Later(printMs / 2, [this, job] {
      h_.mem.Put(File("SR_ERR"), "E096: FINE CARTA\r\n");
      Later(holdMs, [this, job] {
        h_.mem.Erase(File("SR_ERR"));
        Later(printMs / 2, [this, job] { Print(job); });
      });
    });
  }
}

void SimKora1::Print(const std::string& job) {
  h_.checker.Kora1Printed();
  printed.push_back(job);
  h_.mem.Put(File("SR_OUT"), "ESITO=OK\r\nLAVORO=" + std::to_string(printed.size()) + "\r\n");
  h_.mem.Put(File("FINESCO"), "FINE\r\n");
  busy_ = false;
}

}  // namespace dorvane::test
