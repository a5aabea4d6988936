#include "dispatch/job_observers.h"

namespace dorvane {

JobObservers::JobObservers(Dispatcher& dispatcher, FileSystem& fs, Clock& clock, SystemInfo& system, Ui& ui)
    : d_(dispatcher),
      notifier_(clock, ui),
      // Beside the job journal; a failure to write is told in the result box
      // and the event log, once, and once again when writing works again;
      // where a job that did not print is kept, in the event log.
      ledger_(fs, clock, [this] { return d_.Jobs().JournalFolder(); },
              [this](LedgerNotice what, const std::string& line) {
                d_.LogEvent(what == LedgerNotice::kNotWritable ? kErr : kOk, line);
                // The job's reason stays in the result box.
                if (what == LedgerNotice::kCopyKept) return;
                d_.Ctl().txtKora1Result.Set(line);
                notifier_.LedgerWritable(what == LedgerNotice::kWritableAgain, line);
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
