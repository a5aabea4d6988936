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
    : link_(fs, clock, processes, std::move(settings), host) {
  port_.Add(&folder_);
  link_.events.Add(&port_);
}

EngineSnapshot JobRunner::Snapshot() const {
  EngineSnapshot s;
  s.state = state_;
  s.connected = connected_;
  s.kora1NotFound = kora1NotFound_;
  s.paperOut = monitor_.PaperOut();
  s.files = link_.x;
  s.input = link_.input;
  s.idleTicks = idleTicks_;
  s.filingHeld = link_.pending.Holds();
  return s;
}

bool JobRunner::IsReceiptName(const std::string& name) const {
  return selection_.MatchesFilePrefix(name) && !selection_.IsReservedFileName(name);
}

bool JobRunner::Kora1Present() const { return !link_.x.Matr.empty() && link_.fs.Exists(link_.x.Matr); }

void JobRunner::SetState(ExecState s) {
  if (s == state_) return;
  const ExecState was = state_;
  state_ = s;
  link_.events.StateChanged(was, s);
}

void JobRunner::ShowConnected(const char* how) {
  link_.host.ShowConnection(true);
  connectionShown_ = true;
  link_.host.LogEvent(kOk, std::string("KORA1 CONNESSO") + how);
  link_.host.SetTrayTip(kTipConnected);
  if (!kora1Up_) link_.events.Kora1Found();
  kora1Up_ = true;
}

void JobRunner::ShowNotConnected() {
  link_.host.ShowConnection(false);
  connectionShown_ = false;
  link_.host.LogEvent(kErr, "KORA1 NON CONNESSO");
  // Told once an episode, with what the connection found.
  if (kora1Up_ || !kora1Told_) link_.events.Kora1Lost(kora1NotFound_ ? link_.result : "KORA1 NON CONNESSO");
  kora1Up_ = false;
  kora1Told_ = true;
}

void JobRunner::Tick() {
  link_.TakeSettings();
  link_.inStep = true;
  struct StepEnd {
    bool& flag;
    ~StepEnd() { flag = false; }
  } stepEnd{link_.inStep};
  if (link_.set.port.empty()) return;
  filing_.SweepLeftovers();
  reach_.CheckOutputAndError();
  if (Kora1Present() && connected_) {
    if (!connectionShown_) ShowConnected(" (a)");
    SetState(StateStep());
    return;
  }
  connected_ = CheckKora1Dump();
  if (Kora1Present() && connected_) {
    ShowConnected(" (b)");
  } else {
    ShowNotConnected();
  }
  link_.host.ProcessEvents();
}

ExecState JobRunner::Halt() {
  // The operator's reset makes the engine reconnect first: the recovery
  // settles a job the journal still holds, and stale exchange files go.
  reconnectAfterReset_ = true;
  link_.host.PaintResetButton(true);
  return ExecState::kBlocked;
}

ExecState JobRunner::StateStep() {
  switch (state_) {
    case ExecState::kReady: return ReadyStep();
    case ExecState::kRunning: return RunningStep();
    case ExecState::kBlocked: return BlockedStep();
    case ExecState::kPaperOut: {
      std::string text;
      return PaperOutStep(monitor_.MonitorKora1(text));
    }
  }
  return state_;
}

ExecState JobRunner::ReadyStep() {
  // Results reach the management program in order: nothing new is handed
  // over while a filing waits, unless the reset marker lets the receipts go on.
  const bool held = !filing_.RetryPendingFiling();
  link_.journal.ForgetGone();
  if (held && !(TakeResetMarker() && filing_.LetReceiptsGoOn())) return ExecState::kReady;
  std::optional<InputChoice> next = port_.Next();
  // A settled receipt whose filing waits is never taken again, from any source.
  if (next && link_.pending.Waits(next->path, next->key)) next.reset();
  const std::string name = next ? BaseName(next->path) : "";
  link_.key = next ? next->key : "";
  link_.requestKey = next ? next->requestKey : "";
  link_.inputLayout = next ? next->layout : std::nullopt;
  link_.host.ShowSelectedFile(name);
  if (!next) {
    ++idleTicks_;
    // A KORA1 that has gone away is noticed on the next tick.
    connected_ = process_.SearchProcess(link_.set.kora1ProcName);
    return ExecState::kReady;
  }
  idleTicks_ = 0;
  if (link_.set.AdHoc() && next->requestKey.empty() && selection_.IsReservedFileName(name)) return ExecState::kReady;
  if (handOff_.SendFileToKora1(next->path)) return ExecState::kRunning;
  if (safety_.TakeBroken()) return Halt();
  if (handOff_.FailedOnDriverSide()) {
    // Nothing is wrong with the receipt: it stays and is tried again.
    if (!handOff_.FailureTold()) link_.host.LogEvent(kErr, link_.result);
  } else {
    filing_.HandleKora1Error(link_.result, Outcome::kInputFailed);
    if (safety_.TakeBroken()) return Halt();
  }
  return ExecState::kReady;
}

