// Watching the job in flight: finished, running, failed, or held by a
// paper-out until KORA1 resumes.
#include "dispatch/dispatcher.h"
#include "driverlink/recovery.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kTipRunning = " DORVANE e KORA1 in esecuzione...";
}  // namespace

bool IsPaperOutLine(const std::string& line) {
  const std::string upper = UpperAnsi(line);
  return line.find("E096:") != std::string::npos || upper.find("FINE CARTA") != std::string::npos ||
         upper.find("COVER") != std::string::npos;
}

std::string Dispatcher::PaperOutCopyPath() {
  return JoinPath(st_.CurrErrorFilePath, BaseName(st_.CurrentSelectedFile) + "_ERR" + c_.txtErrExt.Text);
}

void Dispatcher::RemovePaperOutCopy() {
  const std::string copy = PaperOutCopyPath();
  if (fs_.Exists(copy)) fs_.Remove(copy);
}

Status Dispatcher::IsPaperOut(bool& paperOut) {
  paperOut = false;
  if (!Present(st_.SR_Err)) return Status::Ok();
  std::string line;
  Status st = ReadFirstLine(fs_, st_.SR_Err, line);
  if (st) paperOut = IsPaperOutLine(line);
  return st;
}

std::int16_t Dispatcher::MonitorKora1(std::string& message) {
  message = "KORA1 TERMINATO CORRETTAMENTE";
  // Failures here (KORA1 holding a file, a missing error folder) are quiet:
  // the poll goes on and the next tick looks again.
  if (Present(st_.SR_Err)) {
    SleepDelay(300);
    std::string line;
    if (ReadFirstLine(fs_, st_.SR_Err, line)) {
      if (!line.empty()) {
        std::int16_t code = 2;
        if (IsPaperOutLine(line)) {
          if (!st_.isStatoErroreFineCarta) fs_.Copy(st_.SR_Err, PaperOutCopyPath());
          st_.isStatoErroreFineCarta = true;
          code = 3;
        }
        message = line;
        return code;
      }
      if (st_.isStatoErroreFineCarta) {
        RemovePaperOutCopy();
        st_.isStatoErroreFineCarta = false;
      }
    }
  }
  if (Present(st_.SR_End)) {
    SleepDelay(300);
    if (st_.isStatoErroreFineCarta) RemovePaperOutCopy();
    ui_.TrayModify(kTipConnected);
    return 0;
  }
  ui_.TrayModify(kTipRunning);
  return 1;
}

}  // namespace dorvane
