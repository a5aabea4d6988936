// An in-process KORA1 for scenario tests: it polls its data directory on the
// virtual clock and answers jobs through the exchange files, as the real
// driver does. It works on the in-memory file system directly, so faults
// injected for DORVANE never hit it.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace dorvane::test {

class SimKora1 {
 public:
  enum class Outcome { kPrint, kFail, kPaperOut };

  explicit SimKora1(Harness& h, std::string port = "1");
  // The process appears now; SR_MATR after dumpMs.
  void Start(int dumpMs = 0);
  // The process ends; SR_MATR goes with it, unless the process was killed.
  void Stop(bool killed = false);
  bool Running() const { return running_; }

  std::deque<Outcome> plan;  // outcome of the next jobs; printing when empty
  int pollMs = 50;
  int takeDelayMs = 0;  // a busy driver: time from SR_START to taking the job
  int printMs = 200;
  int holdMs = 3000;      // a paper-out lasts this long

  std::vector<std::string> taken;    // SR_DATI of every job taken
  std::vector<std::string> printed;  // SR_DATI of every receipt printed
  std::string File(const std::string& base) const;  // full path of base + ".00" + port

 private:
  // Runs step after ms unless the process has ended or started again since.
  void Later(int ms, std::function<void()> step);
  void Poll();
  void Take();
  void Print(const std::string& job);

  Harness& h_;
  std::string port_;
  bool running_ = false;
  bool busy_ = false;
  int generation_ = 0;  // polls of an earlier run stop when the process ends
  static constexpr std::int32_t kPid = 4242;
};

}  // namespace dorvane::test
