#include "dispatch/job_observers.h"

namespace dorvane {

JobObservers::JobObservers(Dispatcher& dispatcher, FileSystem& fs, Clock& clock, SystemInfo& system, Ui& ui)
    : d_(dispatcher),
      notifier_(clock, ui),
      // Beside the job journal; a failure to write is told in the result box
      // and the event log, once, and once again when writing works again.
      ledger_(fs, clock, [this] { return d_.Jobs().JournalFolder(); },
              [this](bool failure, const std::string& line) {
                d_.Ctl().txtKora1Result.Set(line);
                d_.LogEvent(failure ? kErr : kOk, line);
                notifier_.LedgerWritable(!failure, line);
              }),
      status_(fs, clock, system, [this] { return d_.Jobs().JournalFolder(); }, &notifier_) {
  for (JobEvents* observer : std::initializer_list<JobEvents*>{&notifier_, &ledger_, &status_})
    d_.AddObserver(observer);
}

void JobObservers::Poll() {
  // Inside a step's waits only what is already known is written out: the
  // ledger's kept records and the status file's refresh.
  if (d_.InTick()) {
    ledger_.Poll();
    status_.Poll();
    return;
  }
  // Nothing is told while the program closes.
  if (d_.State().InChiusura) notifier_.SetClosing();
  notifier_.Poll();
  ledger_.Poll();
  status_.Poll();
}

}  // namespace dorvane
