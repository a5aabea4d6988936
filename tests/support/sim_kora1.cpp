#include "support/sim_kora1.h"

#include <algorithm>

#include "text/paths.h"

namespace dorvane::test {

SimKora1::SimKora1(Harness& h, std::string port) : h_(h), port_(std::move(port)) {}

std::string SimKora1::File(const std::string& base) const { return JoinPath(h_.kora1Dir, base + ".00" + port_); }

void SimKora1::Start(int dumpMs) {
  if (running_) return;
  running_ = true;
  busy_ = false;
  const int generation = ++generation_;
  h_.processes.Add(kPid, "kkora1.exe");
  h_.clock.After(dumpMs, [this, generation] {
    if (generation == generation_) h_.mem.Put(File("SR_MATR"), "MATRICOLA 99IEB000001\r\n");
  });
  h_.clock.After(pollMs, [this, generation] {
    if (generation == generation_) Poll();
  });
}

void SimKora1::Stop(bool killed) {
  running_ = false;
  ++generation_;
  auto& procs = h_.processes.procs;
  procs.erase(std::remove_if(procs.begin(), procs.end(), [](auto& p) { return p.pid == kPid; }), procs.end());
  if (!killed) h_.mem.Erase(File("SR_MATR"));
}

void SimKora1::Poll() {
  const int generation = generation_;
  h_.clock.After(pollMs, [this, generation] {
    if (generation == generation_) Poll();
  });
  if (busy_ || !h_.mem.Has(File("SR_START"))) return;
  busy_ = true;
  h_.clock.After(takeDelayMs, [this, generation] {
    if (generation == generation_) Take();
  });
}

void SimKora1::Take() {
  for (const char* base : {"SR_OUT", "FINESCO", "SR_ERR", "SR_START"}) h_.mem.Erase(File(base));
  if (!h_.mem.Has(File("SR_DATI"))) {
    h_.mem.Put(File("SR_ERR"), "E010: SR_DATI MANCANTE\r\n");
    busy_ = false;
    return;
  }
  const std::string job = h_.mem.Content(File("SR_DATI"));
  taken.push_back(job);
  Outcome outcome = Outcome::kPrint;
  if (!plan.empty()) {
    outcome = plan.front();
    plan.pop_front();
  }
  const int generation = generation_;
  switch (outcome) {
    case Outcome::kPrint:
      h_.clock.After(printMs, [this, generation, job] {
        if (generation == generation_) Print(job);
      });
      break;
    case Outcome::kFail:
      h_.clock.After(printMs, [this, generation] {
        if (generation != generation_) return;
        h_.mem.Put(File("SR_ERR"), "E050: ERRORE STAMPANTE\r\n");
        busy_ = false;
      });
      break;
    case Outcome::kPaperOut:
      h_.clock.After(printMs / 2, [this, generation, job] {
        if (generation != generation_) return;
        h_.mem.Put(File("SR_ERR"), "E096: FINE CARTA\r\n");
        h_.clock.After(holdMs, [this, generation, job] {
          if (generation != generation_) return;
          h_.mem.Erase(File("SR_ERR"));
          h_.clock.After(printMs / 2, [this, generation, job] {
            if (generation == generation_) Print(job);
          });
        });
      });
      break;
  }
}

void SimKora1::Print(const std::string& job) {
  printed.push_back(job);
  h_.mem.Put(File("SR_OUT"), "ESITO=OK\r\nLAVORO=" + std::to_string(printed.size()) + "\r\n");
  h_.mem.Put(File("FINESCO"), "FINE\r\n");
  busy_ = false;
}

}  // namespace dorvane::test
