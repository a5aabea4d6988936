// The dispatcher: the main window's model. It keeps the controls, the timer,
// the handlers (named after the controls and events they serve,
// control_Event), start-up and shutdown and the configuration file; each
// tick of Timer1 asks the job engine (driverlink/job_runner.h) for one step.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dispatch/controls.h"
#include "driverlink/job_runner.h"
#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/processes.h"
#include "platform/systeminfo.h"
#include "platform/ui.h"

namespace dorvane {

inline constexpr const char* kTipWaiting = " DORVANE in attesa di connessione con KORA1 ...";
inline constexpr const char* kClosingNotice = " Chiusura di ZTK DORVANE in corso ...";
inline constexpr const char* kWindowCaption = "ZTK DORVANE ";

// The window's settings as the program uses them, and its own state.
struct DispatchState {
  std::string CurrInputFilePath;
  std::string CurrOutputFilePath;
  std::string CurrErrorFilePath;
  std::string CurrKora1PathSet;
  std::string CurrKora1ProcName;
  std::string CurrKora1ActiveCom;
  std::string CurrFileFilter;
  std::string CurrentKora1AppPathDir;
  std::string CurrentKora1DataDir;
  std::string CurrentDorvaneDataDir;
  bool InChiusura = false;
  bool SomethingModified = false;
  std::int32_t iStdTimerVal = 0;
};

namespace test {
struct Probe;  // the tests' way to the parts a front end never touches
}

class Dispatcher : private JobHost {
 public:
  Dispatcher(FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system, Ui& ui);

  Controls& Ctl() { return c_; }
  const DispatchState& State() const { return st_; }
  // The job engine, for what the front ends show and wake up for.
  const JobRunner& Jobs() const { return jobs_; }
  JobRunner& Jobs() { return jobs_; }
  void AddObserver(JobEvents* observer) { jobs_.AddObserver(observer); }
  // The program has ended (second instance, or shutdown complete).
  bool Ended() const { return ended_; }
  bool InTick() const { return inTick_; }

  // Start-up and shutdown.
  bool Form_Load();  // false when another instance runs
  void Form_Unload();
  void m_esci_Click();
  // A front end's request to close (window close box, menu, signal). Inside
  // a tick the close waits until the tick has ended.
  void RequestClose();

  // The front ends' event pump calls this: runs a due tick, and a close
  // requested while a tick ran.
  void RunPending();

  // The cycle.
  void Timer1_Timer();
  void cmdEnableTimer_Click();
  void cmdChgTimer_Click();
  void CalculateTimer(const std::string& text);
  void cmdResetError_Click();

  // Settings handlers.
  void cmdSaveConfig_Click();
  void cmdSetInputDir_Click();
  void cmdSetOutputDir_Click();
  void cmdSetErrorDir_Click();
  void cmdSetKora1PathDir_Click();
  void cmdSetKora1Proc_Click();
  void m_manual_Click();
  void m_registro_Click();  // today's summary of the receipt ledger, opened (dispatch/ledger_menu.cpp)

  // Configuration, event log, state dump.
  void LoadConfig();
  void SaveConfig();
  void LogEvent(const std::string& status, const std::string& message) override;
  void DumpState() override;

 private:
  // The reset, asking first whether the receipts held behind a filing may go on.
  void ResetAsked();
  friend struct test::Probe;

  // The job engine's host: its effects on the window.
  void ShowResult(const std::string& text) override { c_.txtKora1Result.Set(text); }
  void ShowSelectedFile(const std::string& name) override { c_.txtSelectedFile.Set(name); }
  void PaintResetButton(bool alert) override { c_.cmdResetError.BackColor = alert ? kRed : kGrey; }
  void ShowConnection(bool connected) override;
  void ShowMessage(const std::string& text) override { ui_.ShowMessage(text); }
  void SetTrayTip(const std::string& tip) override { ui_.TrayModify(tip); }
  void SleepDelay(double timeoutMs) override;
  void ProcessEvents() override { ui_.ProcessEvents(); }
  void EndNow(int exitCode) override { ui_.EndNow(exitCode); }
  void StripLeadingStar(Extension which) override;

  // The settings the job engine works with, as the window has them now.
  LinkSettings Link() const;
  void txtTimerVal_Change();
  // Opens a file with the system's program for it; false when none could.
  bool OpenDocument(const std::string& path, const std::string& params);
  // Paths, registry and operating system.
  void VerifyAndSetPathFromRegistry();
  std::string Read_CSIDL_COMMON_APPDATA();
  bool IsOS_Vista();
  void CheckDorvaneDataDir();
  void CheckKora1DataDir();

  // Runs one start-up or shutdown step; a step that fails is skipped.
  void Step(const std::function<void()>& f);
  // Handlers of the settings that have no handler of their own.
  void WireWindowHandlers();
  void WaitForTimerToStop();
  void Unload();  // the shutdown steps, run once
  void NormaliseProcessName();
  // A typed KORA1 program directory replaces the registry's.
  void AdoptKora1ProgramDir();
  void ShowError(const Status& st) { ui_.ShowMessage(st.Message()); }
  std::string ConfigPathIn(const std::string& dir);
  std::string ConfigPathInOwnDir();
  Status ApplyConfigLine(int number, const std::string& line);
  std::string BuildConfig();

  FileSystem& fs_;
  Clock& clock_;
  Processes& processes_;
  SystemInfo& system_;
  Ui& ui_;
  DispatchState st_;
  Controls c_;
  JobRunner jobs_{fs_, clock_, processes_, [this] { return Link(); }, *this};
  bool ended_ = false;
  bool inTick_ = false;
  bool closeRequested_ = false;
  bool closing_ = false;
  bool resumeAfterTick_ = true;  // the start/stop button's word, pressed during a tick
  bool resetAfterTick_ = false;  // "Reset Errore" pressed during a tick
};

}  // namespace dorvane
