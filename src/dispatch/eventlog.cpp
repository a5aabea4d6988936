// DORVLOG.txt, the event log in KORA1's data directory, and ztk_log.txt, the
// state dump beside the program. Neither may ever fail its caller.
#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

void Dispatcher::LogEvent(const std::string& status, const std::string& message) {
  if (c_.chbLogEnable.Value != 1) return;
  LocalDateTime now = clock_.Now();
  std::string line = status + "|" + message + "|" + jobs_.Snapshot().input + "|" + now.Stamp();
  std::string bytes;
  AppendLine(bytes, line);
  fs_.Append(JoinPath(st_.CurrentKora1DataDir, "DORVLOG.txt"), bytes);  // a lost line is accepted
}

void Dispatcher::DumpState() {
  const std::string text = JoinLines({
      "CurrentDorvaneDataDir = " + st_.CurrentDorvaneDataDir,
      "CurrentKora1AppPathDir = " + st_.CurrentKora1AppPathDir,
      "CurrentKora1DataDir = " + st_.CurrentKora1DataDir,
      "CurrKora1PathSet = " + st_.CurrKora1PathSet,
      "CurrKora1ProcName = " + st_.CurrKora1ProcName,
      "CurrentSelectedFile = " + jobs_.Snapshot().input,
      "CurrInputFilePath = " + st_.CurrInputFilePath,
      "CurrOutputFilePath = " + st_.CurrOutputFilePath,
      "CurrErrorFilePath = " + st_.CurrErrorFilePath,
      "CurrFileFilter = " + st_.CurrFileFilter,
      "StatoEsecuzioneKora1 = " + std::to_string(Number(jobs_.State())),
      "CurrKora1ActiveCom = " + st_.CurrKora1ActiveCom,
  });
  fs_.WriteAll(JoinPath(system_.OwnDirectory(), "ztk_log.txt"), text);
}

}  // namespace dorvane
