#pragma once

#include "platform/processes.h"

namespace dorvane {

// Processes from /proc. A process's name is the base name of its executable
// with ".exe" added when it has none, so that the Windows-style process name
// the settings hold ("kkora1.exe") finds the Linux build ("kkora1").
class PosixProcesses : public Processes {
 public:
  std::vector<std::int32_t> EnumerateIds() override;
  ProcessModule ReadModule(std::int32_t pid) override;
  std::string ErrorText(int code) override;
  bool AskToClose(std::int32_t pid) override;
  // A program is started detached; a document goes to xdg-open. A missing
  // "name.exe" is retried as "name".
  bool ShellOpen(const std::string& file, const std::string& params, int show) override;
  // A document's xdg-open is followed to its exit status (3 when no
  // application handles the type); a program, as ShellOpen.
  std::unique_ptr<ShellOpening> ShellOpenFollowed(const std::string& file, const std::string& params,
                                                  int show) override;
  bool ProgramExists(const std::string& path) override;
};

}  // namespace dorvane
