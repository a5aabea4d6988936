#include "dispatch/dispatcher.h"

#include <exception>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

Dispatcher::Dispatcher(FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system, Ui& ui)
    : fs_(fs), clock_(clock), processes_(processes), system_(system), ui_(ui), c_(clock) {
  auto modified = [this] { st_.SomethingModified = true; };
  c_.cboComSelect.Click = [this] {
    st_.CurrKora1ActiveCom = c_.cboComSelect.Text();
    st_.SomethingModified = true;
  };
  c_.txtFileFilter.Change = [this] {
    st_.CurrFileFilter = c_.txtFileFilter.Text;
    st_.SomethingModified = true;
  };
  c_.txtInputDir.Change = [this] {
    st_.SomethingModified = true;
    st_.CurrInputFilePath = c_.txtInputDir.Text;
  };
  c_.txtOutputDir.Change = [this] {
    st_.SomethingModified = true;
    st_.CurrOutputFilePath = c_.txtOutputDir.Text;
  };
  c_.txtErrorDir.Change = [this] {
    st_.SomethingModified = true;
    st_.CurrErrorFilePath = c_.txtErrorDir.Text;
  };
  c_.txtKora1PathDir.Change = [this] {
    st_.SomethingModified = true;
    st_.CurrKora1PathSet = c_.txtKora1PathDir.Text;
  };
  c_.txtFilePrefix.Change = modified;
  c_.txtOutExt.Change = modified;
  c_.txtErrExt.Change = modified;
  c_.chbExitKora1.Click = modified;
  c_.chbLogEnable.Click = modified;
  c_.txtTimerVal.Change = [this] { txtTimerVal_Change(); };
  WireWindowHandlers();
}

void Dispatcher::Step(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception&) {
    // Skipped: start-up and shutdown go on with the next step.
  }
}

bool Dispatcher::Form_Load() {
  if (!system_.AcquireSingleInstance()) {
    ended_ = true;
    return false;
  }
  const std::string commandLine = UpperAnsi(system_.CommandLine());
  Step([&] { c_.OptionItinerisXml.Visible = true; });
  Step([&] {
    for (TextBox* dir : {&c_.txtInputDir, &c_.txtOutputDir, &c_.txtErrorDir, &c_.txtKora1PathDir}) dir->Locked = false;
  });
  // The file-system object is the FileSystem port, built before us.
  Step([&] { ui_.SetTopmost(true); });
  Step([&] {
    st_.CurrKora1ActiveCom = "1";
    st_.iStdTimerVal = 2000;
  });
  Step([&] {
    if (c_.cboComSelect.ListIndex == -1) c_.cboComSelect.Select(0);
  });
  Step([&] {
    CheckDorvaneDataDir();
    VerifyAndSetPathFromRegistry();
  });
  Step([&] {
    if (st_.CurrentKora1AppPathDir.empty()) CheckKora1DataDir();
    if (st_.CurrentKora1DataDir.empty()) CheckKora1DataDir();
  });
  Step([&] { c_.cmdEnableTimer.Show("START", kGreen); });
  Step([&] { st_.CurrInputFilePath = st_.CurrOutputFilePath = st_.CurrErrorFilePath = st_.CurrentKora1DataDir; });
  Step([&] { st_.CurrFileFilter = c_.txtFileFilter.Text; });
  Step([&] { LoadConfig(); });
  Step([&] { AdoptKora1ProgramDir(); });
  Step([&] { NormaliseProcessName(); });
  Step([&] {
    c_.Timer1.SetEnabled(false);
    c_.Timer1.SetInterval(st_.iStdTimerVal);
  });
  const bool nonId = commandLine.find("/NONID") != std::string::npos;
  Step([&] { ui_.TrayAdd(kTipWaiting); });
  Step([&] {
    if (nonId) {
      ui_.ShowWindowNormal();
    } else {
      ui_.HideWindow();
    }
  });
  Step([&] {
    if (commandLine.find("/STOP") == std::string::npos) cmdEnableTimer_Click();
  });
  st_.SomethingModified = false;
  LogEvent(kOk, "AVVIO di ZTK DORVANE");
  return true;
}

void Dispatcher::WaitForTimerToStop() {
  // The tick due next runs inside the wait and, seeing InChiusura, leaves the
  // timer disabled, which ends the loop.
  while (c_.Timer1.Enabled()) {
    ui_.ProcessEvents();
    SleepDelay(500);
  }
}

void Dispatcher::m_esci_Click() {
  if (closing_ || ended_) return;
  closing_ = true;
  st_.InChiusura = true;
  WaitForTimerToStop();
  Unload();
}

