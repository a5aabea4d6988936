// Making sure KORA1 runs and is ready before any job: clean exchange files,
// find or start its process.
#include "driverlink/job_runner.h"
#include "driverlink/exchange_files.h"
#include "text/paths.h"

namespace dorvane {

void JobRunner::SetExchangePaths() { x_ = MakeExchangeFiles(set_.kora1DataDir, set_.port); }

bool JobRunner::CheckKora1Dump() {
  const std::string& com = set_.port;
  // Ports 1 to 8 only; anything else keeps the paths as they were.
  if (com.size() == 1 && com >= "1" && com <= "8") SetExchangePaths();
  // A job recorded before a crash, or left by a KORA1 that ended, is settled
  // from KORA1's files first. Once settled, whatever an earlier job left is
  // stale; SR_MATR is KORA1's own.
  if (!RecoverJob()) {
    for (const std::string* path : {&x_.Dati, &x_.Start, &x_.Out, &x_.End, &x_.Err})
      SubKillFile(*path);
  }

  const std::string exe = JoinPath(set_.kora1AppDir, set_.kora1ProcName);
  if (SearchProcess(set_.kora1ProcName)) return true;
  if (!processes_.ProgramExists(exe)) {
    ShowResult("KORA1 NON TROVATO O DUMP NON ESEGUITO");
    host_.LogEvent(kErr, result_);
    kora1NotFound_ = true;
    return false;
  }
  processes_.ShellOpen(exe, "0", 2);
  bool found = false;
  for (int check = 0; check < 10 && !found; ++check) {
    host_.SleepDelay(2000);
    found = SearchProcess(set_.kora1ProcName);
  }
  if (!found) {
    ShowResult("KORA1 NON AVVIATO O DUMP NON ESEGUITO");
    host_.LogEvent(kErr, result_);
    host_.EndNow(1);
  }
  ShowResult("");
  host_.SleepDelay(5000);
  return true;
}

}  // namespace dorvane
