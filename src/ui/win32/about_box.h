// frmAbout: the program's icon, title, version and description; OK is both
// the default and the cancel button, so Enter and Esc close it.
#pragma once

#include <windows.h>

namespace dorvane {

// Modal, owned by owner, in the topmost band; returns once it is closed.
void ShowAboutBox(HWND owner);

}  // namespace dorvane
