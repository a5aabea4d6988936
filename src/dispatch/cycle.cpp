// The dispatch cycle: one small step per tick of Timer1, never more than one
// job in flight, and the controls that start, pace and unblock it.
#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kInputNotDeleted = "ERRORE: FILE DI INPUT NON CANCELLATO";

// The interval field shows seconds, or milliseconds followed by "ms".
bool IsIntervalText(const std::string& text) {
  if (IsNumeric(text)) return true;
  return EndsWith(text, "ms") && IsNumeric(text.substr(0, text.size() - 2));
}
}  // namespace

bool Dispatcher::IsKora1Connected() { return !st_.SR_Matr.empty() && fs_.Exists(st_.SR_Matr); }

void Dispatcher::ShowConnected(const char* how) {
  c_.cmdKora1Connection.Show("KORA1 CONNESSO", kGreen);
  LogEvent(kOk, c_.cmdKora1Connection.Caption + how);
  ui_.TrayModify(kTipConnected);
}

void Dispatcher::Timer1_Timer() {
  if (inTick_) return;
  inTick_ = true;
  resumeAfterTick_ = true;
  ui_.ProcessEvents();
  c_.Timer1.SetEnabled(false);
  if (!st_.CurrKora1ActiveCom.empty()) {
    if (IsKora1Connected() && st_.StatoConnessioneKora1) {
      if (c_.cmdKora1Connection.BackColor != kGreen) ShowConnected(" (a)");
      st_.StatoEsecuzioneKora1 = StateStep();
    } else {
      st_.StatoConnessioneKora1 = CheckKora1Dump();
      if (IsKora1Connected() && st_.StatoConnessioneKora1) {
        ShowConnected(" (b)");
      } else {
        c_.cmdKora1Connection.Show("KORA1 NON CONNESSO", kRed);
        LogEvent(kErr, "KORA1 NON CONNESSO");
      }
      ui_.ProcessEvents();
    }
  }
  if (!st_.InChiusura && !st_.ProcessKora1NotFound && resumeAfterTick_) c_.Timer1.SetEnabled(true);
  inTick_ = false;
}

std::int16_t Dispatcher::StateStep() {
  std::string text;
  switch (st_.StatoEsecuzioneKora1) {
    case 0: {
      const std::string name = FindNewestFile(st_.CurrInputFilePath);
      c_.txtSelectedFile.Set(name);
      if (name.empty()) {
        ++idleTicks_;
        // A KORA1 that has gone away is noticed on the next tick.
        st_.StatoConnessioneKora1 = SearchProcess(st_.CurrKora1ProcName);
        return 0;
      }
      idleTicks_ = 0;
      if (c_.chkCompatAdHoc.Value == 1 && IsReservedFileName(name)) return 0;
      if (SendFileToKora1(name)) return 1;
      if (handOffFailedOnDriverSide_) {
        // Nothing is wrong with the receipt: it stays and is tried again.
        LogEvent(kErr, c_.txtKora1Result.Text);
      } else {
        HandleKora1Error(c_.txtKora1Result.Text);
      }
      return 0;
    }
    case 1: {
      const std::int16_t r = MonitorKora1(text);
      if (r == 1) {
        WatchKora1Process();
        return 1;
      }
      c_.txtKora1Result.Set(text);
      ui_.ProcessEvents();
      if (r == 0) return OutputHandling();
      if (r == 2) return FailedJobHandling();
      return PaperOutStep(MonitorKora1(text));
    }
    case 2: {
      if (c_.chkErrorReset.Value == 1) {
        cmdResetError_Click();
        return 0;
      }
      c_.cmdResetError.BackColor = kRed;
      ui_.ProcessEvents();
      const std::string marker = JoinPath(st_.CurrInputFilePath, "DORVRETRY.DVN");
      if (!fs_.Exists(marker)) return 2;
      cmdResetError_Click();
      if (fs_.Exists(marker)) SubKillFile(marker);
      return 0;
    }
    case 3:
      return PaperOutStep(MonitorKora1(text));
    default:
      return st_.StatoEsecuzioneKora1;
  }
}