ExecState JobRunner::RunningStep() {
  std::string text;
  const ExecState r = monitor_.MonitorKora1(text);
  if (r == ExecState::kRunning) {
    WatchKora1Process();
    return ExecState::kRunning;
  }
  link_.ShowResult(text);
  link_.host.ProcessEvents();
  if (r == ExecState::kReady) return OutputHandling();
  if (r == ExecState::kBlocked) return FailedJobHandling(Outcome::kRefused);
  return PaperOutStep(monitor_.MonitorKora1(text));
}

ExecState JobRunner::BlockedStep() {
  filing_.RetryPendingFiling();
  if (link_.set.autoReset == 1) {
    ResetError();
    return ExecState::kReady;
  }
  link_.host.PaintResetButton(true);
  link_.host.ProcessEvents();
  if (!TakeResetMarker()) return ExecState::kBlocked;
  filing_.LetReceiptsGoOn();
  ResetError();
  return ExecState::kReady;
}

bool JobRunner::TakeResetMarker() {
  const std::string marker = JoinPath(link_.set.inputDir, "DORVRETRY.DVN");
  if (!link_.fs.Exists(marker)) return false;
  link_.SubKillFile(marker);
  return true;
}

void JobRunner::WatchKora1Process() {
  // KORA1 gone, or started again, in the middle of a job: the next tick
  // reconnects, and the job is settled from what KORA1 left before anything
  // is cleaned.
  if (recovery_.Kora1RestartedSinceJob() || !process_.SearchProcess(link_.set.kora1ProcName)) connected_ = false;
}

ExecState JobRunner::PaperOutStep(ExecState r) {
  if (r == ExecState::kPaperOut) WatchKora1Process();
  if (r == ExecState::kPaperOut || r == ExecState::kBlocked) return r;
  monitor_.SetPaperOut(false);
  return r == ExecState::kRunning ? ExecState::kRunning : OutputHandling();
}

ExecState JobRunner::FailedJobHandling(Outcome outcome) {
  const std::string message = link_.result;
  filing_.HandleKora1Error(message, outcome);
  const bool broken = safety_.TakeBroken();
  link_.host.LogEvent(kErr, message);
  link_.SettleJob(false);
  ShowOtherName();
  if (broken) return Halt();
  return monitor_.PaperOut() ? ExecState::kPaperOut : ExecState::kBlocked;
}

ExecState JobRunner::OutputHandling() {
  const bool filed = filing_.HandleKora1Output();
  // KORA1 has printed this receipt: an input that could not be deleted is
  // remembered and never handed over again.
  link_.SettleJob(true);
  if (safety_.TakeBroken()) return Halt();
  if (filed) {
    link_.host.LogEvent(kOk, link_.result);
    ShowOtherName();
    return ExecState::kReady;
  }
  // The box says why, while the filing waits to be done again.
  const std::string cause = filing_.PendingCause();
  link_.ShowResult(cause.empty() ? kInputNotDeleted : kInputNotDeleted + (" - " + cause));
  link_.host.LogEvent(kErr, kInputNotDeleted);
  ShowOtherName();
  // A filing that waits is no job error, the receipt printed: it is retried
  // at each tick, and the cycle goes on by itself once it is done.
  if (link_.pending.Waits(link_.input, link_.key)) return ExecState::kReady;
  link_.host.PaintResetButton(true);
  return ExecState::kBlocked;
}

void JobRunner::ShowOtherName() {
  // Beside what the box says of the job, once the job's own lines are logged.
  const std::string line = filing_.TakeOtherNameLine();
  if (!line.empty()) link_.ShowResult(link_.result.empty() ? line : link_.result + " - " + line);
}

void JobRunner::ResetError() {
  // A job in flight is KORA1's until its verdict: a reset then would hand
  // the next receipt over beside it, and lose the verdict KORA1 writes.
  if ((state_ == ExecState::kRunning || state_ == ExecState::kPaperOut) && link_.journal.Job()) return;
  if (!link_.inStep) link_.TakeSettings();
  if (link_.Present(link_.x.Err)) link_.SubKillFile(link_.x.Err);
  // A job the journal still holds, or a broken safety rule, is settled by
  // a reconnection before anything is handed over.
  if (reconnectAfterReset_ || link_.journal.Job()) connected_ = false;
  reconnectAfterReset_ = false;
  SetState(ExecState::kReady);
  link_.ShowResult("");
  link_.host.PaintResetButton(false);
}

