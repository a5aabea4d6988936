// The job engine's face: one job at a time, from the choice of the next
// input to its filing, on the link to KORA1. The window asks it for one step
// per tick of Timer1, presses reset and closes KORA1 through it, and reads a
// snapshot; observers hear each job's life (job_events.h). The work is done
// by its parts: the input port and its folder source, the selection, the
// hand-off, the monitor, the filing, the recovery, KORA1's process and the
// safety rules, each with its own state.
#pragma once

#include <functional>
#include <string>

#include "driverlink/driver_link.h"
#include "driverlink/folder_source.h"
#include "driverlink/handoff.h"
#include "driverlink/input_port.h"
#include "driverlink/input_selection.h"
#include "driverlink/job_filing.h"
#include "driverlink/kora1_process.h"
#include "driverlink/monitor.h"
#include "driverlink/recovery.h"
#include "driverlink/safety_rules.h"

namespace dorvane {

// What the window and the front ends show and wake up for.
struct EngineSnapshot {
  ExecState state = ExecState::kReady;
  bool connected = false;      // KORA1's process found and its exchange files clean
  bool kora1NotFound = false;  // KORA1's program is missing: the cycle stops
  bool paperOut = false;
  ExchangeFiles files;         // of the active port
  std::string input;           // the input in flight (or last filed)
  int idleTicks = 0;           // ticks in a row that found no input with no job in flight
  bool filingHeld = false;     // a filing that waits holds the receipts after it
};

namespace test {
struct Probe;  // the tests' way to the parts
}

class JobRunner {
 public:
  // settings gives the window's settings of the moment.
  JobRunner(FileSystem& fs, Clock& clock, Processes& processes, std::function<LinkSettings()> settings, JobHost& host);

  void AddObserver(JobEvents* observer) { link_.events.Add(observer); }
  // One tick of the cycle: connect, or one step of the execution state, on
  // the settings of the moment it begins.
  void Tick();
  // The reset button: the error state ends, KORA1's error text goes. A job
  // in flight is never dropped by it.
  void ResetError();
  // A filing that waits holds the receipts after it (the snapshot says so);
  // the operator may let them go on while it goes on being retried.
  void LetReceiptsGoOn() { filing_.LetReceiptsGoOn(); }
  // Another source of inputs beside the input folder (the HTTP door's
  // spool); on equal keys the folder goes first.
  void AddSource(InputSource* source) { port_.Add(source); }
  // Asks KORA1 to close, at shutdown.
  bool CloseKora1();

  ExecState State() const { return state_; }
  EngineSnapshot Snapshot() const;
  // Where the job journal and the other records of the engine live.
  std::string JournalFolder() const { return link_.JournalFolder(); }
  // What the folder watcher saw; watched: the input folder is watched.
  void InputFolderChanged(const std::vector<FolderChange>& changes, bool watched) {
    folder_.Changed(changes, watched);
  }
  // A name in the input folder the selection could take as a receipt.
  bool IsReceiptName(const std::string& name) const;
  // SR_MATR is there: KORA1 has done its dump (asks the file system).
  bool Kora1Present() const;

 private:
  friend struct test::Probe;

  void SetState(ExecState s);
  void ShowConnected(const char* how);
  void ShowNotConnected();
  ExecState StateStep();
  // A broken safety rule stops the cycle in the error state.
  ExecState Halt();
  ExecState ReadyStep();
  ExecState RunningStep();
  ExecState BlockedStep();
  ExecState PaperOutStep(ExecState r);
  ExecState OutputHandling();
  // The reset marker DORVRETRY.DVN in the input folder, taken away: true
  // when it was there.
  bool TakeResetMarker();
  void ShowOtherName();
  ExecState FailedJobHandling(Outcome outcome);
  void WatchKora1Process();
  // Making sure KORA1 runs and is ready: a recorded job settled first, the
  // exchange files cleaned, KORA1 found or started.
  void SetExchangePaths();
  bool CheckKora1Dump();
  // The crash record: true when the job stays with KORA1.
  bool RecoverJob();
  bool ApplySettlement(Settlement s, const JobEvidence& e, ExecState holding);

  DriverLink link_;
  InputSelection selection_{link_};
  FolderReach reach_{link_};
  FolderSource folder_{link_, selection_, reach_};
  InputPort port_;
  Kora1Process process_{link_};
  SafetyRules safety_{link_};
  HandOff handOff_{link_, selection_, safety_};
  Monitor monitor_{link_};
  JobFiling filing_{link_, selection_, monitor_, safety_};
  Recovery recovery_{link_, selection_, process_};

  ExecState state_ = ExecState::kReady;
  bool connected_ = false;        // KORA1's process found and its exchange files clean
  bool connectionShown_ = false;  // the window shows KORA1 connected
  bool kora1Up_ = false;          // told observers KORA1 is there
  bool kora1Told_ = false;        // told observers anything about KORA1 yet
  bool kora1NotFound_ = false;
  int idleTicks_ = 0;
  bool reconnectAfterReset_ = false;
  bool recoveredBefore_ = false;  // a recovery has run in this run
};

}  // namespace dorvane
