// The texts of the About box, from the program's own version information.
#pragma once

#include <string>

namespace dorvane {

struct AboutTexts {
  std::string Caption;      // "Informazioni su ZTK DORVANE"
  std::string Title;        // the program's title + " per sistemi Windows 32 bit"
  std::string Version;      // "Versione 1.1.0.4"
  std::string Description;  // the description of the version information
};

AboutTexts ProgramAboutTexts();

}  // namespace dorvane
