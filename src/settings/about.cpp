#include "settings/about.h"

namespace dorvane {

namespace {
constexpr const char* kProgramTitle = "ZTK DORVANE";
}

AboutTexts ProgramAboutTexts() {
  AboutTexts t;
  t.Caption = std::string("Informazioni su ") + kProgramTitle;
  t.Title = std::string(kProgramTitle) + " per sistemi Windows 32 bit";
  // The build number is always shown as 0.
  t.Version = "Versione " + std::to_string(DORVANE_VERSION_MAJOR) + "." + std::to_string(DORVANE_VERSION_MINOR) + ".0." +
              std::to_string(DORVANE_VERSION_REVISION);
  t.Description = "ZTK DORVANE: Dispatcher per ZTK KORA1 ";
  return t;
}

}  // namespace dorvane
