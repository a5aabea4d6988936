// Timer1 and the controls that start, pace and unblock the cycle; each tick
// asks the job engine for one step.
#include "dispatch/dispatcher.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kLetReceiptsGoOn =
    "Un'archiviazione non riesce e ferma gli scontrini successivi.\n"
    "Farli proseguire? Il file in attesa continua a essere riprovato, ma i risultati non arriveranno piu' "
    "nell'ordine di stampa.";
// The interval field shows seconds, or milliseconds followed by "ms".
bool IsIntervalText(const std::string& text) {
  if (IsNumeric(text)) return true;
  return EndsWith(text, "ms") && IsNumeric(text.substr(0, text.size() - 2));
}
}  // namespace

void Dispatcher::Timer1_Timer() {
  if (inTick_) return;
  inTick_ = true;
  resumeAfterTick_ = true;
  ui_.ProcessEvents();
  c_.Timer1.SetEnabled(false);
  jobs_.Tick();
  // A reset pressed while the step waited acts on the state the step left.
  if (resetAfterTick_) {
    resetAfterTick_ = false;
    ResetAsked();
  }
  if (!st_.InChiusura && !jobs_.Snapshot().kora1NotFound && resumeAfterTick_) c_.Timer1.SetEnabled(true);
  inTick_ = false;
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
  // Inside a step the reset waits for the step's end: the step may still be
  // filing KORA1's error text.
  if (inTick_) {
    resetAfterTick_ = true;
    return;
  }
  ResetAsked();
}

void Dispatcher::ResetAsked() {
  // A filing that cannot be done holds the receipts after it, so that
  // results arrive in order; only the operator may let them go on.
  if (jobs_.Snapshot().filingHeld && ui_.AskYesNo(kLetReceiptsGoOn)) jobs_.LetReceiptsGoOn();
  jobs_.ResetError();
}

}  // namespace dorvane
