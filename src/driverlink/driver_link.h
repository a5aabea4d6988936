// What the parts of the job engine share: the ports, the window's effects
// (the host), the observers, the settings the step began with, the exchange
// files of the active port, the crash records, and the job in flight. Each
// part keeps its own state; this holds only what more than one of them uses.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driverlink/exchange_files.h"
#include "driverlink/filing.h"
#include "driverlink/job.h"
#include "driverlink/job_events.h"
#include "driverlink/job_journal.h"
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
  InputLayout Layout() const {
    return fasyVola ? InputLayout::kFasyVola : itineris ? InputLayout::kItineris : InputLayout::kSarema;
  }
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
  // Writes the state dump, for the operator after a broken safety rule.
  virtual void DumpState() = 0;
};

struct DriverLink {
  DriverLink(FileSystem& fs, Clock& clock, Processes& processes, std::function<LinkSettings()> settings, JobHost& host);

  // The window's settings of now, for a step about to begin or for work
  // done between steps.
  void TakeSettings() { set = settings(); }
  // DORVANE's data folder, or KORA1's when it is missing: where the job
  // journal and the other records of the engine live.
  std::string JournalFolder() const;
  // Reads the job journal and the filing left to do (once per run).
  void OpenRecords();

  void ShowResult(const std::string& text);
  bool Present(const std::string& path) { return !path.empty() && fs.Exists(path); }
  // Deletes the file when it exists, retrying a failed delete for about
  // 9.5 s; the reason of a failure.
  Status KillFile(const std::string& path);
  bool SubKillFile(const std::string& path) { return KillFile(path).ok(); }
  // Shows a run-time error and marks the call failed; true when st is ok.
  bool Reported(const Status& st, bool& ok);

  // The job as the journal holds it, or as far as it is known without one.
  Job JobInFlight();
  // With what its filing placed: the names, the job's bytes (Job::data) and
  // why it went under another name.
  void TellSettled(Outcome outcome, const std::string& text, const Filing& filing);
  // The job is filed: its record goes, and a printed receipt whose input is
  // still there is remembered.
  void SettleJob(bool printed);

  FileSystem& fs;
  Clock& clock;
  Processes& processes;
  JobHost& host;
  const std::function<LinkSettings()> settings;
  LinkSettings set;  // as the step in progress, or the last one, began
  bool inStep = false;
  JobEventsFanOut events;
  ExchangeFiles x;  // of the active port
  JobJournal journal{fs};        // the job in flight and the printed receipts, on disk
  PendingFiling pending{fs};     // a filing that failed, until it is done
  std::string input;             // full path of the input in flight (or last filed)
  std::string key;               // selection key of the input the selection chose
  // How that input is read: its own layout (the HTTP door's inputs), else
  // the window's choice.
  std::optional<InputLayout> inputLayout;
  InputLayout Layout() const { return inputLayout.value_or(set.Layout()); }
  std::string requestKey;        // its caller's key, when it came by the HTTP door
  std::string result;            // what the result box shows
  bool recovering = false;       // settling a job from what KORA1 left
};

}  // namespace dorvane
