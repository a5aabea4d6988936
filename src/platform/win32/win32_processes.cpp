#include "platform/win32/win32_processes.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <string>

namespace dorvane {

namespace {

// Query information and read memory: what the module functions need.
constexpr DWORD kProcessAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x410
constexpr DWORD kNameChars = 1000;

}  // namespace

std::vector<std::int32_t> EnumerateProcessIds(std::size_t firstCapacity) {
  std::vector<DWORD> ids(firstCapacity < 1 ? 1 : firstCapacity);
  DWORD bytes = 0;
  for (;;) {
    const DWORD offered = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    if (!::EnumProcesses(ids.data(), offered, &bytes)) return {};
    // The call never says how many ids it left out; only a buffer with room
    // to spare proves the list is whole.
    if (bytes < offered) break;
    ids.resize(ids.size() * 2);
  }
  return std::vector<std::int32_t>(ids.begin(), ids.begin() + bytes / sizeof(DWORD));
}

std::vector<std::int32_t> Win32Processes::EnumerateIds() { return EnumerateProcessIds(); }

ProcessModule Win32Processes::ReadModule(std::int32_t pid) {
  ProcessModule m;
  HANDLE h = ::OpenProcess(kProcessAccess, FALSE, static_cast<DWORD>(pid));
  if (!h) {
    m.openError = static_cast<int>(::GetLastError());
    return m;
  }
  HMODULE modules[1024];
  DWORD needed = 0;
  if (!::EnumProcessModules(h, modules, sizeof modules, &needed) || needed == 0) {
    m.modulesError = static_cast<int>(::GetLastError());
    ::CloseHandle(h);
    return m;
  }
  char buf[kNameChars];
  DWORD n = ::GetModuleFileNameExA(h, modules[0], buf, kNameChars);
  m.fileName.assign(buf, n);
  n = ::GetModuleBaseNameA(h, modules[0], buf, kNameChars);
  m.name.assign(buf, n);
  ::CloseHandle(h);
  return m;
}

std::string Win32Processes::ErrorText(int code) {
  char buf[kNameChars] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(code), 0, buf, kNameChars, nullptr);
  return std::string(buf, n);
}

bool Win32Processes::AskToClose(std::int32_t pid) {
  if (pid <= 0) return false;
  std::string command = "TASKKILL /PID " + std::to_string(pid);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNOACTIVATE;  // shown, without taking the focus from the user
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &si, &pi))
    return false;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

bool Win32Processes::ShellOpen(const std::string& file, const std::string& params, int show) {
  HINSTANCE r = ::ShellExecuteA(nullptr, "open", file.c_str(), params.empty() ? nullptr : params.c_str(), nullptr, show);
  // Values above 32 mean success; anything else is an error code.
  return reinterpret_cast<INT_PTR>(r) > 32;
}

bool Win32Processes::ProgramExists(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace dorvane
