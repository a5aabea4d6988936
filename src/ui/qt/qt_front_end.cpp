#include "ui/qt/qt_front_end.h"

#include <csignal>
#include <functional>
#include <optional>

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include "dispatch/dispatcher.h"
#include "dispatch/job_observers.h"
#include "dispatch/early_tick.h"
#include "ui/qt/binding.h"
#include "ui/qt/main_window.h"
#include "ui/qt/program_icon.h"
#include "ui/qt/qt_ui.h"

namespace dorvane {

namespace {
// SIGINT and SIGTERM ask for the normal shutdown, as a close of the window does.
volatile std::sig_atomic_t g_closeSignal = 0;
extern "C" void OnQtCloseSignal(int) { g_closeSignal = 1; }
}  // namespace

int RunQtFrontEnd(int argc, char** argv, FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system,
                  FolderWatcher* watcher) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  // One look on every desktop, and one that honours the controls' colours.
  if (QStyle* fusion = QStyleFactory::create("Fusion")) app.setStyle(fusion);
  app.setWindowIcon(ProgramIcon());
  // An Italian program: Qt's own texts too (the message boxes' buttons are
  // set by QtUi either way).
  InstallQtItalian(app);

  MainWindow window;
  QtUi ui(window);
  Dispatcher dispatcher(fs, clock, processes, system, ui);
  ui.Attach(&dispatcher);
  JobObservers observers(dispatcher, fs, clock, system, ui);
  // The pump runs at once for a wake-up from another thread: an event
  // posted to the pump's timer.
  QTimer pump;
  std::function<void()> pumpOnce;
  PostingWaker waker([&] { QMetaObject::invokeMethod(&pump, [&] { pumpOnce(); }, Qt::QueuedConnection); });
  std::optional<EarlyTick> earlyTick;
  if (watcher) earlyTick.emplace(dispatcher, *watcher, &waker);
  Binding binding(window, dispatcher, [&] { ui.ShowAbout(); });
  window.onClose = [&] {
    dispatcher.RequestClose();
    return dispatcher.Ended();
  };

  // The pump: the window timer's ticks (early ones too), the model shown in
  // the window, signals.
  pumpOnce = [&] {
    if (g_closeSignal) {
      g_closeSignal = 0;
      dispatcher.RequestClose();
    }
    // A second start of the program asks to see this one's window.
    if (system.TakeShowRequest()) ui.RestoreFromTray();
    observers.Poll();
    if (earlyTick) earlyTick->Poll();
    dispatcher.RunPending();
    binding.Refresh();
    if (dispatcher.Ended()) app.quit();
  };
  QObject::connect(&pump, &QTimer::timeout, pumpOnce);
  std::signal(SIGINT, OnQtCloseSignal);
  std::signal(SIGTERM, OnQtCloseSignal);
  if (!dispatcher.Form_Load()) {  // another instance runs: it shows its window
    if (system.OtherInstanceInAnotherSession()) {
      ui.ShowMessage(kOtherSessionInstance);
    } else {
      system.AskRunningInstanceToShow();
    }
    return 0;
  }
  observers.OpenDoor(&waker);
  binding.Refresh();
  pump.start(25);
  const int code = app.exec();
  observers.CloseDoor();
  return code;
}

}  // namespace dorvane
