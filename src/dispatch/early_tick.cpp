#include "dispatch/early_tick.h"

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

void EarlyTick::Retarget() {
  const DispatchState& st = d_.State();
  const EngineSnapshot jobs = d_.Jobs().Snapshot();
  const std::string kora1Dir = jobs.files.Err.empty() ? st.CurrentKora1DataDir : DirName(jobs.files.Err);
  std::vector<std::string> dirs{st.CurrInputFilePath};
  if (kora1Dir != st.CurrInputFilePath) dirs.push_back(kora1Dir);
  // A reconnection may follow a KORA1 folder that was removed and made
  // again: its watch is renewed too.
  const bool reconnected = jobs.connected && !wasConnected_;
  wasConnected_ = jobs.connected;
  if (dirs == watched_ && !reconnected) return;
  watched_ = dirs;
  watching_ = watcher_.Watch(dirs);
}

void EarlyTick::Collect() {
  const DispatchState& st = d_.State();
  JobRunner& jobs = d_.Jobs();
  const ExchangeFiles files = jobs.Snapshot().files;
  const std::vector<FolderChange> changes = watcher_.TakeChanges();
  for (const FolderChange& change : changes) {
    const std::string& path = change.path;
    const bool input = EqualsNoCase(path, st.CurrInputFilePath) || EqualsNoCase(DirName(path), st.CurrInputFilePath);
    if (change.kind == FolderChange::Kind::kLost) {
      // What was missed may be receipts.
      inputArrived_ = inputArrived_ || path.empty() || input;
    } else if (change.kind != FolderChange::Kind::kWritten) {
      continue;  // a file only begun, or gone, is nothing to run for
    } else if (EqualsNoCase(path, files.End) || EqualsNoCase(path, files.Err)) {
      verdictArrived_ = true;
    } else if (input && MatchesPattern(BaseName(path), st.CurrFileFilter) && jobs.IsReceiptName(BaseName(path))) {
      // Our own work files and KORA1's are no one's receipts.
      inputArrived_ = true;
    }
  }
  jobs.InputFolderChanged(changes, watching_);
  if (waker_ && waker_->TakeWoken()) inputArrived_ = true;
}

void EarlyTick::Poll() {
  // Never inside a step's waits: what came meanwhile stays with the watcher
  // until the step has ended, and ticks never overlap.
  if (d_.InTick()) return;
  Retarget();
  Collect();
  const EngineSnapshot jobs = d_.Jobs().Snapshot();
  const ExecState state = jobs.state;
  const bool watching = state == ExecState::kRunning || state == ExecState::kPaperOut;
  if (state == ExecState::kReady && (lastState_ == ExecState::kRunning || lastState_ == ExecState::kPaperOut))
    jobFiled_ = true;
  lastState_ = state;
  // What does not matter in this state is dropped: a job in flight is
  // followed by its filing, and an error waits for its reset.
  if (state != ExecState::kReady) inputArrived_ = jobFiled_ = false;
  if (!watching) verdictArrived_ = false;
  const bool wanted = state == ExecState::kReady ? inputArrived_ || jobFiled_ : watching && verdictArrived_;
  // Connection checks stay on the timer's pace, as does a stopped cycle.
  if (!wanted || !d_.Ctl().Timer1.Enabled() || d_.State().InChiusura || !jobs.connected || !d_.Jobs().Kora1Present())
    return;
  inputArrived_ = verdictArrived_ = jobFiled_ = false;
  d_.Ctl().Timer1.FireNow();
}

}  // namespace dorvane
