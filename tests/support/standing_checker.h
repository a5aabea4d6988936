// The shop's invariants, checked the moment one breaks rather than at the end
// of a simulated day: the checker hears the job engine's events and the
// simulated KORA1's own steps, and reads the job journal DORVANE keeps.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "driverlink/job_events.h"
#include "driverlink/job_journal.h"
#include "platform/sim/mem_filesystem.h"

namespace dorvane::test {

class StandingChecker : public JobEvents {
 public:
  // Where DORVANE keeps its journal: its data folder under the common
  // application data, else KORA1's data folder.
  StandingChecker(MemFileSystem& mem, const std::string& commonDir, const std::string& kora1Dir)
      : mem_(mem), commonDir_(commonDir), kora1Dir_(kora1Dir) {}

  void Taken(const Job& job) override;
  void Settled(const Job& job) override;
  void FiledLater(const std::string& input, const std::vector<std::string>& filedAs) override;

  // The simulated KORA1 takes a job (the bytes of SR_DATI, or nothing when it
  // is missing), prints it, refuses it, or ends in the middle.
  void Kora1Took(const std::optional<std::string>& data);
  void Kora1Printed();
  void Kora1Refused() { executing_.reset(); }
  void Kora1Ended() { executing_.reset(); }

  // Every input the engine took is still in the input folder, or filed.
  void ExpectNoneLost() const;

 private:
  std::optional<Job> Journaled() const;

  MemFileSystem& mem_;
  const std::string& commonDir_;
  const std::string& kora1Dir_;
  std::optional<Job> executing_;  // the job KORA1 runs now
  std::set<std::string> printed_;       // input "|" key of every receipt printed
  std::set<std::string> taken_;               // every input handed over
  std::map<std::string, std::string> filed_;  // input -> a name it was filed under
};

}  // namespace dorvane::test
