#include "driverlink/recovery.h"

#include "driverlink/job_runner.h"
#include "platform/filesystem.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

bool IsPaperOutLine(const std::string& line) {
  const std::string upper = UpperAnsi(line);
  return line.find("E096:") != std::string::npos || upper.find("FINE CARTA") != std::string::npos ||
         upper.find("COVER") != std::string::npos;
}

Settlement Settle(const JobEvidence& e) {
  if (!e.inputThere || !e.inputSame) return Settlement::kForget;
  // KORA1's files belong to another job: whatever they say is not this one's.
  if (!e.dataSame) return Settlement::kUnknown;
  if (e.startWaiting) return Settlement::kResend;
  if (!e.errorLine.empty()) {
    if (!e.paperOut) return Settlement::kFailed;
    // A paper-out is held only while KORA1 is there to resume it.
    return e.kora1Running ? Settlement::kPaperOut : Settlement::kUnknown;
  }
  if (e.finished) return Settlement::kPrinted;
  // Without the start signal on record, a missing signal may mean it was
  // never written as well as taken: that is no job to wait for.
  return e.started && e.kora1Running ? Settlement::kWatch : Settlement::kUnknown;
}

std::string SettlementText(Settlement s) {
  switch (s) {
    case Settlement::kForget: return "RIPRESA: FILE DI INPUT NON PIU' PRESENTE O CAMBIATO, LAVORO DIMENTICATO";
    case Settlement::kResend: return "RIPRESA: LAVORO NON PRESO DA KORA1, SARA' INVIATO DI NUOVO";
    case Settlement::kPrinted: return "RIPRESA: SCONTRINO GIA' STAMPATO DA KORA1, ARCHIVIATO SENZA RISTAMPA";
    case Settlement::kFailed: return "RIPRESA: LAVORO FALLITO SU KORA1, ARCHIVIATO TRA GLI ERRORI";
    case Settlement::kPaperOut: return "RIPRESA: CARTA ESAURITA, LAVORO IN ATTESA DI KORA1";
    case Settlement::kWatch: return "RIPRESA: LAVORO IN CORSO SU KORA1, IN ATTESA DELL'ESITO";
    case Settlement::kUnknown: break;
  }
  return "ESITO SCONOSCIUTO: KORA1 SI E' INTERROTTO DURANTE LA STAMPA. CONTROLLARE IL GIORNALE FISCALE DELLA "
         "STAMPANTE PRIMA DI STAMPARLO DI NUOVO";
}

std::string JobRunner::JournalFolder() const {
  // A missing data folder is never created: KORA1's, which must exist, serves.
  const LinkSettings now = inStep_ ? set_ : settings_();
  return fs_.IsDirectory(now.dorvaneDataDir) ? now.dorvaneDataDir : now.kora1DataDir;
}

void JobRunner::SettleJob(bool printed) {
  if (!journal_.Settle(printed && Present(input_)))
    host_.LogEvent(kErr, "REGISTRO DEL LAVORO NON AGGIORNATO: " + JoinPath(JournalFolder(), JobJournal::kFileName));
}

Job JobRunner::JobInFlight() {
  if (const std::optional<Job>& job = journal_.Job(); job && job->input == input_) return *job;
  // A hand-off that failed on the input never reached the journal.
  Job job;
  job.input = input_;
  job.key = selectedKey_;
  job.layout = set_.Layout();
  job.time = clock_.Now().Stamp();
  return job;
}

void JobRunner::TellSettled(Outcome outcome, const std::string& text, std::vector<std::string> filedAs) {
  Job job = JobInFlight();
  job.outcome = outcome;
  job.text = text;
  job.filedAs = std::move(filedAs);
  job.recovered = recovering_;
  events_.Settled(job);
}

bool JobRunner::Kora1RestartedSinceJob() {
  // A KORA1 started again since the job was recorded (its dump, SR_MATR, not
  // done yet, or newer than the record) never resumes the job.
  const std::optional<Job>& job = journal_.Job();
  LocalDateTime dumped;
  return job && (!Present(x_.Matr) ||
                 (fs_.CreationTime(x_.Matr, dumped) && dumped.Stamp() > job->time));
}

void JobRunner::OpenRecords() {
  const std::string folder = JournalFolder();
  journal_.Open(folder);
  pending_.Open(folder);
}

JobEvidence JobRunner::Evidence(const Job& job) {
  JobEvidence e;
  e.inputThere = Present(job.input);
  e.inputSame = e.inputThere && FindFileInfo(job.input) == job.key;
  std::string data;
  if (Present(x_.Dati) && fs_.ReadAll(x_.Dati, data))
    e.dataSame = data.size() == job.dataSize && JobChecksum(data) == job.dataChecksum;
  e.startWaiting = Present(x_.Start);
  e.started = job.started;
  e.finished = Present(x_.End);
  if (Present(x_.Err)) ReadFirstLine(fs_, x_.Err, e.errorLine);
  e.paperOut = IsPaperOutLine(e.errorLine);
  e.kora1Running = !Kora1RestartedSinceJob() && SearchProcess(set_.kora1ProcName);
  return e;
}

bool JobRunner::RecoverJob() {
  OpenRecords();
  struct Recovering {
    bool& flag;
    ~Recovering() { flag = false; }
  } recovering{recovering_ = true};
  const std::optional<Job>& job = journal_.Job();
  if (!job) {
    // A hold left by a job already filed ends with the clean-up that follows.
    if (state_ == ExecState::kRunning || state_ == ExecState::kPaperOut) SetState(ExecState::kReady);
    return false;
  }
  JobEvidence e = Evidence(*job);
  Settlement s = Settle(e);
  // Removing the start signal claims the job back; if KORA1 took it first,
  // it is KORA1's.
  if (s == Settlement::kResend && !fs_.Remove(x_.Start)) {
    e.startWaiting = false;
    s = Settle(e);
  }

  const bool held = s == Settlement::kWatch || s == Settlement::kPaperOut;
  const ExecState holding = s == Settlement::kWatch ? ExecState::kRunning : ExecState::kPaperOut;
  if (held && holding == state_) return true;  // already watched in this run: nothing new to tell

  input_ = job->input;
  const std::string text = SettlementText(s);
  ShowResult(s == Settlement::kFailed ? e.errorLine : text);
  // A printed or unknown outcome is told by the filing's own log lines,
  // which show the result box.
  if (s != Settlement::kUnknown && s != Settlement::kPrinted)
    host_.LogEvent(s == Settlement::kResend || s == Settlement::kWatch ? kOk : kErr, text);
  return ApplySettlement(s, e, holding);
}

bool JobRunner::ApplySettlement(Settlement s, const JobEvidence& e, ExecState holding) {
  switch (s) {
    case Settlement::kForget:
    case Settlement::kResend:
      SettleJob(false);
      SetState(ExecState::kReady);
      return false;
    case Settlement::kWatch:
    case Settlement::kPaperOut:
      // The next poll makes the paper-out copy, as for any paper-out.
      paperOut_ = false;
      SetState(holding);
      return true;
    case Settlement::kPrinted:
      SetState(OutputHandling());
      return false;
    case Settlement::kFailed:
      SetState(FailedJobHandling(Outcome::kRefused));
      return false;
    case Settlement::kUnknown:
      // KORA1's report, if any, is stale: the job is filed with our own. A
      // job file not this job's is no copy of it: the input itself is filed.
      SubKillFile(x_.Err);
      if (!e.dataSame) SubKillFile(x_.Dati);
      SetState(FailedJobHandling(Outcome::kUnknown));
      return false;
  }
  return false;
}

}  // namespace dorvane
