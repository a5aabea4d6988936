// The Qt 6 Widgets front end: a first main window bound to the controls model.
#pragma once

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/processes.h"
#include "platform/systeminfo.h"

namespace dorvane {

int RunQtFrontEnd(int argc, char** argv, FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system);

}  // namespace dorvane
