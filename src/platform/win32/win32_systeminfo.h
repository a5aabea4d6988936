#pragma once

#include <string>
#include <vector>

#include "platform/systeminfo.h"

namespace dorvane {

// Name of the mutexes that mark a running instance, in the logon session's
// namespace ("Local\\") and in the machine's ("Global\\").
inline constexpr const char* kInstanceMutexName = "ZTKDORVANE.Instance";

// KORA1's values from HKEY_CURRENT_USER, the common application-data folder
// from the shell, the real Windows version from ntdll, the program's
// directory (DORVANE_HOME overrides it), the manual beside the program, and
// named mutexes as the single-instance guard across the machine's sessions.
class Win32SystemInfo : public SystemInfo {
 public:
  explicit Win32SystemInfo(std::vector<std::string> args, std::string instanceMutexName = kInstanceMutexName);
  ~Win32SystemInfo() override;
  Win32SystemInfo(const Win32SystemInfo&) = delete;
  Win32SystemInfo& operator=(const Win32SystemInfo&) = delete;

  bool QueryKora1Value(const std::string& valueName, std::string& result) override;
  std::string CommonAppData() override;
  bool IsNt6OrLater() override;
  std::string OwnDirectory() override;
  std::string InstalledDocDirectory() override;
  std::string CommandLine() override;
  bool AcquireSingleInstance() override;
  bool OtherInstanceInAnotherSession() override;

  // The directory of the executable itself, whatever DORVANE_HOME says.
  static std::string ProgramDirectory();
  std::int64_t ProcessId() override;

 private:
  std::vector<std::string> args_;
  std::string mutexName_;
  void* mutex_ = nullptr;
  void* globalMutex_ = nullptr;
  bool otherSession_ = false;
};

// The version rule: Windows NT (platform 2) from 6.0 (Vista) upward.
bool IsNt6OrLaterVersion(unsigned long platformId, unsigned long majorVersion);

}  // namespace dorvane
