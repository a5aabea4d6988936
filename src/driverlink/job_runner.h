// The job engine: one component owns the job in flight, from the choice of
// the next input to its filing, and the link to KORA1 it runs on. The window
// asks it for one step per tick of Timer1; it reads the window's settings
// through a read-only view, acts on the window only through its host, and
// tells observers about each job's life (job_events.h). The operations keep
// the names the driver link's rules give them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "driverlink/exchange_files.h"
#include "driverlink/filing.h"
#include "driverlink/job_events.h"
#include "driverlink/job_journal.h"
#include "driverlink/link_report.h"
#include "driverlink/recovery.h"
#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/processes.h"

namespace dorvane {

// Log statuses: success, failure, and the driver-error form without a blank.
inline constexpr const char* kOk = "OK:  ";
inline constexpr const char* kErr = "ERR: ";
inline constexpr const char* kErrDriver = "ERR:";

inline constexpr const char* kTipConnected = " KORA1 CONNESSO, DORVANE pronto per stampare ...";

// What the engine reads of the window's settings. A step works on the
// settings as they were when it began: an edit made while a step waits
// applies from the next step.
struct LinkSettings {
  std::string inputDir;
  std::string outputDir;
  std::string errorDir;
  std::string fileFilter;
  std::string filePrefix;
  std::string outExt;
  std::string errExt;
  std::string port;
  std::string kora1ProcName;
  std::string kora1AppDir;
  std::string kora1DataDir;
  std::string dorvaneDataDir;
  int adHoc = 0;            // AdHoc compatibility: fixed result names
  int invertDiscounts = 0;  // Fasy Vola: discounts after a return inverted
  int sessionResult = 0;    // a .BTO session result beside each job
  int autoReset = 0;        // an error state resets itself
  bool fasyVola = false;
  bool itineris = false;

  bool AdHoc() const { return adHoc == 1; }
  InputLayout Layout() const { return fasyVola ? InputLayout::kFasyVola : itineris ? InputLayout::kItineris : InputLayout::kSarema; }
  // The extensions as file names get them: a leading "*" typed in the
  // field is no part of the name.
  std::string OutExt() const { return NoStar(outExt); }
  std::string ErrExt() const { return NoStar(errExt); }

 private:
  static std::string NoStar(const std::string& ext) { return !ext.empty() && ext[0] == '*' ? ext.substr(1) : ext; }
};

// Every effect the engine has on the window and the program.
class JobHost {
 public:
  enum class Extension { kOut, kErr };

  virtual ~JobHost() = default;
  virtual void LogEvent(const std::string& status, const std::string& message) = 0;
  virtual void ShowResult(const std::string& text) = 0;        // the result box
  virtual void ShowSelectedFile(const std::string& name) = 0;  // the selected-file box
  virtual void PaintResetButton(bool alert) = 0;               // red until the error is reset
  virtual void ShowConnection(bool connected) = 0;             // the KORA1 connection button
  virtual void ShowMessage(const std::string& text) = 0;       // a run-time error's message box
  virtual void SetTrayTip(const std::string& tip) = 0;
  // Waits while the window's events (and a due tick's pump) run.
  virtual void SleepDelay(double ms) = 0;
  virtual void ProcessEvents() = 0;
  virtual void EndNow(int exitCode) = 0;  // does not return
  // A leading "*" typed in an extension field is dropped from the field.
  virtual void StripLeadingStar(Extension which) = 0;
};

// One running process, as the search reads it.
struct ProcessInfoC {
  std::int32_t PID = 0;
  std::string Name;
  std::string FileName;
};

namespace test {
struct Probe;  // the tests' way to put a job in flight without a hand-off
}

class JobRunner {
 public:
  // settings gives the window's settings of the moment.
  JobRunner(FileSystem& fs, Clock& clock, Processes& processes, std::function<LinkSettings()> settings, JobHost& host);

  void AddObserver(JobEvents* observer) { events_.Add(observer); }

  // One tick of the cycle: connect, or one step of the execution state.
  void Tick();
  // The reset button: the error state ends, KORA1's error text goes.
  void ResetError();
  // Asks KORA1 to close, at shutdown.
  bool CloseKora1();

  ExecState State() const { return state_; }
  bool Connected() const { return connected_; }
  bool Kora1NotFound() const { return kora1NotFound_; }
  bool PaperOut() const { return paperOut_; }
  const ExchangeFiles& Files() const { return x_; }
  const std::string& CurrentInput() const { return input_; }
  // Ticks in a row that found no input file with no job in flight.
  int IdleTicks() const { return idleTicks_; }
  const JobJournal& Journal() const { return journal_; }
  // DORVANE's data folder, or KORA1's when it is missing: where the job
  // journal and the other records of the engine live.
  std::string JournalFolder() const;

