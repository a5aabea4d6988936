#include "platform.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "fileio.h"
#include "sarema.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace dorvane::kkora1 {

namespace fs = std::filesystem;

namespace {

std::atomic<bool> closeRequested{false};

#ifndef _WIN32
std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}
#endif

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view NameOf(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return {};
  std::string_view name = line.substr(0, eq);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  return name;
}

}  // namespace

std::string UpdateConfText(std::string_view oldText,
                           const std::vector<std::pair<std::string, std::string>>& values) {
  std::vector<bool> written(values.size(), false);
  std::string out;
  for (const std::string& line : SplitLines(oldText)) {
    const std::string_view name = NameOf(line);
    bool replaced = false;
    for (std::size_t i = 0; i < values.size() && !name.empty(); ++i) {
      if (!SameName(name, values[i].first)) continue;
      if (!written[i]) out += values[i].first + "=" + values[i].second + "\r\n";
      written[i] = replaced = true;  // a duplicate of a replaced name is dropped
      break;
    }
    if (!replaced) out += line + "\r\n";
  }
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!written[i]) out += values[i].first + "=" + values[i].second + "\r\n";
  return out;
}

std::string ConfValue(std::string_view text, std::string_view name) {
  for (const std::string& line : SplitLines(text))
    if (SameName(NameOf(line), name)) return line.substr(line.find('=') + 1);
  return {};
}

#ifdef _WIN32

std::string CommonAppDataDir() {
  char buffer[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buffer, 35 /* CSIDL_COMMON_APPDATA */, TRUE)) return {};
  return StripTrailingSeparators(buffer);
}

std::string OwnProgramDir(const char*) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path(buffer, n);
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : StripTrailingSeparators(path.substr(0, slash));
}

Registration RegisterPaths(const std::string& dataDir, const std::string& programDir) {
  Registration r;
  r.where = "HKCU\\SOFTWARE\\ZTK Engineering\\ZTKKora1";
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ZTK Engineering\\ZTKKora1", 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) {
    r.error = "RegCreateKeyExA failed, code " + std::to_string(rc);
    return r;
  }
  auto set = [&](const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
  };
  rc = set("ZTKKora1", dataDir);
  if (rc == ERROR_SUCCESS) rc = set("AppPath", programDir);
  if (rc != ERROR_SUCCESS) r.error = "RegSetValueExA failed, code " + std::to_string(rc);
  char custom[1024] = {};
  DWORD size = sizeof custom - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, "CustomPathDataDir", nullptr, &type, reinterpret_cast<BYTE*>(custom), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ)
    r.customPathDataDir = std::string(custom);
  RegCloseKey(key);
  r.ok = r.error.empty();
  return r;
}

namespace {

HWND closeWindow = nullptr;
DWORD windowThreadId = 0;
std::thread windowThread;
constexpr const char* kWindowClass = "KKORA1_SIMULATORE";

LRESULT CALLBACK CloseWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      closeRequested = true;
      DestroyWindow(hwnd);
      return 0;
    case WM_ENDSESSION:
      if (wParam) closeRequested = true;
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

BOOL WINAPI ConsoleHandler(DWORD) {
  closeRequested = true;
  return TRUE;
}

}  // namespace

void InstallCloseHandlers() {
  SetConsoleCtrlHandler(ConsoleHandler, TRUE);
  std::atomic<bool> ready{false};
  windowThread = std::thread([&ready] {
    windowThreadId = GetCurrentThreadId();
    WNDCLASSA wc{};
    wc.lpfnWndProc = CloseWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    // A real top-level window, never shown: message-only windows are not
    // top-level, and TASKKILL would not find them.
    closeWindow = CreateWindowExA(0, kWindowClass, "ZTK KORA1 (simulatore)", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ready = true;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  });
  while (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!closeWindow) Log("warning: hidden close window not created; TASKKILL will not reach the simulator");
}

void RemoveCloseHandlers() {
  if (windowThread.joinable()) {
    if (closeWindow && IsWindow(closeWindow)) PostMessageA(closeWindow, WM_CLOSE, 0, 0);
    else if (!closeWindow) PostThreadMessageA(windowThreadId, WM_QUIT, 0, 0);
    windowThread.join();
  }
  SetConsoleCtrlHandler(ConsoleHandler, FALSE);
}

#else  // POSIX

std::string CommonAppDataDir() {
  std::string base = Env("XDG_DATA_HOME");
  if (base.empty() || base.front() != '/') {
    const std::string home = Env("HOME");
    if (home.empty()) return {};
    base = home + "/.local/share";
  }
  return StripTrailingSeparators(base);
}

std::string OwnProgramDir(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec && argv0) exe = fs::absolute(fs::path(argv0), ec);
  if (exe.empty()) return fs::current_path(ec).string();
  return StripTrailingSeparators(exe.parent_path().string());
}

std::string ConfFilePath() {
  std::string base = Env("XDG_CONFIG_HOME");
  if (base.empty() || base.front() != '/') base = Env("HOME") + "/.config";
  return StripTrailingSeparators(base) + "/ZTK Engineering/ZTKKora1.conf";
}

Registration RegisterPaths(const std::string& dataDir, const std::string& programDir) {
  Registration r;
  r.where = ConfFilePath();
  const std::string dir = fs::path(r.where).parent_path().string();
  if (!EnsureDirectory(dir, &r.error)) {
    r.error = "cannot create " + dir + ": " + r.error;
    return r;
  }
  const std::string old = ReadFileBytes(r.where).value_or("");
  const std::string text = UpdateConfText(old, {{"ZTKKora1", dataDir}, {"AppPath", programDir}});
  r.customPathDataDir = ConfValue(text, "CustomPathDataDir");
  r.ok = WriteFileAtomic(r.where, text, &r.error);
  return r;
}

namespace {
void OnCloseSignal(int) { closeRequested = true; }
}  // namespace

void InstallCloseHandlers() {
  struct sigaction action {};
  action.sa_handler = OnCloseSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

void RemoveCloseHandlers() {
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGHUP, SIG_DFL);
}

#endif

bool CloseRequested() { return closeRequested; }
void RequestClose() { closeRequested = true; }

void SleepUnlessClosing(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!closeRequested) {
    const auto left = end - std::chrono::steady_clock::now();
    if (left <= std::chrono::milliseconds(0)) break;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
  }
}

}  // namespace dorvane::kkora1
