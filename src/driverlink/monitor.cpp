#include "driverlink/monitor.h"

#include "driverlink/recovery.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kTipRunning = " DORVANE e KORA1 in esecuzione...";
}  // namespace

std::string Monitor::PaperOutCopyPath() {
  return JoinPath(link_.set.errorDir, BaseName(link_.input) + "_ERR" + link_.set.ErrExt());
}

void Monitor::RemovePaperOutCopy() {
  if (!paperCopy_.empty() && link_.fs.Exists(paperCopy_)) link_.fs.Remove(paperCopy_);
  paperCopy_.clear();
}

Status Monitor::IsPaperOut(bool& paperOut) {
  paperOut = false;
  if (!link_.Present(link_.x.Err)) return Status::Ok();
  std::string line;
  Status st = ReadFirstLine(link_.fs, link_.x.Err, line);
  if (st) paperOut = IsPaperOutLine(line);
  return st;
}

void Monitor::SetPaperOut(bool paperOut, const std::string& line) {
  if (paperOut == paperOut_) return;
  paperOut_ = paperOut;
  // The hold and its end have lines of their own, as their notices do.
  if (paperOut) {
    link_.host.LogEvent(kErr, "CARTA ESAURITA O COPERCHIO APERTO: " + line);
    link_.events.PaperHeld(link_.input, line);
  } else {
    link_.host.LogEvent(kOk, "STAMPA RIPRESA");
    link_.events.PaperReleased(link_.input);
  }
}

ExecState Monitor::MonitorKora1(std::string& message) {
  message = "KORA1 TERMINATO CORRETTAMENTE";
  // Failures here (KORA1 holding a file, a missing error folder) are quiet:
  // the poll goes on and the next tick looks again.
  if (link_.Present(link_.x.Err)) {
    link_.host.SleepDelay(300);
    std::string line;
    if (ReadFirstLine(link_.fs, link_.x.Err, line)) {
      if (!line.empty()) {
        ExecState code = ExecState::kBlocked;
        if (IsPaperOutLine(line)) {
          if (!paperOut_) {
            std::string report;
            if (link_.fs.ReadAll(link_.x.Err, report) && PlaceDurably(link_.fs, PaperOutCopyPath(), report))
              paperCopy_ = PaperOutCopyPath();
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
  if (link_.Present(link_.x.End)) {
    link_.host.SleepDelay(300);
    RemovePaperOutCopy();
    link_.host.SetTrayTip(kTipConnected);
    return ExecState::kReady;
  }
  link_.host.SetTrayTip(kTipRunning);
  return ExecState::kRunning;
}

}  // namespace dorvane
