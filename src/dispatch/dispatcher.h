// The dispatcher: the main window's state, its controls model and every
// operation of the program, on top of the ports. Handlers keep the names of
// the controls and events they serve (control_Event).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dispatch/controls.h"
#include "driverlink/job_journal.h"
#include "driverlink/link_report.h"
#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/processes.h"
#include "platform/systeminfo.h"
#include "platform/ui.h"

namespace dorvane {

// Log statuses: success, failure, and the driver-error form without a blank.
inline constexpr const char* kOk = "OK:  ";
inline constexpr const char* kErr = "ERR: ";
inline constexpr const char* kErrDriver = "ERR:";

inline constexpr const char* kTipWaiting = " DORVANE in attesa di connessione con KORA1 ...";
inline constexpr const char* kTipConnected = " KORA1 CONNESSO, DORVANE pronto per stampare ...";
inline constexpr const char* kClosingNotice = " Chiusura di ZTK DORVANE in corso ...";
inline constexpr const char* kWindowCaption = "ZTK DORVANE ";

// The state every part of the program shares.
struct DispatchState {
  std::string strBuffer;
  bool OS_IsWindowVista = false;
  std::string CurrInputFilePath;
  std::string CurrOutputFilePath;
  std::string CurrErrorFilePath;
  std::string CurrKora1PathSet;
  std::string CurrKora1ProcName;
  bool ProcessKora1NotFound = false;
  std::string CurrKora1ActiveCom;
  std::string CurrFileFilter;
  std::string CurrentKora1AppPathDir;
  std::string CurrentKora1DataDir;
  std::string CurrentDorvaneDataDir;
  bool StatoConnessioneKora1 = false;
  std::int16_t StatoEsecuzioneKora1 = 0;  // 0 ready, 1 job running, 2 error, 3 paper out
  std::string SR_Matr, SR_Dati, SR_Start, SR_Err, SR_Out, SR_End;
  std::string CurrentSelectedFile;
  bool InChiusura = false;
  bool SomethingModified = false;
  std::int32_t iStdTimerVal = 0;
  bool isStatoErroreFineCarta = false;
};

// One running process, as the search reads it.
struct ProcessInfoC {
  std::int32_t PID = 0;
  std::string Name;
  std::string FileName;
};

class Dispatcher {
 public:
  Dispatcher(FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system, Ui& ui);

  DispatchState& State() { return st_; }
  Controls& Ctl() { return c_; }
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
  bool CloseRequested() const { return closeRequested_; }

  // The front ends' event pump calls this: runs a due tick, and a close
  // requested while a tick ran.
  void RunPending();

  // The cycle.
  void Timer1_Timer();
  void cmdEnableTimer_Click();
  void cmdChgTimer_Click();
  void CalculateTimer(const std::string& text);
  void txtTimerVal_Change();
  void cmdResetError_Click();
  bool IsKora1Connected();

  // The driver link: readiness, input selection, hand-off, monitoring, filing.
  bool CheckKora1Dump();
  std::string FindNewestFile(const std::string& currentDir);
  std::string FindFileInfo(const std::string& filespec);  // selection key, "" when unreadable
  bool IsReservedFileName(const std::string& name);
  bool MatchesFilePrefix(const std::string& name);
  bool SendFileToKora1(const std::string& name);
  std::int16_t MonitorKora1(std::string& message);  // next execution state 0..3
  bool HandleKora1Output();
  bool HandleKora1Error(const std::string& message);
  // Deletes the file when it exists, retrying a failed delete for about 9.5 s.
  bool SubKillFile(const std::string& sFile);

  // Ticks in a row that found no input file with no job in flight.
  int IdleTicks() const { return idleTicks_; }

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
  void LogEvent(const std::string& status, const std::string& message);
  void DumpState();

  // Process control.
  bool SearchProcess(const std::string& processName);
  bool SearchProcessAndKillIt(const std::string& processName);
  ProcessInfoC ProcessInfo(std::int32_t processId);
  void SleepDelay(double timeoutMs);

  // Paths, registry and operating system.
  void VerifyAndSetPathFromRegistry();
  std::string Read_CSIDL_COMMON_APPDATA();
  bool IsOS_Vista();
  void CheckDorvaneDataDir();
  void CheckKora1DataDir();

  // Exchange-file paths of the active port into the SR_ fields.
  void SetExchangePaths();

  std::string ConfigPathInOwnDir();

 private:
  // The cycle's pieces.
  void ShowConnected(const char* how);
  std::int16_t StateStep();
  std::int16_t PaperOutStep(std::int16_t r);
  std::int16_t OutputHandling();
  void WatchKora1Process();
  // The driver link's pieces.
  static bool IsOwnWorkFile(const std::string& name);
  bool Present(const std::string& path);
  // Shows a run-time error and marks the call failed; true when st is ok.
  bool Reported(const Status& st, bool& ok);
  Status KillFile(const std::string& path);  // SubKillFile with the reason of a failure
  Status CopyJob(const std::string& source, bool& refused, std::string& data);
  bool RefuseLink(const std::string& name);
  // The crash record: where it lives, settling the recorded job from what
  // KORA1 left (true when the job stays with KORA1), closing it once filed.
  std::string JournalFolder();
  bool RecoverJob();
  bool Kora1RestartedSinceJob();
  void SettleJob(bool printed);
  std::int16_t FailedJobHandling();
  bool DeleteInput();
  Status CopyDurably(const std::string& from, const std::string& to);
  Status IsPaperOut(bool& paperOut);
  std::string PaperOutCopyPath();
  void RemovePaperOutCopy();
  void StripLeadingStar(TextBox& extension);
  void WriteSessionResult(const std::string& basePath, bool ok);
  void WriteRepFile(const std::string& name, int code);

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
  Status ApplyConfigLine(int number, const std::string& line);
  std::string BuildConfig();

  FileSystem& fs_;
  Clock& clock_;
  Processes& processes_;
  SystemInfo& system_;
  Ui& ui_;
  DispatchState st_;
  Controls c_;
  bool ended_ = false;
  bool inTick_ = false;
  bool closeRequested_ = false;
  bool closing_ = false;
  bool resumeAfterTick_ = true;  // the start/stop button's word, pressed during a tick
  int idleTicks_ = 0;
  std::int32_t foundPid_ = 0;  // the process SearchProcess found last
  std::string selectedKey_;  // selection key of the file FindNewestFile chose
  // The last hand-off failed on KORA1's exchange files: the input is fine
  // and stays for the next tick.
  bool handOffFailedOnDriverSide_ = false;
  JobJournal journal_{fs_};            // the job in flight and the printed receipts, on disk
  LinkReport links_;                   // links in the input folder already told
};

}  // namespace dorvane
