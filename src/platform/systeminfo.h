// The system-information port: KORA1's registry values, well-known folders,
// the OS version, the program's own directory and command line.
#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

// Key under the current user where KORA1 records its directories.
inline constexpr const char* kKora1RegistryKey = "SOFTWARE\\ZTK Engineering\\ZTKKora1";

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // Reads a value of KORA1's key; false when the key or value cannot be read.
  // Numbers come back in decimal.
  virtual bool QueryKora1Value(const std::string& valueName, std::string& result) = 0;
  // Common application-data folder; empty when it cannot be obtained.
  virtual std::string CommonAppData() = 0;
  // True from Windows NT 6.0 upward (always on POSIX).
  virtual bool IsNt6OrLater() = 0;
  // Directory of the program's executable, without a trailing separator.
  virtual std::string OwnDirectory() = 0;
  // Where the manual is looked for when the data folder has none: the Linux
  // package's documentation folder, the folder of dorvane.exe on Windows.
  virtual std::string InstalledDocDirectory() { return {}; }
  virtual std::string CommandLine() = 0;
  // Takes the single-instance guard; false when another instance holds it.
  virtual bool AcquireSingleInstance() = 0;
  // After a refused guard: the running instance is in another logon session
  // of this machine (another user), which the second start tells before it
  // ends; one in this session ends it silently.
  virtual bool OtherInstanceInAnotherSession() { return false; }
  // A second start in this session asks the running instance to show its
  // window; the running instance takes that request (true once a request).
  virtual void AskRunningInstanceToShow() {}
  virtual bool TakeShowRequest() { return false; }
  // The running program's process id, as the system's process list shows it.
  virtual std::int64_t ProcessId() = 0;
};

// What a second start says when DORVANE runs in another session.
inline constexpr const char* kOtherSessionInstance = "ZTK DORVANE \xE8 gi\xE0 in esecuzione in un'altra "
                                                    "sessione di questo computer: questa copia termina";

}  // namespace dorvane
