// Fakes of the ports, and a harness that builds a dispatcher on them with a
// virtual clock and an in-memory file system.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dispatch/dispatcher.h"
#include "dispatch/job_observers.h"
#include "platform/sim/faulty_filesystem.h"
#include "platform/sim/mem_filesystem.h"
#include "platform/sim/virtual_clock.h"
#include "support/files.h"
#include "support/standing_checker.h"

namespace dorvane::test {

// Thrown by FakeUi::EndNow: the program ended at once.
struct ProgramEnded {
  int code;
};

class FakeUi : public Ui {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text) override { return questions.push_back(text), answerYes; }
  void SetTopmost(bool topmost) override { this->topmost = topmost; }
  void ShowWindowNormal() override { windowShown = true; }
  void HideWindow() override { windowShown = false; }
  void TrayAdd(const std::string& tip) override { trayPresent = true, trayTip = tip; }
  void TrayModify(const std::string& tip) override { trayTip = tip; }
  void TrayDelete() override { trayPresent = false; }
  void Notify(NoticeIcon icon, const std::string& title, const std::string& text) override { notices.push_back({icon, title, text}); }
  void ShowClosingNotice() override { closingNoticeShown = true; }
  void ProcessEvents() override {
    ++eventPumps;
    if (onPump) onPump();
    if (dispatcher) dispatcher->RunPending();
  }
  [[noreturn]] void EndNow(int code) override { throw ProgramEnded{code}; }

  struct Notice { NoticeIcon icon; std::string title, text; bool operator==(const Notice&) const = default; };
  Dispatcher* dispatcher = nullptr;
  std::function<void()> onPump;  // runs on every pump, before a due tick
  std::vector<std::string> messages, questions;
  std::vector<Notice> notices;  // the notifications, in order
  bool answerYes = false, topmost = false, windowShown = false, trayPresent = false, closingNoticeShown = false;
  std::string trayTip;
  int eventPumps = 0;
};

class FakeProcesses : public Processes {
 public:
  struct Proc { std::int32_t pid; ProcessModule module; };
  void Add(std::int32_t pid, const std::string& name, int openError = 0) {
    procs.push_back({pid, {openError, 0, openError ? "" : name, openError ? "" : "C:\\bin\\" + name}});
  }
  std::vector<std::int32_t> EnumerateIds() override {
    std::vector<std::int32_t> ids;
    for (auto& p : procs) ids.push_back(p.pid);
    return ids;
  }
  ProcessModule ReadModule(std::int32_t pid) override {
    for (auto& p : procs)
      if (p.pid == pid) return p.module;
    return {87, 0, "", ""};
  }
  std::string ErrorText(int code) override { return "system error " + std::to_string(code); }
  bool AskToClose(std::int32_t pid) override { return closeRequests.push_back(pid), true; }
  bool ShellOpen(const std::string& file, const std::string& params, int show) override {
    opened.push_back(file + "|" + params + "|" + std::to_string(show));
    if (shellOpenWorks && onOpen) onOpen(file);
    return shellOpenWorks;
  }
  // Recorded as ShellOpen; the opener's verdict (shellOpenWorks) comes
  // openerMs later on the clock, or never when openerMs is negative.
  std::unique_ptr<ShellOpening> ShellOpenFollowed(const std::string& file, const std::string& params, int show) override {
    struct Opening : ShellOpened {
      Opening(bool ok, Clock* clock, std::int64_t at) : ShellOpened(ok), clock(clock), at(at) {}
      State Poll() override { return at < 0 || (clock && clock->MonotonicMs() < at) ? State::Running : ShellOpened::Poll(); }
      Clock* clock;
      std::int64_t at;
    };
    opened.push_back(file + "|" + params + "|" + std::to_string(show));
    return std::make_unique<Opening>(shellOpenWorks, clock, openerMs < 0 ? -1 : (clock ? clock->MonotonicMs() : 0) + openerMs);
  }
  bool ProgramExists(const std::string& path) override { return programs.count(path) != 0; }

  std::vector<Proc> procs;
  std::vector<std::int32_t> closeRequests;
  std::vector<std::string> opened;
  bool shellOpenWorks = true;
  Clock* clock = nullptr;  // the opener's time; without one it answers at once
  std::int64_t openerMs = 0;
  std::set<std::string> programs;  // program files that exist
  std::function<void(const std::string&)> onOpen;  // a program started through the shell
};