  // The driver link.
  bool IsKora1Connected() const;
  void SetExchangePaths();
  bool CheckKora1Dump();
  std::string FindNewestFile(const std::string& currentDir);
  std::string FindFileInfo(const std::string& filespec);  // selection key, "" when unreadable
  bool IsReservedFileName(const std::string& name) const;
  bool MatchesFilePrefix(const std::string& name) const;
  bool SendFileToKora1(const std::string& name);
  ExecState MonitorKora1(std::string& message);
  bool HandleKora1Output();
  bool HandleKora1Error(const std::string& message, Outcome outcome = Outcome::kRefused);
  // Deletes the file when it exists, retrying a failed delete for about 9.5 s.
  bool SubKillFile(const std::string& sFile);

  // KORA1's process.
  bool SearchProcess(const std::string& processName);
  bool SearchProcessAndKillIt(const std::string& processName);
  ProcessInfoC ProcessInfo(std::int32_t processId);

 private:
  friend struct test::Probe;

  // The cycle's pieces.
  void SetState(ExecState s);
  void ShowResult(const std::string& text);
  void ShowConnected(const char* how);
  void ShowNotConnected();
  ExecState StateStep();
  ExecState PaperOutStep(ExecState r);
  ExecState OutputHandling();
  ExecState FailedJobHandling(Outcome outcome);
  void WatchKora1Process();
  // The driver link's pieces.
  bool IsOwnWorkFile(const std::string& name) const;
  bool Present(const std::string& path);
  // Shows a run-time error and marks the call failed; true when st is ok.
  bool Reported(const Status& st, bool& ok);
  Status KillFile(const std::string& path);  // SubKillFile with the reason of a failure
  Status CopyJob(const std::string& source, bool& refused, std::string& data);
  // The job's data, once its writer has let go of the input: false when the
  // hand-off ends here (a link, or an input unreadable for about 30 s).
  bool ReadJobWhenFree(const std::string& name, bool& refused, std::string& data);
  Status RecordJob(const std::string& source, const std::string& data);
  bool RefuseLink(const std::string& name);
  void TellWaiting(int receipts);
  // The crash record: settling the recorded job from what KORA1 left (true
  // when the job stays with KORA1), closing it once filed.
  bool RecoverJob();
  JobEvidence Evidence(const Job& job);
  // Acts on a settlement; true when the job stays with KORA1.
  bool ApplySettlement(Settlement s, const JobEvidence& e, ExecState holding);
  bool Kora1RestartedSinceJob();
  void SettleJob(bool printed);
  // The job as the journal holds it, or as far as it is known without one.
  Job JobInFlight();
  void TellSettled(Outcome outcome, const std::string& text, std::vector<std::string> filedAs);
  Status DeleteInput(const std::string& input);
  // Filing: every file placed whole, or kept to be filed on a later tick.
  Status PlaceFiling(const Filing& filing, std::vector<std::string>& names);
  void KeepPending(const Filing& filing, const Status& cause);
  bool RetryPendingFiling();  // true once nothing waits to be filed
  std::string JobCopyPath(const std::string& name) const;
  std::string ErrorCopyPath(const std::string& name) const;
  void OpenRecords();
  // Work files a crash left half-placed go, once, at the first tick.
  void SweepLeftovers();
  Status IsPaperOut(bool& paperOut);
  void SetPaperOut(bool paperOut, const std::string& line = "");
  std::string PaperOutCopyPath();
  void RemovePaperOutCopy();
  Status WriteSessionResult(const std::string& basePath, bool ok);
  Status WriteRepFile(const std::string& name, int code);

  FileSystem& fs_;
  Clock& clock_;
  Processes& processes_;
  const std::function<LinkSettings()> settings_;
  LinkSettings set_;  // as the step in progress, or the last one, began
  bool inStep_ = false;
  JobHost& host_;
  JobEventsFanOut events_;

  bool connected_ = false;        // KORA1's process found and its exchange files clean
  bool connectionShown_ = false;  // the window shows KORA1 connected
  bool kora1Up_ = false;          // told observers KORA1 is there
  bool kora1Told_ = false;        // told observers anything about KORA1 yet
  ExecState state_ = ExecState::kReady;
  bool kora1NotFound_ = false;  // KORA1's program is missing: the cycle stops
  ExchangeFiles x_;             // of the active port
  std::string input_;           // full path of the input in flight (or last filed)
  std::string selectedKey_;     // selection key of the file FindNewestFile chose
  bool paperOut_ = false;       // the job is held by a paper-out or an open cover
  // The last hand-off failed on KORA1's exchange files: the input is fine
  // and stays for the next tick.
  bool handOffFailedOnDriverSide_ = false;
  std::string result_;  // what the result box shows
  bool recovering_ = false;  // settling a job from what KORA1 left
  bool inputFolderDown_ = false;
  int waiting_ = -1;
  int idleTicks_ = 0;
  std::int32_t foundPid_ = 0;  // the process SearchProcess found last
  JobJournal journal_{fs_};    // the job in flight and the printed receipts, on disk
  PendingFiling pending_{fs_};  // a filing that failed, until it is done
  bool pendingTold_ = false;
  std::string pendingCause_;
  bool swept_ = false;
  LinkReport links_;           // links in the input folder already told
};

}  // namespace dorvane
