// The headless front end: the same core on a plain loop. Messages go to
// stderr and are answered OK (and No to a question); SIGINT and SIGTERM run
// the normal shutdown.
#pragma once

#include <iosfwd>
#include <memory>

#include "dispatch/dispatcher.h"
#include "dispatch/early_tick.h"
#include "dispatch/job_observers.h"
#include "platform/quiet_ports.h"

namespace dorvane {

class ConsoleUi : public QuietUi {
 public:
  ConsoleUi(Clock& clock, std::ostream& out);
  // With a watcher its changes run early ticks; with a waker the loop waits
  // on it (the watcher's descriptor among what wakes it), and its wake-ups
  // from other threads run early ticks too.
  void Attach(Dispatcher* dispatcher, FolderWatcher* watcher = nullptr, JobObservers* observers = nullptr,
              Waker* waker = nullptr);

  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void TrayAdd(const std::string& tip) override;
  void TrayModify(const std::string& tip) override;
  // "DORVANE: " title " - " text, a line on standard error.
  void Notify(NoticeIcon icon, const std::string& title, const std::string& text) override;
  void ShowClosingNotice() override;
  void ProcessEvents() override;
  [[noreturn]] void EndNow(int exitCode) override;

  // Runs the program until it ends; returns the exit code. With exitWhenDone
  // the normal shutdown starts once a tick finds no input file and no job in
  // flight, or once dispatching has halted because KORA1 cannot be found.
  int Run(bool exitWhenDone = false);
  // Installs SIGINT/SIGTERM handlers that ask for the normal shutdown.
  static void InstallSignalHandlers();

 private:
  void Say(const std::string& text);
  // Prints what changed in the window's result fields, as the window would show it.
  void Mirror();

  Clock& clock_;
  std::ostream& out_;
  Dispatcher* dispatcher_ = nullptr;
  Waker* waker_ = nullptr;
  JobObservers* observers_ = nullptr;
  std::unique_ptr<EarlyTick> earlyTick_;
  std::string lastTip_;
  std::string lastConnection_, lastSelected_, lastResult_;
};

}  // namespace dorvane
