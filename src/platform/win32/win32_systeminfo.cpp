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
  for (void* h : {mutex_, globalMutex_})
    if (h) ::CloseHandle(static_cast<HANDLE>(h));
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
  return ProgramDirectory();
}

std::string Win32SystemInfo::ProgramDirectory() {
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

// The installer copies the manual into the data folder; the portable zip
// has it beside dorvane.exe.
std::string Win32SystemInfo::InstalledDocDirectory() { return ProgramDirectory(); }

std::string Win32SystemInfo::CommandLine() {
  std::string line;
  for (std::size_t i = 1; i < args_.size(); ++i) {
    if (i > 1) line += ' ';
    line += args_[i];
  }
  return line;
}

namespace {

// Creates the named mutex; false when it exists already. A mutex of another
// user's instance may refuse us access: it exists all the same.
bool CreateOwnMutex(const std::string& name, void*& handle, bool& unavailable) {
  HANDLE h = ::CreateMutexA(nullptr, FALSE, name.c_str());
  const DWORD error = ::GetLastError();
  if (!h) {
    unavailable = error != ERROR_ACCESS_DENIED;
    return false;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(h);
    return false;
  }
  handle = h;
  return true;
}

}  // namespace

// Two mutexes: one in the session's namespace, one in the machine's
// ("Global\"), so that a copy in another logon session (another user, the
// installer's logon entry starting it for each) is refused too. Which of
// them was taken tells where the running copy is.
bool Win32SystemInfo::AcquireSingleInstance() {
  if (mutex_) return true;
  otherSession_ = false;
  bool unavailable = false;
  void* local = nullptr;
  if (!CreateOwnMutex("Local\\" + mutexName_, local, unavailable)) {
    if (unavailable) return true;  // no guard to be had: better to run than to refuse
    return false;
  }
  void* global = nullptr;
  if (!CreateOwnMutex("Global\\" + mutexName_, global, unavailable) && !unavailable) {
    ::CloseHandle(static_cast<HANDLE>(local));
    otherSession_ = true;
    return false;
  }
  mutex_ = local;
  globalMutex_ = global;
  return true;
}

bool Win32SystemInfo::OtherInstanceInAnotherSession() { return otherSession_; }

std::int64_t Win32SystemInfo::ProcessId() { return static_cast<std::int64_t>(::GetCurrentProcessId()); }

}  // namespace dorvane
