#include "driverlink/recovery.h"

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

Interrupted WhoWasInterrupted(const JobEvidence& e, bool restart) {
  if (!e.dataSame) return Interrupted::kUnknown;
  if (restart) return e.kora1Running ? Interrupted::kDorvane : Interrupted::kBoth;
  return e.kora1Running ? Interrupted::kUnknown : Interrupted::kKora1;
}

namespace {
std::string UnknownOutcomeText(Interrupted who) {
  switch (who) {
    case Interrupted::kDorvane: return "ESITO SCONOSCIUTO: DORVANE SI E' INTERROTTO DURANTE LA STAMPA. CONTROLLARE IL "
                                       "GIORNALE FISCALE DELLA STAMPANTE PRIMA DI STAMPARLO DI NUOVO";
    case Interrupted::kKora1: return "ESITO SCONOSCIUTO: KORA1 SI E' INTERROTTO DURANTE LA STAMPA. CONTROLLARE IL "
                                     "GIORNALE FISCALE DELLA STAMPANTE PRIMA DI STAMPARLO DI NUOVO";
    case Interrupted::kBoth: return "ESITO SCONOSCIUTO: DORVANE E KORA1 SI SONO INTERROTTI DURANTE LA STAMPA. "
                                    "CONTROLLARE IL GIORNALE FISCALE DELLA STAMPANTE PRIMA DI STAMPARLO DI NUOVO";
    case Interrupted::kUnknown: break;
  }
  return "ESITO SCONOSCIUTO: ESITO DI KORA1 NON TROVATO. CONTROLLARE IL GIORNALE FISCALE DELLA STAMPANTE PRIMA DI "
         "STAMPARLO DI NUOVO";
}
}  // namespace

std::string SettlementText(Settlement s, Interrupted who) {
  switch (s) {
    case Settlement::kForget: return "RIPRESA: FILE DI INPUT NON PIU' PRESENTE O CAMBIATO, LAVORO DIMENTICATO";
    case Settlement::kResend: return "RIPRESA: LAVORO NON PRESO DA KORA1, SARA' INVIATO DI NUOVO";
    case Settlement::kPrinted: return "RIPRESA: SCONTRINO GIA' STAMPATO DA KORA1, ARCHIVIATO SENZA RISTAMPA";
    case Settlement::kFailed: return "RIPRESA: LAVORO FALLITO SU KORA1, ARCHIVIATO TRA GLI ERRORI";
    case Settlement::kPaperOut: return "RIPRESA: CARTA ESAURITA, LAVORO IN ATTESA DI KORA1";
    case Settlement::kWatch: return "RIPRESA: LAVORO IN CORSO SU KORA1, IN ATTESA DELL'ESITO";
    case Settlement::kUnknown: break;
  }
  return UnknownOutcomeText(who);
}

Settlement Recovery::Examine(const Job& job, JobEvidence& e) {
  e = Evidence(job);
  Settlement s = Settle(e);
  if (s == Settlement::kResend && !link_.fs.Remove(link_.x.Start)) {
    e.startWaiting = false;
    s = Settle(e);
  }
  return s;
}

bool Recovery::Kora1RestartedSinceJob() {
  // Its dump, SR_MATR, not done yet, or newer than the record.
  const std::optional<Job>& job = link_.journal.Job();
  LocalDateTime dumped;
  return job && (!link_.Present(link_.x.Matr) ||
                 (link_.fs.CreationTime(link_.x.Matr, dumped) && dumped.Stamp() > job->time));
}

JobEvidence Recovery::Evidence(const Job& job) {
  JobEvidence e;
  e.inputThere = link_.Present(job.input);
  e.inputSame = e.inputThere && selection_.FindFileInfo(job.input) == job.key;
  std::string data;
  if (link_.Present(link_.x.Dati) && link_.fs.ReadAll(link_.x.Dati, data))
    e.dataSame = data.size() == job.dataSize && JobChecksum(data) == job.dataChecksum;
  e.startWaiting = link_.Present(link_.x.Start);
  e.started = job.started;
  e.finished = link_.Present(link_.x.End);
  if (link_.Present(link_.x.Err)) ReadFirstLine(link_.fs, link_.x.Err, e.errorLine);
  e.paperOut = IsPaperOutLine(e.errorLine);
  e.kora1Running = !Kora1RestartedSinceJob() && process_.SearchProcess(link_.set.kora1ProcName);
  return e;
}

}  // namespace dorvane
