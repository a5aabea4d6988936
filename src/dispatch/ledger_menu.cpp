// The "Registro" menu: today's summary of the receipt ledger, written beside
// the ledger and opened with the system's program for text files.
#include "dispatch/dispatcher.h"
#include "ledger/reports.h"
#include "text/paths.h"

namespace dorvane {

void Dispatcher::m_registro_Click() {
  // The ledger's folder is the job journal's.
  const std::string dir = jobs_.JournalFolder();
  std::string path = JoinPath(dir, ledger::kSummaryFileName);
  if (Status st = ledger::WriteDaySummary(fs_, dir, clock_.Now().Date(), path); !st) {
    ui_.ShowMessage("Riepilogo del registro non scritto: " + path + " " + st.Message());
    return;
  }
  if (!OpenDocument(path, ""))
    ui_.ShowMessage("Operazione non eseguita: verificare presenza di un programma per i file di testo. Riepilogo: " +
                    path);
}

}  // namespace dorvane
