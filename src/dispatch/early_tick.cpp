#include "dispatch/early_tick.h"

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

void EarlyTick::Retarget() {
  const DispatchState& st = d_.State();
  const std::string kora1Dir = st.SR_Err.empty() ? st.CurrentKora1DataDir : DirName(st.SR_Err);
  std::vector<std::string> dirs{st.CurrInputFilePath};
  if (kora1Dir != st.CurrInputFilePath) dirs.push_back(kora1Dir);
  // A reconnection may follow a KORA1 folder that was removed and made
  // again: its watch is renewed too.
  const bool reconnected = st.StatoConnessioneKora1 && !wasConnected_;
  wasConnected_ = st.StatoConnessioneKora1;
  if (dirs == watched_ && !reconnected) return;
  watched_ = dirs;
  watcher_.Watch(dirs);
}

void EarlyTick::Collect() {
  const DispatchState& st = d_.State();
  for (const std::string& path : watcher_.TakeChanges()) {
    const std::string name = BaseName(path);
    if (EqualsNoCase(path, st.SR_End) || EqualsNoCase(path, st.SR_Err)) {
      verdictArrived_ = true;
    } else if (EqualsNoCase(DirName(path), st.CurrInputFilePath) && MatchesPattern(name, st.CurrFileFilter) &&
               d_.MatchesFilePrefix(name) && !d_.IsReservedFileName(name)) {
      // Our own work files and KORA1's are no one's receipts.
      inputArrived_ = true;
    }
  }
}

void EarlyTick::Poll() {
  Retarget();
  Collect();
  if (d_.InTick()) return;  // the tick's outcome decides; ticks never overlap
  const DispatchState& st = d_.State();
  const std::int16_t state = st.StatoEsecuzioneKora1;
  if (state == 0 && (lastState_ == 1 || lastState_ == 3)) jobFiled_ = true;
  lastState_ = state;
  // What does not matter in this state is dropped: a job in flight is
  // followed by its filing, and an error waits for its reset.
  if (state != 0) inputArrived_ = jobFiled_ = false;
  if (state != 1 && state != 3) verdictArrived_ = false;
  const bool wanted = state == 0 ? inputArrived_ || jobFiled_ : (state == 1 || state == 3) && verdictArrived_;
  // Connection checks stay on the timer's pace, as does a stopped cycle.
  if (!wanted || !d_.Ctl().Timer1.Enabled() || st.InChiusura || !st.StatoConnessioneKora1 || !d_.IsKora1Connected())
    return;
  inputArrived_ = verdictArrived_ = jobFiled_ = false;
  d_.Ctl().Timer1.FireNow();
}

}  // namespace dorvane
