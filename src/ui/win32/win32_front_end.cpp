#include "ui/win32/win32_front_end.h"

#include <windows.h>

#include "dispatch/dispatcher.h"
#include "ui/win32/binding.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_ui.h"

namespace dorvane {

int RunWin32FrontEnd(FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system) {
  MainWindow window;
  Win32Ui ui(window);
  Dispatcher dispatcher(fs, clock, processes, system, ui);
  ui.Attach(&dispatcher);
  Binding binding(window, dispatcher, [&] { ui.ShowAbout(); });
  window.onClose = [&] { dispatcher.RequestClose(); };
  // The pump: the window timer's ticks and the model shown in the window,
  // also while a message box or the About box runs its own loop.
  window.onPump = [&] {
    dispatcher.RunPending();
    binding.Refresh();
  };
  if (!dispatcher.Form_Load()) return 0;  // another instance runs
  binding.Refresh();
  window.StartPump(25);
  MSG m;
  while (!dispatcher.Ended() && GetMessageA(&m, nullptr, 0, 0) > 0) Dispatch(m);
  return 0;
}

}  // namespace dorvane
