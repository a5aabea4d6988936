#include "ui/console/console_ui.h"

#include <csignal>
#include <cstdlib>
#include <iostream>

namespace dorvane {

namespace {
volatile std::sig_atomic_t g_closeSignal = 0;
extern "C" void OnCloseSignal(int) { g_closeSignal = 1; }
}  // namespace

ConsoleUi::ConsoleUi(Clock& clock, std::ostream& out) : clock_(clock), out_(out) {}

void ConsoleUi::Attach(Dispatcher* dispatcher, FolderWatcher* watcher, JobObservers* observers, Waker* waker) {
  dispatcher_ = dispatcher;
  waker_ = waker;
  observers_ = observers;
  earlyTick_.reset(watcher ? new EarlyTick(*dispatcher, *watcher, waker) : nullptr);
}

void ConsoleUi::InstallSignalHandlers() {
  std::signal(SIGINT, OnCloseSignal);
  std::signal(SIGTERM, OnCloseSignal);
}

void ConsoleUi::Say(const std::string& text) {
  LocalDateTime now = clock_.Now();
  out_ << now.Date() << ' ' << now.Time() << ' ' << text << std::endl;
}

void ConsoleUi::ShowMessage(const std::string& text) {
  std::cerr << "DORVANE: " << text << std::endl;
}

bool ConsoleUi::AskYesNo(const std::string& text) {
  std::cerr << "DORVANE: " << text << " -> No" << std::endl;
  return false;
}

void ConsoleUi::Notify(NoticeIcon, const std::string& title, const std::string& text) {
  std::cerr << "DORVANE: " << title << " - " << text << std::endl;
}

void ConsoleUi::TrayAdd(const std::string& tip) { TrayModify(tip); }

void ConsoleUi::TrayModify(const std::string& tip) {
  if (tip == lastTip_) return;
  lastTip_ = tip;
  Say("[stato]" + tip);
}

void ConsoleUi::ShowClosingNotice() { Say(kClosingNotice); }

void ConsoleUi::ProcessEvents() {
  if (!dispatcher_) return;
  if (g_closeSignal) {
    g_closeSignal = 0;
    dispatcher_->RequestClose();
  }
  if (observers_) observers_->Poll();
  if (earlyTick_) earlyTick_->Poll();
  dispatcher_->RunPending();
  Mirror();
}

void ConsoleUi::Mirror() {
  const Controls& c = dispatcher_->Ctl();
  auto show = [&](std::string& last, const std::string& now, const char* label) {
    if (now == last) return;
    last = now;
    if (!now.empty()) Say(std::string(label) + now);
  };
  show(lastConnection_, c.cmdKora1Connection.Caption, "[KORA1] ");
  show(lastSelected_, c.txtSelectedFile.Text, "[file corrente] ");
  show(lastResult_, c.txtKora1Result.Text, "[risultato] ");
}

void ConsoleUi::EndNow(int exitCode) {
  out_.flush();
  std::exit(exitCode);
}

int ConsoleUi::Run(bool exitWhenDone) {
  while (!dispatcher_->Ended()) {
    ProcessEvents();
    if (dispatcher_->Ended()) break;
    const EngineSnapshot jobs = dispatcher_->Jobs().Snapshot();
    if (exitWhenDone && (jobs.idleTicks > 0 || jobs.kora1NotFound)) {
      dispatcher_->RequestClose();
      continue;
    }
    // A wake-up that came during a tick makes the next tick due now.
    if (earlyTick_) earlyTick_->Poll();
    const std::int64_t due = dispatcher_->Ctl().Timer1.MsUntilDue();
    // Waiting on the waker, the loop wakes for a change, the next tick, a
    // wake-up or a signal; the cap bounds a signal that lands just before
    // the wait.
    if (waker_) {
      waker_->Wait(static_cast<int>(due < 0 || due > 1000 ? 1000 : due));
    } else {
      clock_.Sleep(static_cast<int>(due < 0 || due > 50 ? 50 : due));
    }
  }
  return 0;
}

}  // namespace dorvane
