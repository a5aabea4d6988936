#include "driverlink/recovery.h"

#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "platform/filesystem.h"

namespace dorvane {

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

std::string Dispatcher::JournalFolder() {
  // A missing data folder is never created: KORA1's, which must exist, serves.
  return fs_.IsDirectory(st_.CurrentDorvaneDataDir) ? st_.CurrentDorvaneDataDir : st_.CurrentKora1DataDir;
}

void Dispatcher::SettleJob(bool printed) {
  if (!journal_.Settle(printed && Present(st_.CurrentSelectedFile)))
    LogEvent(kErr, "REGISTRO DEL LAVORO NON AGGIORNATO: " + JoinPath(JournalFolder(), JobJournal::kFileName));
}

bool Dispatcher::Kora1RestartedSinceJob() {
  // A KORA1 started again since the job was recorded (its dump, SR_MATR, not
  // done yet, or newer than the record) never resumes the job.
  const std::optional<JobRecord>& job = journal_.Job();
  LocalDateTime dumped;
  return job && (!Present(st_.SR_Matr) ||
                 (fs_.CreationTime(st_.SR_Matr, dumped) && dumped.Date() + " " + dumped.Time() > job->time));
}

bool Dispatcher::RecoverJob() {
  journal_.Open(JournalFolder());
  const std::optional<JobRecord>& job = journal_.Job();
  if (!job) {
    // A hold left by a job already filed ends with the clean-up that follows.
    if (st_.StatoEsecuzioneKora1 == 1 || st_.StatoEsecuzioneKora1 == 3) st_.StatoEsecuzioneKora1 = 0;
    return false;
  }
  JobEvidence e;
  e.inputThere = Present(job->input);
  e.inputSame = e.inputThere && FindFileInfo(job->input) == job->key;
  std::string data;
  if (Present(st_.SR_Dati) && fs_.ReadAll(st_.SR_Dati, data))
    e.dataSame = data.size() == job->size && JobChecksum(data) == job->checksum;
  e.startWaiting = Present(st_.SR_Start);
  e.started = job->phase == JobRecord::kStarted;
  e.finished = Present(st_.SR_End);
  if (Present(st_.SR_Err)) ReadFirstLine(fs_, st_.SR_Err, e.errorLine);
  e.paperOut = IsPaperOutLine(e.errorLine);
  e.kora1Running = !Kora1RestartedSinceJob() && SearchProcess(st_.CurrKora1ProcName);
  Settlement s = Settle(e);
  // Removing the start signal claims the job back; if KORA1 took it first,
  // it is KORA1's.
  if (s == Settlement::kResend && !fs_.Remove(st_.SR_Start)) {
    e.startWaiting = false;
    s = Settle(e);
  }

  const std::int16_t held = s == Settlement::kWatch ? 1 : s == Settlement::kPaperOut ? 3 : -1;
  if (held == st_.StatoEsecuzioneKora1) return true;  // already watched in this run: nothing new to tell

  st_.CurrentSelectedFile = job->input;
  const std::string text = SettlementText(s);
  c_.txtKora1Result.Set(s == Settlement::kFailed ? e.errorLine : text);
  // A printed or unknown outcome is told by the filing's own log lines,
  // which show the result box.
  if (s != Settlement::kUnknown && s != Settlement::kPrinted)
    LogEvent(s == Settlement::kResend || s == Settlement::kWatch ? kOk : kErr, text);
  switch (s) {
    case Settlement::kForget:
    case Settlement::kResend:
      SettleJob(false);
      st_.StatoEsecuzioneKora1 = 0;
      return false;
    case Settlement::kWatch:
    case Settlement::kPaperOut:
      // The next poll makes the paper-out copy, as for any paper-out.
      st_.isStatoErroreFineCarta = false;
      st_.StatoEsecuzioneKora1 = held;
      return true;
    case Settlement::kPrinted:
      st_.StatoEsecuzioneKora1 = OutputHandling();
      return false;
    case Settlement::kFailed:
      st_.StatoEsecuzioneKora1 = FailedJobHandling();
      return false;
    case Settlement::kUnknown:
      // KORA1's report, if any, is stale: the job is filed with our own. A
      // job file not this job's is no copy of it: the input itself is filed.
      SubKillFile(st_.SR_Err);
      if (!e.dataSame) SubKillFile(st_.SR_Dati);
      st_.StatoEsecuzioneKora1 = FailedJobHandling();
      return false;
  }
  return false;
}

}  // namespace dorvane
