// The simulated print driver: serves the exchange files of its ports the way
// DORVANE expects KORA1 to, with the faults of a real printer on demand.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "sarema.h"

namespace dorvane::kkora1 {

inline constexpr const char* kControlFileName = "KKORA1.CTL";
inline constexpr const char* kJournalFileName = "KKORA1_GIORNALE.TXT";
inline constexpr const char* kCounterFileName = "KKORA1_NUMERO.TXT";

class Simulator {
 public:
  using Clock = std::chrono::steady_clock;

  Simulator(Options options, std::string dataDir);

  // Prepares the data directory and starts the dump; false when the directory
  // cannot be used.
  bool Start();
  // One look at the control file, the dump and every port.
  void Poll();
  // Clean exit: a job in progress is abandoned and SR_MATR withdrawn, so that
  // DORVANE does not take a stopped driver for a ready one.
  void Stop();

  bool QuitRequested() const { return quit_; }
  // How long the caller may sleep before the next poll.
  int MillisToNextPoll() const;

  const std::string& JournalPath() const { return journalPath_; }

 private:
  enum class Phase { Idle, Waiting, Printing, Held };
  enum class Fault { None, PaperOut, CoverOpen, Crash };

  struct Job {
    int ordinal = 0;
    JobCheck check;
    std::size_t nextLine = 0;
    std::size_t faultLine = 0;
    Fault fault = Fault::None;
    Clock::time_point nextLineAt;
  };

  struct Port {
    int number = 1;
    Phase phase = Phase::Idle;
    Clock::time_point since;
    std::optional<Job> job;
  };

  std::string PortFile(const Port& port, const char* base) const;
  void ReadControlFile();
  void ApplyControl(const std::string& key, const std::string& value);
  void CreateMatr();
  void RemoveMatr();
  void PollPort(Port& port);
  void TakeJob(Port& port);
  void Refuse(Port& port, const std::string& report);
  void Print(Port& port);
  void Hold(Port& port);
  void Release(Port& port);
  void Finish(Port& port);
  bool WriteExchange(const Port& port, const char* base, const std::string& content);
  std::string JournalEntry(const Port& port, int number, const std::string& when) const;

  Options options_;
  std::string dataDir_;
  std::string journalPath_;
  std::vector<Port> ports_;
  Clock::time_point dumpDueAt_;
  bool dumpPending_ = true;
  bool ready_ = false;
  bool quit_ = false;
  int jobsTaken_ = 0;
  int receiptsOnRoll_ = 0;
  bool paperOutNext_ = false;
  bool coverOpenNext_ = false;
  bool failNext_ = false;
  bool crashNext_ = false;
};

}  // namespace dorvane::kkora1