class FakeSystemInfo : public SystemInfo {
 public:
  bool QueryKora1Value(const std::string& name, std::string& result) override {
    auto it = registry.find(name);
    return it != registry.end() && (result = it->second, true);
  }
  std::string CommonAppData() override { return commonAppData; }
  bool IsNt6OrLater() override { return nt6; }
  std::string OwnDirectory() override { return ownDir; }
  std::string InstalledDocDirectory() override { return docDir; }
  std::string CommandLine() override { return commandLine; }
  bool AcquireSingleInstance() override { return true; }
  std::int64_t ProcessId() override { return pid; }

  std::map<std::string, std::string> registry;
  std::string commonAppData, ownDir, docDir, commandLine;
  bool nt6 = true;
  std::int64_t pid = 4242;
};

// A whole program on fakes: own directory P/app, common data P/data, with
// KORA1's data directory P/data/ZTKKORA1 and DORVANE's P/data/ZTKDORVANE.
struct Harness {
  Harness();
  // Replaces the dispatcher with a fresh one on the same file system (a restart).
  void Restart();
  std::string Path(const std::string& relative) const;  // "a/b" -> root + sep + a + sep + b
  void PutConfig(const std::vector<std::string>& lines, const std::string& dir);
  // Lets the program run for this much virtual time, pumping events as a
  // front end's loop does.
  void RunFor(std::int64_t ms);
  // The event log, DORVLOG.txt in KORA1's data folder; empty when missing.
  std::string LogPath() const;
  std::string Log() const { return mem.Content(LogPath()); }

  std::string root, appDir, commonDir, kora1Dir;
  VirtualClock clock;
  MemFileSystem mem{&clock};
  FaultyFileSystem fs{mem};
  FakeUi ui;
  FakeProcesses processes;
  FakeSystemInfo system;
  StandingChecker checker{mem, commonDir, kora1Dir};
  std::unique_ptr<Dispatcher> d;
  std::unique_ptr<JobObservers> observers;  // the ledger, the notices, the status file
};

// The parts of the dispatcher a front end never touches.
struct Probe {
  static DispatchState& State(Dispatcher& d) { return d.st_; }
  // The engine with the window's settings of now, as a step would begin.
  static JobRunner& Jobs(Dispatcher& d) {
    d.jobs_.link_.set = d.Link();
    return d.jobs_;
  }
  static DriverLink& Link(Dispatcher& d) { return Jobs(d).link_; }
  static InputSelection& Selection(Dispatcher& d) { return Jobs(d).selection_; }
  static FolderSource& Folder(Dispatcher& d) { return Jobs(d).folder_; }
  static HandOff& HandingOff(Dispatcher& d) { return Jobs(d).handOff_; }
  static Monitor& Monitoring(Dispatcher& d) { return Jobs(d).monitor_; }
  static JobFiling& Filing(Dispatcher& d) { return Jobs(d).filing_; }
  static Kora1Process& Process(Dispatcher& d) { return Jobs(d).process_; }
  static bool CheckKora1Dump(Dispatcher& d) { return Jobs(d).CheckKora1Dump(); }
  static void SetExchangePaths(Dispatcher& d) { Jobs(d).SetExchangePaths(); }
  static void CheckKora1DataDir(Dispatcher& d) { d.CheckKora1DataDir(); }
  static void CheckDorvaneDataDir(Dispatcher& d) { d.CheckDorvaneDataDir(); }
  // A job in flight from this input, as if handed over.
  static void Assume(Dispatcher& d, const std::string& input, ExecState state) {
    d.jobs_.link_.input = input;
    d.jobs_.state_ = state;
  }
};

// A test on one harness, with the dispatcher's parts at hand.
class OnFakes : public ::testing::Test {
 protected:
  Dispatcher& d() { return *h.d; }
  DispatchState& st() { return Probe::State(*h.d); }
  JobRunner& jobs() { return Probe::Jobs(*h.d); }
  const ExchangeFiles& x() { return Probe::Link(*h.d).x; }
  InputSelection& selection() { return Probe::Selection(*h.d); }
  // The name of the input the input folder offers now, "" for none.
  std::string Chosen() {
    const std::optional<InputChoice> next = Probe::Folder(*h.d).Oldest();
    return next ? BaseName(next->path) : "";
  }
  HandOff& handOff() { return Probe::HandingOff(*h.d); }
  Monitor& monitor() { return Probe::Monitoring(*h.d); }
  JobFiling& filing() { return Probe::Filing(*h.d); }
  Kora1Process& process() { return Probe::Process(*h.d); }
  void Assume(const std::string& input, ExecState state = ExecState::kReady) { Probe::Assume(*h.d, input, state); }
  Controls& c() { return h.d->Ctl(); }
  Harness h;
};

// Eighteen configuration lines: port 1, log on, every folder KORA1's data folder.
std::vector<std::string> ShopConfig(const Harness& h);

}  // namespace dorvane::test
