// The program's icon, drawn rather than loaded, so the front end needs no resources.
#pragma once

#include <QIcon>

namespace dorvane {

QIcon ProgramIcon();

}  // namespace dorvane
