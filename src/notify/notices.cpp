#include "notify/notices.h"

namespace dorvane {

namespace {

using E = Episode;
using P = Phase;
using I = NoticeIcon;

// THE table of notifications. The manual's table "Notifiche dell'icona"
// (docs/manuale/05-messaggi.md) has the same rows in the same order.
const std::vector<NoticeRow> kNotices = {
    {E::kPaperOut, P::kStart, I::kWarning, "CARTA ESAURITA O COPERCHIO APERTO",
     "STAMPA FERMA SU <file>: <riga>. CAMBIARE IL ROTOLO O CHIUDERE IL COPERCHIO"},
    {E::kPaperOut, P::kEnd, I::kInfo, "STAMPA RIPRESA", "KORA1 HA RIPRESO LA STAMPA DI <file>"},
    {E::kRefused, P::kStart, I::kError, "SCONTRINO RIFIUTATO DA KORA1", "<file> NON STAMPATO: <riga>"},
    {E::kUnknownOutcome, P::kStart, I::kError, "ESITO SCONOSCIUTO",
     "<file>: CONTROLLARE IL GIORNALE FISCALE DELLA STAMPANTE PRIMA DI STAMPARLO DI NUOVO"},
    {E::kInputFailed, P::kStart, I::kError, "SCONTRINO NON CONSEGNATO A KORA1", "<file> NON STAMPATO[: <motivo>]"},
    {E::kKora1Lost, P::kStart, I::kError, "KORA1 NON CONNESSO",
     "DA PIU' DI 10 SECONDI: GLI SCONTRINI RESTANO IN ATTESA[ (<motivo>)]"},
    {E::kKora1Lost, P::kEnd, I::kInfo, "KORA1 CONNESSO", "LA STAMPA DEGLI SCONTRINI RIPRENDE"},
    {E::kFolderUnreachable, P::kStart, I::kError, "CARTELLA NON RAGGIUNGIBILE",
     "<cartella> NON RAGGIUNGIBILE DA PIU' DI 10 SECONDI[: <motivo>]"},
    {E::kFolderUnreachable, P::kEnd, I::kInfo, "CARTELLA DI NUOVO RAGGIUNGIBILE", "<cartella>"},
    {E::kFilingFailed, P::kStart, I::kWarning, "ARCHIVIAZIONE NON RIUSCITA",
     "<file> NON ARCHIVIATO[: <motivo>]. DORVANE RIPROVA DA SOLO"},
    {E::kFilingFailed, P::kEnd, I::kInfo, "ARCHIVIAZIONE COMPLETATA", "<file> ARCHIVIATO"},
    {E::kFiledUnderOtherName, P::kStart, I::kWarning, "ARCHIVIATO CON UN ALTRO NOME",
     "<file> ARCHIVIATO COME <nome>[: <motivo>]"},
    {E::kLinkRefused, P::kStart, I::kWarning, "COLLEGAMENTO SIMBOLICO NON LETTO",
     "<nome> NELLA CARTELLA DI INPUT: NON VIENE STAMPATO"},
    {E::kLedgerUnwritable, P::kStart, I::kWarning, "REGISTRO DEGLI SCONTRINI NON SCRIVIBILE",
     "IL REGISTRO DEGLI SCONTRINI NON SI AGGIORNA[: <motivo>]"},
    {E::kLedgerUnwritable, P::kEnd, I::kInfo, "REGISTRO DEGLI SCONTRINI DI NUOVO SCRIVIBILE",
     "IL REGISTRO DEGLI SCONTRINI SI AGGIORNA DI NUOVO"},
    {E::kJournalUnwritable, P::kStart, I::kError, "REGISTRO DEI LAVORI NON SCRIVIBILE",
     "<cartella>: GLI SCONTRINI RESTANO IN ATTESA[ (<motivo>)]"},
    {E::kJournalUnwritable, P::kEnd, I::kInfo, "REGISTRO DEI LAVORI DI NUOVO SCRIVIBILE",
     "<cartella>: LA STAMPA DEGLI SCONTRINI RIPRENDE"},
};

// The value of a placeholder's name; nullptr for a name that is none.
const std::string* ValueOf(const std::string& name, const NoticeValues& v) {
  if (name == "file") return &v.file;
  if (name == "riga") return &v.line;
  if (name == "motivo") return &v.reason;
  if (name == "cartella") return &v.folder;
  if (name == "nome") return &v.name;
  return nullptr;
}

// Fills [from, to) of the template into out; false when a placeholder in it
// has no value.
bool Fill(const std::string& t, std::size_t from, std::size_t to, const NoticeValues& v, std::string& out) {
  bool complete = true;
  for (std::size_t i = from; i < to; ++i) {
    const std::size_t close = t[i] == '<' ? t.find('>', i) : std::string::npos;
    const std::string* value = close < to ? ValueOf(t.substr(i + 1, close - i - 1), v) : nullptr;
    if (!value) {
      out += t[i];
      continue;
    }
    complete = complete && !value->empty();
    out += *value;
    i = close;
  }
  return complete;
}

}  // namespace

const std::vector<NoticeRow>& NoticeTable() { return kNotices; }

const NoticeRow* FindNotice(Episode episode, Phase phase) {
  for (const NoticeRow& row : kNotices)
    if (row.episode == episode && row.phase == phase) return &row;
  return nullptr;
}

std::string RenderNotice(const std::string& t, const NoticeValues& values) {
  std::string out;
  std::size_t i = 0;
  while (i < t.size()) {
    const std::size_t open = t.find('[', i);
    const std::size_t close = open == std::string::npos ? std::string::npos : t.find(']', open);
    if (close == std::string::npos) {
      Fill(t, i, t.size(), values, out);
      break;
    }
    Fill(t, i, open, values, out);
    std::string part;
    if (Fill(t, open + 1, close, values, part)) out += part;
    i = close + 1;
  }
  return out;
}

const char* IconWord(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::kInfo: return "informazione";
    case NoticeIcon::kWarning: return "avviso";
    case NoticeIcon::kError: return "errore";
  }
  return "";
}

}  // namespace dorvane
