#include "dispatch/job_observers.h"

#include "ledger/ledger_queries.h"

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
      status_(fs, clock, system, [this] { return d_.Jobs().JournalFolder(); }, &notifier_),
      fs_(fs) {
  for (JobEvents* observer : std::initializer_list<JobEvents*>{&notifier_, &ledger_, &status_})
    d_.AddObserver(observer);
}

JobObservers::~JobObservers() { CloseDoor(); }

void JobObservers::OpenDoor(Waker* waker, const GivenDoor* given) {
  const std::string dir = d_.Jobs().JournalFolder();
  door_ = std::make_unique<web::WebDoor>(fs_, dir, given ? given->tokenFile : "");
  std::string message;
  // The ledger's keyed records the key book may lack.
  auto ledgerLines = [this, dir](bool all, const std::function<void(const std::string&, std::string_view)>& line) {
    ForEachLedgerLine(fs_, dir, all, line);
  };
  // The ledger as the door's ledger requests read it: the files afresh, on
  // the door's ledger thread (the file-system port is safe to share).
  door_->ReadLedgerWith({[this, dir](const std::string& day) { return ledger::DayJson(fs_, dir, day); },
                         [this, dir](const std::string& from, const std::string& to,
                                     const std::function<bool(std::string_view)>& line) {
                           ledger::RangeLines(fs_, dir, from, to, line);
                         },
                         [this, dir](const std::string& head) { return ledger::VerifyJson(fs_, dir, head); }});
  if (!(given ? door_->Load(given->settings, ledgerLines, message) : door_->Open(ledgerLines, waker, message))) {
    if (!message.empty()) d_.LogEvent(kErr, message);
    door_.reset();
    return;
  }
  if (!message.empty()) d_.LogEvent(kOk, message);
  d_.Jobs().AddSource(&door_->Source());
  d_.AddObserver(&door_->Keys());
  d_.AddObserver(&door_->Feed());
  ledger_.OnKeyedRecord([this](const std::string& file, const std::string& line) { door_->Keys().Recorded(file, line); });
  door_->PublishStatus(StatusNow());
}

void JobObservers::CloseDoor() {
  if (door_) door_->Close();
}

void JobObservers::Poll() {
  if (door_) {
    door_->PublishStatus(StatusNow());
    for (const std::string& line : door_->TakeLogLines()) d_.LogEvent(kErr, line);
  }
  // Inside a step's waits only what is already known is written out: the
  // ledger's kept records and the status file's refresh.
  if (d_.InTick()) {
    ledger_.Poll();
    status_.Poll();
    return;
  }
  if (door_) {
    if (d_.State().InChiusura) door_->SetClosing();
    if (door_->TakeResetRequest()) d_.cmdResetError_Click();
  }
  // Nothing is told while the program closes.
  if (d_.State().InChiusura) notifier_.SetClosing();
  notifier_.Poll();
  ledger_.Poll();
  status_.Poll();
}

}  // namespace dorvane