void Dispatcher::RequestClose() {
  if (closing_ || ended_) return;
  if (inTick_) {
    // Closing in the middle of a tick would end the program with a job half
    // handed over; the tick finishes first and RunPending closes.
    st_.InChiusura = true;
    closeRequested_ = true;
    return;
  }
  m_esci_Click();
}

void Dispatcher::RunPending() {
  if (ended_ || inTick_) return;
  if (closeRequested_ && !closing_) {
    closeRequested_ = false;
    m_esci_Click();
    return;
  }
  if (c_.Timer1.Due()) {
    c_.Timer1.Restart();
    Timer1_Timer();
  }
}

void Dispatcher::Form_Unload() {
  if (closing_ || ended_) return;
  closing_ = true;
  Unload();
}

void Dispatcher::Unload() {
  Step([&] { st_.InChiusura = true; });
  Step([&] { WaitForTimerToStop(); });
  Step([&] {
    if (!st_.SomethingModified) return;
    ui_.HideWindow();
    if (ui_.AskYesNo("Salvare i Parametri modificati ?")) SaveConfig();
  });
  Step([&] { c_.Timer1.SetEnabled(false); });
  Step([&] {
    if (c_.chbExitKora1.Value == 1) jobs_.CloseKora1();
  });
  Step([&] { ui_.TrayDelete(); });
  Step([&] { ui_.HideWindow(); });
  Step([&] { ui_.ShowClosingNotice(); });
  Step([&] {
    ui_.ProcessEvents();
    ui_.SetTopmost(true);
  });
  Step([&] { SleepDelay(2000); });
  LogEvent(kOk, "CHIUSURA ZTK DORVANE");
  ended_ = true;
}

void Dispatcher::SleepDelay(double timeoutMs) {
  const std::int32_t rounds = RoundToInt32(timeoutMs) / 50;
  for (std::int32_t i = 0; i < rounds; ++i) {
    clock_.Sleep(50);
    ui_.ProcessEvents();
  }
}

LinkSettings Dispatcher::Link() const {
  LinkSettings s;
  s.inputDir = st_.CurrInputFilePath;
  s.outputDir = st_.CurrOutputFilePath;
  s.errorDir = st_.CurrErrorFilePath;
  s.fileFilter = st_.CurrFileFilter;
  s.filePrefix = c_.txtFilePrefix.Text;
  s.outExt = c_.txtOutExt.Text;
  s.errExt = c_.txtErrExt.Text;
  s.port = st_.CurrKora1ActiveCom;
  s.kora1ProcName = st_.CurrKora1ProcName;
  s.kora1AppDir = st_.CurrentKora1AppPathDir;
  s.kora1DataDir = st_.CurrentKora1DataDir;
  s.dorvaneDataDir = st_.CurrentDorvaneDataDir;
  s.adHoc = c_.chkCompatAdHoc.Value;
  s.invertDiscounts = c_.chkInversioneScontiSuReso.Value;
  s.sessionResult = c_.chbOutUnitario.Value;
  s.autoReset = c_.chkErrorReset.Value;
  s.fasyVola = c_.OptionFasyVola.Value;
  s.itineris = c_.OptionItinerisXml.Value;
  return s;
}

void Dispatcher::ShowConnection(bool connected) {
  if (connected) {
    c_.cmdKora1Connection.Show("KORA1 CONNESSO", kGreen);
  } else {
    c_.cmdKora1Connection.Show("KORA1 NON CONNESSO", kRed);
  }
}

void Dispatcher::StripLeadingStar(Extension which) {
  TextBox& extension = which == Extension::kOut ? c_.txtOutExt : c_.txtErrExt;
  if (StartsWith(extension.Text, "*")) extension.Set(extension.Text.substr(1));
}

void Dispatcher::NormaliseProcessName() {
  if (TrimLeft(st_.CurrKora1ProcName).empty()) {
    st_.CurrKora1ProcName = "kkora1.exe";
  } else if (UpperAnsi(st_.CurrKora1ProcName).find(".EXE") == std::string::npos) {
    st_.CurrKora1ProcName += ".exe";
  }
}

// ---- Settings handlers ----

void Dispatcher::cmdSaveConfig_Click() {
  SaveConfig();
  st_.SomethingModified = false;
}

void Dispatcher::cmdSetInputDir_Click() {
  Step([&] {
    c_.txtInputDir.Set(c_.Dir1Path);
    st_.CurrInputFilePath = c_.Dir1Path;
  });
}

void Dispatcher::cmdSetOutputDir_Click() {
  Step([&] {
    c_.txtOutputDir.Set(c_.Dir1Path);
    st_.CurrOutputFilePath = c_.Dir1Path;
  });
}

void Dispatcher::cmdSetErrorDir_Click() {
  Step([&] {
    c_.txtErrorDir.Set(c_.Dir1Path);
    st_.CurrErrorFilePath = c_.Dir1Path;
  });
}

}  // namespace dorvane
