// Settling a recorded job from what KORA1 left, after a crash or a power cut,
// at a reconnection, or when KORA1 ended in the middle of the job.
#pragma once

#include <string>

#include "driverlink/driver_link.h"
#include "driverlink/input_selection.h"
#include "driverlink/kora1_process.h"

namespace dorvane {

struct JobEvidence {
  bool inputThere = false;    // the input is still in the input folder
  bool inputSame = false;     // with the selection key the record holds
  bool dataSame = true;       // KORA1's job file, when there, is this job's
  bool startWaiting = false;  // the start signal is still there: never taken
  bool started = false;       // the record says the start signal was on disk
  bool finished = false;      // FINESCO
  std::string errorLine;      // first line of SR_ERR
  bool paperOut = false;      // that line reports a paper-out
  bool kora1Running = false;
};

enum class Settlement {
  kForget,    // the input is gone or is another file now: nothing to file
  kResend,    // KORA1 never took it: clean up, the input goes again
  kPrinted,   // file it as printed, never send it again
  kFailed,    // file it as a failed job
  kPaperOut,  // hold it as a paper-out and go on watching
  kWatch,     // KORA1 is still on it: go on watching
  kUnknown,   // nobody knows whether it printed: file it as an error for the operator
};

Settlement Settle(const JobEvidence& e);

// The first line of SR_ERR reports a paper-out or an open cover.
bool IsPaperOutLine(const std::string& line);

// Who was interrupted while KORA1 had the job, for an unknown outcome: what
// is known, never more.
enum class Interrupted {
  kDorvane,  // a restart found the job in flight and KORA1 running since before it
  kKora1,    // KORA1's process ended (or started again) during the job
  kBoth,     // a restart found KORA1 started again, or gone, since the job
  kUnknown,  // anything else, such as KORA1's job file holding another job
};
// restart: the first settlement of this run, of a job an earlier run left.
Interrupted WhoWasInterrupted(const JobEvidence& e, bool restart);

// What the event log and the result box say of each settlement; for an
// unknown outcome, who was interrupted.
std::string SettlementText(Settlement s, Interrupted who = Interrupted::kUnknown);

// Reads what KORA1 left of the recorded job and decides its settlement.
class Recovery {
 public:
  Recovery(DriverLink& link, InputSelection& selection, Kora1Process& process)
      : link_(link), selection_(selection), process_(process) {}

  // The settlement of the job, with the evidence it rests on. A job never
  // taken is claimed back by removing its start signal; if KORA1 took it
  // first, it is KORA1's.
  Settlement Examine(const Job& job, JobEvidence& e);
  // A KORA1 started again since the job was recorded never resumes it.
  bool Kora1RestartedSinceJob();

 private:
  JobEvidence Evidence(const Job& job);

  DriverLink& link_;
  InputSelection& selection_;
  Kora1Process& process_;
};

}  // namespace dorvane