void Dispatcher::WatchKora1Process() {
  // KORA1 gone, or started again, in the middle of a job: the next tick
  // reconnects, and the job is settled from what KORA1 left before anything
  // is cleaned.
  if (Kora1RestartedSinceJob() || !SearchProcess(st_.CurrKora1ProcName)) st_.StatoConnessioneKora1 = false;
}

std::int16_t Dispatcher::PaperOutStep(std::int16_t r) {
  if (r == 3) WatchKora1Process();
  if (r == 3 || r == 2) return r;
  st_.isStatoErroreFineCarta = false;
  return r == 1 ? 1 : OutputHandling();
}

std::int16_t Dispatcher::FailedJobHandling() {
  HandleKora1Error(c_.txtKora1Result.Text);
  LogEvent(kErr, c_.txtKora1Result.Text);
  SettleJob(false);
  return st_.isStatoErroreFineCarta ? 3 : 2;
}

std::int16_t Dispatcher::OutputHandling() {
  const bool filed = HandleKora1Output();
  // KORA1 has printed this receipt: an input that could not be deleted is
  // remembered and never handed over again.
  SettleJob(true);
  if (filed) {
    LogEvent(kOk, c_.txtKora1Result.Text);
    return 0;
  }
  c_.txtKora1Result.Set(kInputNotDeleted);
  LogEvent(kErr, kInputNotDeleted);
  c_.cmdResetError.BackColor = kRed;
  return 2;
}

void Dispatcher::cmdEnableTimer_Click() {
  // While a tick runs the timer always reads disabled; the button's own
  // state then says whether the cycle is running, and the tick's end obeys.
  const bool running = inTick_ ? resumeAfterTick_ && c_.cmdEnableTimer.Caption == "STOP" : c_.Timer1.Enabled();
  if (running) {
    c_.Timer1.SetEnabled(false);
    c_.cmdEnableTimer.Show("START", kGreen);
    if (inTick_) resumeAfterTick_ = false;
  } else {
    c_.cmdEnableTimer.Show("STOP", kLightRed);
    if (inTick_) {
      resumeAfterTick_ = true;
    } else {
      c_.Timer1.SetEnabled(true);
    }
  }
}

void Dispatcher::CalculateTimer(const std::string& text) {
  const double value = Val(text);
  if (text.empty() || value <= 0) {
    st_.iStdTimerVal = 2000;
  } else if (value < 100) {
    c_.txtTimerVal.Set(value <= 60 ? text : "60");
    st_.iStdTimerVal = RoundToInt32(Val(c_.txtTimerVal.Text) * 1000);
  } else if (value <= 60000) {
    c_.txtTimerVal.Set(text + "ms");
    st_.iStdTimerVal = RoundToInt32(value);
  } else {
    c_.txtTimerVal.Set("60");
    st_.iStdTimerVal = 60000;
  }
}

void Dispatcher::txtTimerVal_Change() {
  // The field keeps the "ms" form CalculateTimer gives it; anything else
  // that is not a number is cleared.
  if (!IsIntervalText(c_.txtTimerVal.Text)) c_.txtTimerVal.Set("");
  st_.SomethingModified = true;
}

void Dispatcher::cmdChgTimer_Click() {
  const bool wasEnabled = c_.Timer1.Enabled();
  c_.Timer1.SetEnabled(false);
  Step([&] {
    double value = Val(c_.txtTimerVal.Text);
    if (value == 0) {
      ui_.ShowMessage("Valore non ammesso");
      return;
    }
    // A field in milliseconds ("250ms") is passed on as milliseconds.
    std::string text = FormatNumber(value);
    CalculateTimer(text);
    c_.Timer1.SetInterval(st_.iStdTimerVal);
    st_.SomethingModified = true;
  });
  c_.Timer1.SetEnabled(wasEnabled);
}

void Dispatcher::cmdResetError_Click() {
  if (Present(st_.SR_Err)) SubKillFile(st_.SR_Err);
  st_.StatoEsecuzioneKora1 = 0;
  c_.txtKora1Result.Set("");
  c_.cmdResetError.BackColor = kGrey;
}

}  // namespace dorvane
