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
    if (exitWhenDone && (dispatcher_->IdleTicks() > 0 || dispatcher_->State().ProcessKora1NotFound)) {
      dispatcher_->RequestClose();
      continue;
    }
    std::int64_t wait = dispatcher_->Ctl().Timer1.MsUntilDue();
    clock_.Sleep(static_cast<int>(wait < 0 || wait > 50 ? 50 : wait));
  }
  return 0;
}

}  // namespace dorvane
