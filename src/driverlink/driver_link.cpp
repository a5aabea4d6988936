#include "driverlink/driver_link.h"

#include "text/paths.h"

namespace dorvane {

DriverLink::DriverLink(FileSystem& fs, Clock& clock, Processes& processes, std::function<LinkSettings()> settings,
                       JobHost& host)
    : fs(fs), clock(clock), processes(processes), host(host), settings(std::move(settings)), set(this->settings()) {}

std::string DriverLink::JournalFolder() const {
  // A missing data folder is never created: KORA1's, which must exist, serves.
  const LinkSettings now = inStep ? set : settings();
  return fs.IsDirectory(now.dorvaneDataDir) ? now.dorvaneDataDir : now.kora1DataDir;
}

void DriverLink::OpenRecords() {
  const std::string folder = JournalFolder();
  journal.Open(folder);
  pending.Open(folder);
}

void DriverLink::ShowResult(const std::string& text) {
  result = text;
  host.ShowResult(text);
}

Status DriverLink::KillFile(const std::string& path) {
  Status last;
  for (int tries = 1;; ++tries) {
    if (path.empty() || !fs.Exists(path)) return Status::Ok();
    last = fs.Remove(path);
    if (last) return last;
    if (tries == 20) return last;
    host.SleepDelay(500);
  }
}

bool DriverLink::Reported(const Status& st, bool& ok) {
  if (st) return true;
  host.ShowMessage(st.Message());
  ok = false;
  return false;
}

Job DriverLink::JobInFlight() {
  if (const std::optional<Job>& job = journal.Job(); job && job->input == input) return *job;
  // A hand-off that failed on the input never reached the journal.
  Job job;
  job.input = input;
  job.key = key;
  job.requestKey = requestKey;
  job.layout = Layout();
  job.time = clock.Now().Stamp();
  return job;
}

void DriverLink::TellSettled(Outcome outcome, const std::string& text, const Filing& filing) {
  Job job = JobInFlight();
  job.data = filing.data;
  job.outcome = outcome;
  job.text = text;
  job.filedAs = filing.job.filedAs;
  if (!filing.otherName.empty()) job.filedNote = "ARCHIVIATO CON UN ALTRO NOME (" + filing.otherNameReason + ")";
  job.recovered = recovering;
  events.Settled(job);
}

void DriverLink::SettleJob(bool printed) {
  if (!journal.Settle(printed && Present(input)))
    host.LogEvent(kErr, "REGISTRO DEL LAVORO NON AGGIORNATO: " + JoinPath(JournalFolder(), JobJournal::kFileName));
}

}  // namespace dorvane
