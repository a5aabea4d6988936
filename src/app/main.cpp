// DORVANE: picks the front end, builds the platform, runs.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "dispatch/job_observers.h"
#include "platform/system_clock.h"
#include "ui/console/console_ui.h"

#ifdef _WIN32
#include "platform/win32/event_waker.h"
#include "platform/win32/win32_folder_watcher.h"
#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/inotify_watcher.h"
#include "platform/posix/poll_waker.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/posix/posix_processes.h"
#include "platform/posix/posix_systeminfo.h"
#endif

#ifdef DORVANE_WITH_QT
#include "ui/qt/qt_front_end.h"
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef DORVANE_WITH_WIN32
#include <windows.h>

#include <cstdio>

#include "ui/win32/win32_front_end.h"
#endif

namespace {

constexpr const char* kUsage =
    "Uso: dorvane [--headless] [--exit-when-done] [/NONID] [/STOP]\n"
    "\n"
    "ZTK DORVANE: dispatcher di scontrini per ZTK KORA1.\n"
    "Preleva i file dalla cartella di input, li passa a KORA1 e li archivia\n"
    "nella cartella di output o di errore secondo il risultato.\n"
    "\n"
    "  /NONID      avvia con la finestra visibile (altrimenti solo l'icona)\n"
    "  /STOP       avvia con il ciclo di trasmissione fermo\n"
    "  --headless  nessuna finestra: messaggi sul terminale, chiusura con\n"
    "              Ctrl+C o SIGTERM (scelto anche quando non c'e' un display)\n"
    "  --exit-when-done\n"
    "              senza finestra (come --headless); termina con la chiusura\n"
    "              normale quando la cartella di input non ha piu' file da\n"
    "              stampare e l'ultimo lavoro e' archiviato, o quando KORA1\n"
    "              non si trova\n"
    "  --help      questo testo\n"
    "  --version   la versione\n"
    "\n"
    "Le impostazioni sono in DORVCONF.txt nella cartella del programma\n"
    "(DORVANE_HOME la sostituisce) o nella cartella dati di KORA1.\n";

bool HasDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* v = std::getenv(var);
    if (v && *v) return true;
  }
  return false;
}

#ifdef DORVANE_WITH_WIN32
// dorvane.exe is a windowed program: started from a console without its
// output redirected, its standard streams lead nowhere. The console front
// end and the help texts write to the console it was started from.
void UseParentConsole() {
  auto missing = [](DWORD which) {
    HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
  };
  const bool in = missing(STD_INPUT_HANDLE), out = missing(STD_OUTPUT_HANDLE), err = missing(STD_ERROR_HANDLE);
  if (!(in || out || err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (in) std::freopen("CONIN$", "r", stdin);
  if (out) std::freopen("CONOUT$", "w", stdout);
  if (err) std::freopen("CONOUT$", "w", stderr);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // DORVANE runs for months beside a door that reads the ledger for its
  // callers on other threads. glibc would give each thread a heap of its
  // own and raise its thresholds after each large buffer, keeping what was
  // freed: one heap, and large buffers given back to the system when freed.
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 256 * 1024);
#endif
  bool headless = false;
  bool exitWhenDone = false;
  std::vector<std::string> args{argv[0]};
#ifdef DORVANE_WITH_WIN32
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--", 2) == 0 || std::strcmp(argv[i], "-h") == 0) {
      UseParentConsole();
      break;
    }
#endif
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--version") {
      std::cout << "ZTK DORVANE " << DORVANE_VERSION_MAJOR << "." << DORVANE_VERSION_MINOR << ".0."
                << DORVANE_VERSION_REVISION << "\n";
      return 0;
    }
    if (a == "--headless") {
      headless = true;
      continue;
    }
    if (a == "--exit-when-done") {
      exitWhenDone = headless = true;
      continue;
    }
    args.push_back(a);
  }
  // DORVANE_TIMER_ONLY=1: the cycle runs on its timer alone, as before
  // folder notifications, and a file's writer is judged as before (on
  // POSIX by its age); for comparisons.
  const char* timerOnlyVar = std::getenv("DORVANE_TIMER_ONLY");
  const bool timerOnly = timerOnlyVar && std::strcmp(timerOnlyVar, "1") == 0;
#ifdef _WIN32
  dorvane::Win32FolderWatcher folderWatcher;
  dorvane::Win32Platform platform(args);
  dorvane::FileSystem& fs = platform.Files();
  dorvane::Processes& processes = platform.Procs();
  dorvane::SystemInfo& system = platform.System();
#else
  dorvane::PosixFileSystem fs(!timerOnly);
  dorvane::InotifyWatcher folderWatcher;
  dorvane::PosixProcesses processes;
  dorvane::PosixSystemInfo system(args);
#endif
  dorvane::FolderWatcher* watcher = timerOnly ? nullptr : &folderWatcher;
  dorvane::SystemClock clock;

#if defined(DORVANE_WITH_WIN32)
  (void)HasDisplay;
  if (!headless) return dorvane::RunWin32FrontEnd(fs, clock, processes, system, watcher);
#elif defined(DORVANE_WITH_QT)
  if (!headless && HasDisplay()) return dorvane::RunQtFrontEnd(argc, argv, fs, clock, processes, system, watcher);
#else
  (void)HasDisplay;
  (void)headless;
#endif
#ifdef _WIN32
  dorvane::EventWaker waker;
#else
  dorvane::PollWaker waker(watcher ? folderWatcher.PollFd() : -1);
#endif
  dorvane::ConsoleUi ui(clock, std::cout);
  dorvane::Dispatcher dispatcher(fs, clock, processes, system, ui);
  dorvane::JobObservers observers(dispatcher, fs, clock, system, ui);
  ui.Attach(&dispatcher, watcher, &observers, &waker);
  dorvane::ConsoleUi::InstallSignalHandlers();
  if (!dispatcher.Form_Load()) {  // another instance runs
    if (system.OtherInstanceInAnotherSession()) ui.ShowMessage(dorvane::kOtherSessionInstance);
    return 0;
  }
  observers.OpenDoor(&waker);
  const int code = ui.Run(exitWhenDone);
  observers.CloseDoor();
  return code;
}
