#include "ui/win32/win32_front_end.h"

#include <windows.h>

#include <optional>

#include "dispatch/dispatcher.h"
#include "dispatch/job_observers.h"
#include "dispatch/early_tick.h"
#include "ui/win32/binding.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_ui.h"

namespace dorvane {

int RunWin32FrontEnd(FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system,
                     FolderWatcher* watcher) {
  MainWindow window;
  Win32Ui ui(window);
  Dispatcher dispatcher(fs, clock, processes, system, ui);
  ui.Attach(&dispatcher);
  Binding binding(window, dispatcher, [&] { ui.ShowAbout(); });
  JobObservers observers(dispatcher, fs, clock, system, ui);
  // A receipt or a verdict that lands makes the next tick due at once; so
  // does a wake-up from another thread, posted to the window.
  PostingWaker waker([&window] { PostMessageA(window.hwnd, kWakeMessage, 0, 0); });
  std::optional<EarlyTick> earlyTick;
  if (watcher) earlyTick.emplace(dispatcher, *watcher, &waker);
  window.onClose = [&] { dispatcher.RequestClose(); };
  // The pump: the window timer's ticks and the model shown in the window,
  // also while a message box or the About box runs its own loop.
  window.onPump = [&] {
    observers.Poll();
    if (earlyTick) earlyTick->Poll();
    dispatcher.RunPending();
    binding.Refresh();
  };
  // A second start of the program asks to see this one's window.
  window.onShowAsked = [&] { ui.RestoreFromTray(); };
  if (!dispatcher.Form_Load()) {  // another instance runs: it shows its window
    if (system.OtherInstanceInAnotherSession()) {
      ui.ShowMessage(kOtherSessionInstance);
    } else {
      AskRunningWindowToShow();
    }
    return 0;
  }
  observers.OpenDoor(&waker);
  binding.Refresh();
  window.StartPump(25);
  MSG m;
  while (!dispatcher.Ended() && GetMessageA(&m, nullptr, 0, 0) > 0) Dispatch(m);
  observers.CloseDoor();
  return 0;
}

}  // namespace dorvane
