#include "dispatch/job_observers.h"

namespace dorvane {

JobObservers::JobObservers(Dispatcher& dispatcher, FileSystem& fs, Clock& clock)
    : d_(dispatcher),
      // Beside the job journal; a failure to write is told in the result box
      // and the event log, once, and once again when writing works again.
      ledger_(fs, clock, [this] { return d_.Jobs().JournalFolder(); },
              [this](bool failure, const std::string& line) {
                d_.Ctl().txtKora1Result.Set(line);
                d_.LogEvent(failure ? kErr : kOk, line);
              }) {
  d_.AddObserver(&ledger_);
}

}  // namespace dorvane
