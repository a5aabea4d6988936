#include "platform/win32/win32_systeminfo.h"

#include "platform/win32/win32_registry.h"
#include <shlobj.h>

#include "text/paths.h"

namespace dorvane {

namespace {

std::string StripTrailingSep(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string Env(const char* name) {
  char buf[MAX_PATH * 4];
  DWORD n = ::GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

}  // namespace

bool IsNt6OrLaterVersion(unsigned long platformId, unsigned long majorVersion) {
  return platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 6;
}

Win32SystemInfo::Win32SystemInfo(std::vector<std::string> args, std::string instanceMutexName)
    : args_(std::move(args)), mutexName_(std::move(instanceMutexName)) {}

Win32SystemInfo::~Win32SystemInfo() {
  if (mutex_) ::CloseHandle(static_cast<HANDLE>(mutex_));
}

bool Win32SystemInfo::QueryKora1Value(const std::string& valueName, std::string& result) {
  return modRegistry::QueryRegValue(HKEY_CURRENT_USER, kKora1RegistryKey, valueName, result);
}

std::string Win32SystemInfo::CommonAppData() {
  char buf[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathA(nullptr, buf, CSIDL_COMMON_APPDATA, TRUE)) return "";
  return buf;  // up to the first NUL
}

bool Win32SystemInfo::IsNt6OrLater() {
  // GetVersionEx is subject to compatibility shims and reports 6.2 on every
  // later Windows to a program without a manifest; ntdll tells the truth.
  using RtlGetVersionFn = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);
  if (HMODULE ntdll = ::GetModuleHandleA("ntdll.dll")) {
    auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    RTL_OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (fn && fn(&v) == 0) return IsNt6OrLaterVersion(v.dwPlatformId, v.dwMajorVersion);
  }
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&v)) return false;
#pragma GCC diagnostic pop
  return IsNt6OrLaterVersion(v.dwPlatformId, v.dwMajorVersion);
}

std::string Win32SystemInfo::OwnDirectory() {
  std::string home = Env("DORVANE_HOME");
  if (!home.empty()) return StripTrailingSep(home);
  std::string buf(MAX_PATH, '\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return ".";
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 2);
  }
  return DirName(buf);
}

std::string Win32SystemInfo::CommandLine() {
  std::string line;
  for (std::size_t i = 1; i < args_.size(); ++i) {
    if (i > 1) line += ' ';
    line += args_[i];
  }
  return line;
}

bool Win32SystemInfo::AcquireSingleInstance() {
  if (mutex_) return true;
  HANDLE h = ::CreateMutexA(nullptr, FALSE, mutexName_.c_str());
  if (!h) return true;  // no guard to be had: better to run than to refuse
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(h);
    return false;
  }
  mutex_ = h;
  return true;
}

std::int64_t Win32SystemInfo::ProcessId() { return static_cast<std::int64_t>(::GetCurrentProcessId()); }

}  // namespace dorvane
