// The status file: DORVSTAT.json in DORVANE's data folder, for management
// programs that want to know, without asking anybody, whether DORVANE and
// KORA1 are up, what is being printed and what went wrong. Written whole
// (a temporary file beside it, then renamed over it) whenever what it says
// changes, at most four times a second, and at least once a minute, so a
// reader that finds it older than that (or its process gone) knows DORVANE
// has stopped. The format is in the manual ("Il file di stato").
//
// Wiring: add it to the engine's JobEventsFanOut and call Poll() on every
// pump of the front end's loop.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "driverlink/job_events.h"
#include "notify/notifier.h"
#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/systeminfo.h"

namespace dorvane {

// DORVANE's own work file, under its final or its temporary name: never a
// receipt, whatever the filter.
bool IsStatusFile(const std::string& name);

class StatusFile : public JobEvents {
 public:
  static constexpr const char* kStatusFileName = "DORVSTAT.json";
  static constexpr const char* kStatusTempName = "DORVSTAT.json.tmp";
  static constexpr int kFormat = 1;                  // "formato": changes only with an incompatible layout
  static constexpr std::int64_t kMinGapMs = 250;     // between two writes (or tries)
  static constexpr std::int64_t kRefreshMs = 60000;  // the longest time between two writes

  // folder: where the file goes (the job journal's folder); nothing is
  // written while it is empty. notices: the episode told last, if given.
  StatusFile(FileSystem& fs, Clock& clock, SystemInfo& system, std::function<std::string()> folder,
             const Notifier* notices = nullptr);

  void Taken(const Job& job) override;
  void Settled(const Job& job) override;
  void Kora1Lost(const std::string& reason) override;
  void Kora1Found() override;
  void JournalUnwritable(const std::string& folder, const std::string& reason) override;
  void JournalWritable(const std::string& folder) override;
  void StateChanged(ExecState from, ExecState to) override;
  void Waiting(int receipts) override;
  bool OwnsFile(const std::string& name) const override { return IsStatusFile(name); }

  // Writes the file when it is due: something in it changed (and the last
  // write is kMinGapMs old), or the last write is kRefreshMs old. A write
  // that failed (on Windows, a reader holding the file refuses the rename)
  // is tried again kMinGapMs later; the file is never written in place.
  void Poll();

  // The file's content, written at the time given.
  std::string Content(const std::string& written);

 private:
  struct Last {
    Outcome outcome;
    std::string input, time, text;
  };
  void RollDay();
  // Today's counts from the file a previous run left, if it is today's.
  void AdoptCounts(const std::string& path);

  FileSystem& fs_;
  Clock& clock_;
  SystemInfo& system_;
  std::function<std::string()> folder_;
  const Notifier* notices_;

  bool connected_ = false;
  ExecState state_ = ExecState::kReady;
  std::string printing_;
  std::optional<int> waiting_;
  std::optional<Last> last_;
  std::optional<std::string> journalDown_;  // the journal's folder and why it cannot be written
  std::string day_;  // the date the counts are of
  std::array<int, kOutcomeCount> counts_{};  // by outcome

  bool adopted_ = false;
  bool tried_ = false, written_ = false;
  std::int64_t triedMs_ = 0, writtenMs_ = 0;
  std::string writtenKey_;  // the content of the last write, without its time
  std::string writtenFolder_;
};

}  // namespace dorvane
