// Making sure KORA1 runs and is ready before any job: clean exchange files,
// find or start its process.
#include "dispatch/dispatcher.h"
#include "driverlink/exchange_files.h"
#include "text/paths.h"

namespace dorvane {

void Dispatcher::SetExchangePaths() {
  ExchangeFiles x = MakeExchangeFiles(st_.CurrentKora1DataDir, st_.CurrKora1ActiveCom);
  st_.SR_Matr = x.Matr;
  st_.SR_Dati = x.Dati;
  st_.SR_Start = x.Start;
  st_.SR_Err = x.Err;
  st_.SR_Out = x.Out;
  st_.SR_End = x.End;
}

bool Dispatcher::CheckKora1Dump() {
  const std::string& com = st_.CurrKora1ActiveCom;
  // Ports 1 to 8 only; anything else keeps the paths as they were.
  if (com.size() == 1 && com >= "1" && com <= "8") SetExchangePaths();
  // A job recorded before a crash, or left by a KORA1 that ended, is settled
  // from KORA1's files first. Once settled, whatever an earlier job left is
  // stale; SR_MATR is KORA1's own.
  if (!RecoverJob()) {
    for (const std::string* path : {&st_.SR_Dati, &st_.SR_Start, &st_.SR_Out, &st_.SR_End, &st_.SR_Err})
      SubKillFile(*path);
  }

  const std::string exe = JoinPath(st_.CurrentKora1AppPathDir, st_.CurrKora1ProcName);
  if (SearchProcess(st_.CurrKora1ProcName)) return true;
  if (!processes_.ProgramExists(exe)) {
    c_.txtKora1Result.Set("KORA1 NON TROVATO O DUMP NON ESEGUITO");
    LogEvent(kErr, c_.txtKora1Result.Text);
    st_.ProcessKora1NotFound = true;
    return false;
  }
  processes_.ShellOpen(exe, "0", 2);
  bool found = false;
  for (int check = 0; check < 10 && !found; ++check) {
    SleepDelay(2000);
    found = SearchProcess(st_.CurrKora1ProcName);
  }
  if (!found) {
    c_.txtKora1Result.Set("KORA1 NON AVVIATO O DUMP NON ESEGUITO");
    LogEvent(kErr, c_.txtKora1Result.Text);
    ui_.EndNow(1);
  }
  c_.txtKora1Result.Set("");
  SleepDelay(5000);
  return true;
}

}  // namespace dorvane
