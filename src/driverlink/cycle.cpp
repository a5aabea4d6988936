// The dispatch cycle: one small step per tick of Timer1, never more than one
// job in flight.
#include "driverlink/job_runner.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kInputNotDeleted = "ERRORE: FILE DI INPUT NON CANCELLATO";
}  // namespace

JobRunner::JobRunner(FileSystem& fs, Clock& clock, Processes& processes, std::function<LinkSettings()> settings,
                     JobHost& host)
    : fs_(fs), clock_(clock), processes_(processes), settings_(std::move(settings)), set_(settings_()), host_(host) {}

bool JobRunner::IsKora1Connected() const { return !x_.Matr.empty() && fs_.Exists(x_.Matr); }

void JobRunner::SetState(ExecState s) {
  if (s == state_) return;
  const ExecState was = state_;
  state_ = s;
  events_.StateChanged(was, s);
}

void JobRunner::ShowResult(const std::string& text) {
  result_ = text;
  host_.ShowResult(text);
}

void JobRunner::ShowConnected(const char* how) {
  host_.ShowConnection(true);
  connectionShown_ = true;
  host_.LogEvent(kOk, std::string("KORA1 CONNESSO") + how);
  host_.SetTrayTip(kTipConnected);
  if (!kora1Up_) events_.Kora1Found();
  kora1Up_ = true;
}

void JobRunner::ShowNotConnected() {
  host_.ShowConnection(false);
  connectionShown_ = false;
  host_.LogEvent(kErr, "KORA1 NON CONNESSO");
  // Told once an episode, with what the connection found.
  if (kora1Up_ || !kora1Told_) events_.Kora1Lost(kora1NotFound_ ? result_ : "KORA1 NON CONNESSO");
  kora1Up_ = false;
  kora1Told_ = true;
}

void JobRunner::Tick() {
  set_ = settings_();
  inStep_ = true;
  struct StepEnd {
    bool& flag;
    ~StepEnd() { flag = false; }
  } stepEnd{inStep_};
  if (set_.port.empty()) return;
  if (!swept_) SweepLeftovers();
  if (IsKora1Connected() && connected_) {
    if (!connectionShown_) ShowConnected(" (a)");
    SetState(StateStep());
    return;
  }
  connected_ = CheckKora1Dump();
  if (IsKora1Connected() && connected_) {
    ShowConnected(" (b)");
  } else {
    ShowNotConnected();
  }
  host_.ProcessEvents();
}

ExecState JobRunner::StateStep() {
  std::string text;
  switch (state_) {
    case ExecState::kReady: {
      // Results reach the management program in order: nothing new is
      // handed over while a filing waits.
      if (!RetryPendingFiling()) return ExecState::kReady;
      const std::string name = FindNewestFile(set_.inputDir);
      host_.ShowSelectedFile(name);
      if (name.empty()) {
        ++idleTicks_;
        // A KORA1 that has gone away is noticed on the next tick.
        connected_ = SearchProcess(set_.kora1ProcName);
        return ExecState::kReady;
      }
      idleTicks_ = 0;
      if (set_.AdHoc() && IsReservedFileName(name)) return ExecState::kReady;
      if (SendFileToKora1(name)) return ExecState::kRunning;
      if (handOffFailedOnDriverSide_) {
        // Nothing is wrong with the receipt: it stays and is tried again.
        host_.LogEvent(kErr, result_);
      } else {
        HandleKora1Error(result_, Outcome::kInputFailed);
      }
      return ExecState::kReady;
    }
    case ExecState::kRunning: {
      const ExecState r = MonitorKora1(text);
      if (r == ExecState::kRunning) {
        WatchKora1Process();
        return ExecState::kRunning;
      }
      ShowResult(text);
      host_.ProcessEvents();
      if (r == ExecState::kReady) return OutputHandling();
      if (r == ExecState::kBlocked) return FailedJobHandling(Outcome::kRefused);
      return PaperOutStep(MonitorKora1(text));
    }
    case ExecState::kBlocked: {
      RetryPendingFiling();
      if (set_.autoReset == 1) {
        ResetError();
        return ExecState::kReady;
      }
      host_.PaintResetButton(true);
      host_.ProcessEvents();
      const std::string marker = JoinPath(set_.inputDir, "DORVRETRY.DVN");
      if (!fs_.Exists(marker)) return ExecState::kBlocked;
      ResetError();
      if (fs_.Exists(marker)) SubKillFile(marker);
      return ExecState::kReady;
    }
    case ExecState::kPaperOut:
      return PaperOutStep(MonitorKora1(text));
  }
  return state_;
}

void JobRunner::WatchKora1Process() {
  // KORA1 gone, or started again, in the middle of a job: the next tick
  // reconnects, and the job is settled from what KORA1 left before anything
  // is cleaned.
  if (Kora1RestartedSinceJob() || !SearchProcess(set_.kora1ProcName)) connected_ = false;
}

ExecState JobRunner::PaperOutStep(ExecState r) {
  if (r == ExecState::kPaperOut) WatchKora1Process();
  if (r == ExecState::kPaperOut || r == ExecState::kBlocked) return r;
  SetPaperOut(false);
  return r == ExecState::kRunning ? ExecState::kRunning : OutputHandling();
}

ExecState JobRunner::FailedJobHandling(Outcome outcome) {
  HandleKora1Error(result_, outcome);
  host_.LogEvent(kErr, result_);
  SettleJob(false);
  return paperOut_ ? ExecState::kPaperOut : ExecState::kBlocked;
}

ExecState JobRunner::OutputHandling() {
  const bool filed = HandleKora1Output();
  // KORA1 has printed this receipt: an input that could not be deleted is
  // remembered and never handed over again.
  SettleJob(true);
  if (filed) {
    host_.LogEvent(kOk, result_);
    return ExecState::kReady;
  }
  // The box says why, while the filing waits to be done again.
  ShowResult(pending_.Get() ? kInputNotDeleted + (" - " + pendingCause_) : kInputNotDeleted);
  host_.LogEvent(kErr, kInputNotDeleted);
  host_.PaintResetButton(true);
  return ExecState::kBlocked;
}

void JobRunner::ResetError() {
  // A job in flight is KORA1's until its verdict: a reset then would hand
  // the next receipt over beside it, and lose the verdict KORA1 writes.
  if ((state_ == ExecState::kRunning || state_ == ExecState::kPaperOut) && journal_.Job()) return;
  if (!inStep_) set_ = settings_();
  if (Present(x_.Err)) SubKillFile(x_.Err);
  SetState(ExecState::kReady);
  ShowResult("");
  host_.PaintResetButton(false);
}

bool JobRunner::CloseKora1() {
  if (!inStep_) set_ = settings_();
  return SearchProcessAndKillIt(set_.kora1ProcName);
}

}  // namespace dorvane
