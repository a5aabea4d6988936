// The Qt 6 Widgets front end: the settings window bound to the dispatcher,
// the tray icon, the About box and the closing notice.
#pragma once

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/folder_watcher.h"
#include "platform/processes.h"
#include "platform/systeminfo.h"

namespace dorvane {

// With a watcher, its changes run early ticks of the cycle.
int RunQtFrontEnd(int argc, char** argv, FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system,
                  FolderWatcher* watcher);

}  // namespace dorvane
