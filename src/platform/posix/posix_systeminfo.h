#pragma once

#include <string>
#include <vector>

#include "platform/systeminfo.h"

namespace dorvane {

// KORA1's "registry" on POSIX is $XDG_CONFIG_HOME/ZTK Engineering/ZTKKora1.conf
// (lines Name=Value); common application data is $XDG_DATA_HOME; the program's
// directory is DORVANE_HOME when set, else the executable's directory.
class PosixSystemInfo : public SystemInfo {
 public:
  explicit PosixSystemInfo(std::vector<std::string> args);
  ~PosixSystemInfo() override;

  bool QueryKora1Value(const std::string& valueName, std::string& result) override;
  std::string CommonAppData() override;
  bool IsNt6OrLater() override { return true; }
  std::string OwnDirectory() override;
  // share/doc/dorvane in the parent of the executable's folder: for
  // /usr/libexec/dorvane, /usr/share/doc/dorvane.
  std::string InstalledDocDirectory() override;
  std::string CommandLine() override;
  bool AcquireSingleInstance() override;
  // Through a datagram socket beside the lock file, which the running
  // instance binds when it takes the guard.
  void AskRunningInstanceToShow() override;
  bool TakeShowRequest() override;
  std::int64_t ProcessId() override;

  static std::string Kora1ConfPath();

 private:
  std::vector<std::string> args_;
  int lockFd_ = -1;
  int showFd_ = -1;  // the running instance's end of the show requests
};

}  // namespace dorvane
