// Filing a settled job: KORA1's result into the output folder, the job and
// its error text into the error folder, every file whole or absent, then the
// input is deleted. A filing that fails is kept and done on later ticks.
#pragma once

#include <string>
#include <vector>

#include "driverlink/driver_link.h"
#include "driverlink/input_selection.h"
#include "driverlink/monitor.h"
#include "driverlink/safety_rules.h"

namespace dorvane {

class JobFiling {
 public:
  JobFiling(DriverLink& link, InputSelection& selection, Monitor& monitor, SafetyRules& safety)
      : link_(link), selection_(selection), monitor_(monitor), safety_(safety) {}

  // A printed job: true once it is filed and its input deleted.
  bool HandleKora1Output();
  // A failed job (KORA1's error text, or message as DORVANE's own E599
  // report when KORA1 wrote none): true once filed and its input deleted.
  bool HandleKora1Error(const std::string& message, Outcome outcome = Outcome::kRefused);
  // Places the filings that wait and deletes their inputs: true once none
  // holds the cycle (each done, a printed receipt only waiting to delete its
  // input, or let go by the operator).
  bool RetryPendingFiling();
  // The operator lets the receipts after the filings that wait go on; they
  // go on being retried. False when none held the cycle.
  bool LetReceiptsGoOn();
  // Why the filing that waits failed; "" when none waits.
  std::string PendingCause() const { return link_.pending.All().empty() ? "" : pendingCause_; }
  // The line telling that the last filing went under a short name, once.
  std::string TakeOtherNameLine();
  // Work files a crash left half-placed go, once, at the first tick.
  void SweepLeftovers();

 private:
  Status DeleteInput(const std::string& input);
  // The files are placed: the input goes, unless the records of the job are
  // not durable yet; then it waits with the filing, and the rule is told.
  Status DeleteOnceRecorded(Filing& f, bool& waits);
  // Places the files under the input's name, or under a short one when
  // that name can never be placed (the filing remembers it).
  Status PlaceFiling(Filing& filing, std::vector<std::string>& names);
  Status PlaceUnder(const Filing& filing, const std::string& name, std::vector<std::string>& names);
  void KeepPending(Filing filing, const Status& cause);
  void RetryOne(Filing filing);
  std::string JobCopyPath(const std::string& name) const;
  std::string ErrorCopyPath(const std::string& name) const;
  Status WriteSessionResult(const std::string& basePath, bool ok);
  Status WriteRepFile(const std::string& name, int code);

  DriverLink& link_;
  InputSelection& selection_;
  Monitor& monitor_;
  SafetyRules& safety_;
  std::string pendingCause_;
  std::string otherNameLine_;
  bool swept_ = false;
};

}  // namespace dorvane
