// The windowed front end of dorvane.exe: the settings window, the tray icon
// and the cycle's timer on the window's own message loop.
#pragma once

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/folder_watcher.h"
#include "platform/processes.h"
#include "platform/systeminfo.h"

namespace dorvane {

// watcher: the input and KORA1's folders for early ticks; null for the timer alone.
int RunWin32FrontEnd(FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system, FolderWatcher* watcher);

}  // namespace dorvane
