// What differs between Windows and POSIX: where KORA1's directories are
// recorded, the well-known folders, and how the program is asked to close.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvane::kkora1 {

// Common application-data folder: CSIDL 35 on Windows; $XDG_DATA_HOME, else
// ~/.local/share, on POSIX. Empty when it cannot be found.
std::string CommonAppDataDir();

// Directory of the running executable.
std::string OwnProgramDir(const char* argv0);

// Replaces (or appends) Name=Value lines of an INI-style text, names compared
// without regard to case as registry value names are; every other line is kept.
// The result has CR LF line ends.
std::string UpdateConfText(std::string_view oldText,
                           const std::vector<std::pair<std::string, std::string>>& values);

// Looks up one Name=Value line; empty when missing.
std::string ConfValue(std::string_view text, std::string_view name);

struct Registration {
  bool ok = false;
  std::string where;             // registry key or conf file
  std::string error;
  std::string customPathDataDir;  // set when an override would send DORVANE elsewhere
};

// Records the data and program directories as the real driver does: registry
// values "ZTKKora1" and "AppPath" under HKCU\SOFTWARE\ZTK Engineering\ZTKKora1
// on Windows; the same names in ZTKKora1.conf on POSIX.
Registration RegisterPaths(const std::string& dataDir, const std::string& programDir);

#ifndef _WIN32
// $XDG_CONFIG_HOME/ZTK Engineering/ZTKKora1.conf, default under ~/.config.
std::string ConfFilePath();
#endif

// Close requests: SIGTERM/SIGINT on POSIX; on Windows WM_CLOSE to a hidden
// top-level window (TASKKILL without /F only reaches a process through its
// windows) and console Ctrl+C.
void InstallCloseHandlers();
void RemoveCloseHandlers();
bool CloseRequested();
void RequestClose();

// Sleeps up to ms, waking early on a close request.
void SleepUnlessClosing(int ms);

}  // namespace dorvane::kkora1
