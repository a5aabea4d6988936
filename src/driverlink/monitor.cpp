// Watching the job in flight: finished, running, failed, or held by a
// paper-out until KORA1 resumes.
#include "driverlink/job_runner.h"
#include "driverlink/recovery.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kTipRunning = " DORVANE e KORA1 in esecuzione...";
}  // namespace

std::string JobRunner::PaperOutCopyPath() {
  return JoinPath(set_.errorDir, BaseName(input_) + "_ERR" + set_.ErrExt());
}

void JobRunner::RemovePaperOutCopy() {
  const std::string copy = PaperOutCopyPath();
  if (fs_.Exists(copy)) fs_.Remove(copy);
}

Status JobRunner::IsPaperOut(bool& paperOut) {
  paperOut = false;
  if (!Present(x_.Err)) return Status::Ok();
  std::string line;
  Status st = ReadFirstLine(fs_, x_.Err, line);
  if (st) paperOut = IsPaperOutLine(line);
  return st;
}

void JobRunner::SetPaperOut(bool paperOut, const std::string& line) {
  if (paperOut == paperOut_) return;
  paperOut_ = paperOut;
  // The hold and its end have lines of their own, as their notices do.
  if (paperOut) {
    host_.LogEvent(kErr, "CARTA ESAURITA O COPERCHIO APERTO: " + line);
    events_.PaperHeld(input_, line);
  } else {
    host_.LogEvent(kOk, "STAMPA RIPRESA");
    events_.PaperReleased(input_);
  }
}

ExecState JobRunner::MonitorKora1(std::string& message) {
  message = "KORA1 TERMINATO CORRETTAMENTE";
  // Failures here (KORA1 holding a file, a missing error folder) are quiet:
  // the poll goes on and the next tick looks again.
  if (Present(x_.Err)) {
    host_.SleepDelay(300);
    std::string line;
    if (ReadFirstLine(fs_, x_.Err, line)) {
      if (!line.empty()) {
        ExecState code = ExecState::kBlocked;
        if (IsPaperOutLine(line)) {
          if (!paperOut_) {
            std::string report;
            if (fs_.ReadAll(x_.Err, report)) PlaceDurably(fs_, PaperOutCopyPath(), report);
          }
          SetPaperOut(true, line);
          code = ExecState::kPaperOut;
        }
        message = line;
        return code;
      }
      if (paperOut_) {
        RemovePaperOutCopy();
        SetPaperOut(false);
      }
    }
  }
  if (Present(x_.End)) {
    host_.SleepDelay(300);
    if (paperOut_) RemovePaperOutCopy();
    host_.SetTrayTip(kTipConnected);
    return ExecState::kReady;
  }
  host_.SetTrayTip(kTipRunning);
  return ExecState::kRunning;
}

}  // namespace dorvane
