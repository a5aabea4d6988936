// Handing one input to KORA1: the job file SR_DATI first, then the start
// signal SR_START, so KORA1 never starts a job still being written; the job
// is in the journal before KORA1 can take it.
#pragma once

#include <string>

#include "driverlink/driver_link.h"
#include "driverlink/input_selection.h"
#include "driverlink/safety_rules.h"

namespace dorvane {

class HandOff {
 public:
  HandOff(DriverLink& link, InputSelection& selection, SafetyRules& safety)
      : link_(link), selection_(selection), safety_(safety) {}

  // Hands the input (its full path) over; false when it was not, with the
  // reason in the result box.
  bool SendFileToKora1(const std::string& source);
  // The last hand-off failed on KORA1's exchange files (or met a link): the
  // input is fine and stays for the next tick.
  bool FailedOnDriverSide() const { return failedOnDriverSide_; }
  // That failure is the job journal's, told once for its episode: the
  // hand-offs wait quietly until the journal can be written again.
  bool FailureTold() const { return journalDown_ && failedOnDriverSide_; }

 private:
  Status CopyJob(const std::string& source, bool& refused, std::string& data);
  // The job's data, once its writer has let go of the input: false when the
  // hand-off ends here (a link, or an input unreadable for about 30 s).
  bool ReadJobWhenFree(const std::string& source, bool& refused, std::string& data);
  Status RecordJob(const std::string& source, const std::string& data);
  // Tells the start and the end of an episode of a journal that cannot be
  // written; true when the job was recorded.
  bool Recorded(const Status& st);

  DriverLink& link_;
  InputSelection& selection_;
  SafetyRules& safety_;
  bool failedOnDriverSide_ = false;
  bool journalDown_ = false;
};

}  // namespace dorvane
