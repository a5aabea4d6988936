#include "dispatch/controls.h"

namespace dorvane {

void WindowTimer::SetEnabled(bool enabled) {
  if (enabled && !enabled_) Restart();
  enabled_ = enabled;
}

void WindowTimer::SetInterval(int ms) {
  interval_ = ms;
  Restart();
}

void WindowTimer::FireNow() { startedMs_ = clock_.MonotonicMs() - (interval_ < 1 ? 1 : interval_); }

bool WindowTimer::Due() const { return enabled_ && MsUntilDue() == 0; }

std::int64_t WindowTimer::MsUntilDue() const {
  if (!enabled_) return -1;
  std::int64_t interval = interval_ < 1 ? 1 : interval_;
  std::int64_t left = startedMs_ + interval - clock_.MonotonicMs();
  return left > 0 ? left : 0;
}

Controls::Controls(Clock& clock) : Timer1(clock) {
  cboComSelect.Items = {"1", "2", "3", "4", "5", "6", "7", "8"};
  txtFileFilter.Text = "*.00X";
  txtFileFilter.MaxLength = 8;
  txtFilePrefix.MaxLength = 12;
  txtOutExt.Text = ".OUT";
  txtOutExt.MaxLength = 8;
  txtErrExt.Text = ".ERR";
  txtErrExt.MaxLength = 8;
  txtKora1ProcName.MaxLength = 12;
  for (TextBox* dir : {&txtInputDir, &txtOutputDir, &txtErrorDir, &txtKora1PathDir}) dir->Locked = true;
  OptionSL.Value = true;
  OptionItinerisXml.Visible = false;
  txtTimerVal.Text = "1";
  txtTimerVal.MaxLength = 2;
  cmdResetError.Caption = "Reset Errore";
  cmdKora1Connection.Caption = "Ricerca Kora1 ....";
  txtKora1Result.MaxLength = 255;
  txtSelectedFile.Locked = true;
}

}  // namespace dorvane