bool JobRunner::CloseKora1() {
  if (!link_.inStep) link_.TakeSettings();
  return process_.SearchProcessAndKillIt(link_.set.kora1ProcName);
}

void JobRunner::SetExchangePaths() { link_.x = MakeExchangeFiles(link_.set.kora1DataDir, link_.set.port); }

bool JobRunner::CheckKora1Dump() {
  const std::string& com = link_.set.port;
  // Ports 1 to 8 only; anything else keeps the paths as they were.
  if (com.size() == 1 && com >= "1" && com <= "8") SetExchangePaths();
  // A job recorded before a crash, or left by a KORA1 that ended, is settled
  // from KORA1's files first. Once settled, whatever an earlier job left is
  // stale; SR_MATR is KORA1's own.
  if (!RecoverJob()) {
    for (const std::string* path : {&link_.x.Dati, &link_.x.Start, &link_.x.Out, &link_.x.End, &link_.x.Err})
      link_.SubKillFile(*path);
  }

  const std::string exe = JoinPath(link_.set.kora1AppDir, link_.set.kora1ProcName);
  if (process_.SearchProcess(link_.set.kora1ProcName)) return true;
  if (!link_.processes.ProgramExists(exe)) {
    link_.ShowResult("KORA1 NON TROVATO O DUMP NON ESEGUITO");
    link_.host.LogEvent(kErr, link_.result);
    kora1NotFound_ = true;
    return false;
  }
  link_.processes.ShellOpen(exe, "0", 2);
  bool found = false;
  for (int check = 0; check < 10 && !found; ++check) {
    link_.host.SleepDelay(2000);
    found = process_.SearchProcess(link_.set.kora1ProcName);
  }
  if (!found) {
    link_.ShowResult("KORA1 NON AVVIATO O DUMP NON ESEGUITO");
    link_.host.LogEvent(kErr, link_.result);
    link_.host.EndNow(1);
  }
  // An error not yet reset keeps its reason in view (a job KORA1 left
  // settled above, say).
  if (state_ != ExecState::kBlocked) link_.ShowResult("");
  link_.host.SleepDelay(5000);
  return true;
}

bool JobRunner::RecoverJob() {
  link_.OpenRecords();
  struct Recovering {
    bool& flag;
    ~Recovering() { flag = false; }
  } recovering{link_.recovering = true};
  // The first settlement of this run meets a job an earlier run left.
  const bool restart = !recoveredBefore_;
  recoveredBefore_ = true;
  const std::optional<Job>& job = link_.journal.Job();
  if (!job) {
    // A hold left by a job already filed ends with the clean-up that follows.
    if (state_ == ExecState::kRunning || state_ == ExecState::kPaperOut) SetState(ExecState::kReady);
    return false;
  }
  JobEvidence e;
  const Settlement s = recovery_.Examine(*job, e);
  const bool held = s == Settlement::kWatch || s == Settlement::kPaperOut;
  const ExecState holding = s == Settlement::kWatch ? ExecState::kRunning : ExecState::kPaperOut;
  if (held && holding == state_) return true;  // already watched in this run: nothing new to tell

  link_.input = job->input;
  const std::string text = SettlementText(s, WhoWasInterrupted(e, restart));
  link_.ShowResult(s == Settlement::kFailed ? e.errorLine : text);
  // A printed or unknown outcome is told by the filing's own log lines,
  // which show the result box.
  if (s != Settlement::kUnknown && s != Settlement::kPrinted)
    link_.host.LogEvent(s == Settlement::kResend || s == Settlement::kWatch ? kOk : kErr, text);
  return ApplySettlement(s, e, holding);
}

bool JobRunner::ApplySettlement(Settlement s, const JobEvidence& e, ExecState holding) {
  switch (s) {
    case Settlement::kForget:
    case Settlement::kResend:
      link_.SettleJob(false);
      SetState(ExecState::kReady);
      return false;
    case Settlement::kWatch:
    case Settlement::kPaperOut:
      // The next poll makes the paper-out copy, as for any paper-out.
      monitor_.ForgetPaperOut();
      SetState(holding);
      return true;
    case Settlement::kPrinted:
      SetState(OutputHandling());
      return false;
    case Settlement::kFailed:
      SetState(FailedJobHandling(Outcome::kRefused));
      return false;
    case Settlement::kUnknown:
      // KORA1's report, if any, is stale: the job is filed with our own. A
      // job file not this job's is no copy of it: the input itself is filed.
      link_.SubKillFile(link_.x.Err);
      if (!e.dataSame) link_.SubKillFile(link_.x.Dati);
      SetState(FailedJobHandling(Outcome::kUnknown));
      return false;
  }
  return false;
}

}  // namespace dorvane
