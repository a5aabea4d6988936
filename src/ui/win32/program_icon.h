// The program's icon, drawn at any size: a receipt on a dark-grey tile.
#pragma once

#include <windows.h>

namespace dorvane {

// A new icon of size x size pixels; the caller destroys it.
HICON CreateProgramIcon(int size);

}  // namespace dorvane
