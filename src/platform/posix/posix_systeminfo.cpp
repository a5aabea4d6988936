#include "platform/posix/posix_systeminfo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/posix_filesystem.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string HomeDir() {
  std::string home = Env("HOME");
  return home.empty() ? "/tmp" : home;
}

std::string StripTrailingSep(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The single-instance guard's lock file: one instance per user.
std::string LockPath() {
  const std::string dir = Env("XDG_RUNTIME_DIR");
  return dir.empty() ? "/tmp/dorvane-" + std::to_string(::getuid()) + ".lock" : StripTrailingSep(dir) + "/dorvane.lock";
}

// Where a second start asks the running instance to show its window.
bool ShowAddress(sockaddr_un& addr) {
  const std::string path = LockPath() + ".show";
  if (path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  path.copy(addr.sun_path, path.size());
  return true;
}

std::string ExecutableDirectory() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = '\0';
  return DirName(buf);
}

}  // namespace

PosixSystemInfo::PosixSystemInfo(std::vector<std::string> args) : args_(std::move(args)) {}

PosixSystemInfo::~PosixSystemInfo() {
  if (showFd_ >= 0) ::close(showFd_);
  if (lockFd_ >= 0) ::close(lockFd_);
}

std::string PosixSystemInfo::Kora1ConfPath() {
  std::string base = Env("XDG_CONFIG_HOME");
  if (base.empty()) base = HomeDir() + "/.config";
  return StripTrailingSep(base) + "/ZTK Engineering/ZTKKora1.conf";
}

bool PosixSystemInfo::QueryKora1Value(const std::string& valueName, std::string& result) {
  PosixFileSystem fs;
  std::string bytes;
  if (!fs.ReadAll(Kora1ConfPath(), bytes)) return false;
  // The file may have been written by hand with LF line ends.
  std::string line;
  std::size_t pos = 0;
  while (pos <= bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    line = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    std::size_t eq = line.find('=');
    // Value names ignore letter case, as the registry's do.
    if (eq != std::string::npos && EqualsNoCase(Trim(line.substr(0, eq)), valueName)) {
      result = line.substr(eq + 1);
      return true;
    }
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return false;
}

std::string PosixSystemInfo::CommonAppData() {
  std::string base = Env("XDG_DATA_HOME");
  if (base.empty()) base = HomeDir() + "/.local/share";
  return StripTrailingSep(base);
}

std::string PosixSystemInfo::OwnDirectory() {
  std::string home = Env("DORVANE_HOME");
  if (!home.empty()) return StripTrailingSep(home);
  return ExecutableDirectory();
}

std::string PosixSystemInfo::InstalledDocDirectory() {
  return DirName(ExecutableDirectory()) + "/share/doc/dorvane";
}

std::string PosixSystemInfo::CommandLine() {
  std::string line;
  for (std::size_t i = 1; i < args_.size(); ++i) {
    if (i > 1) line += ' ';
    line += args_[i];
  }
  return line;
}

bool PosixSystemInfo::AcquireSingleInstance() {
  if (lockFd_ >= 0) return true;
  // One instance per user, as the Windows session-wide mutex gives.
  const std::string path = LockPath();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // no place for a lock: better to run than to refuse
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  // The guard is ours: so is the socket beside it, whatever an earlier run left.
  sockaddr_un addr{};
  if (ShowAddress(addr)) {
    ::unlink(addr.sun_path);
    showFd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (showFd_ >= 0 && ::bind(showFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(showFd_);
      showFd_ = -1;
    }
  }
  return true;
}

void PosixSystemInfo::AskRunningInstanceToShow() {
  sockaddr_un addr{};
  if (!ShowAddress(addr)) return;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  ::sendto(fd, "SHOW", 4, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::close(fd);
}

bool PosixSystemInfo::TakeShowRequest() {
  if (showFd_ < 0) return false;
  bool asked = false;
  char buf[16];
  while (::recv(showFd_, buf, sizeof buf, MSG_DONTWAIT) >= 0) asked = true;
  return asked;
}

std::int64_t PosixSystemInfo::ProcessId() { return ::getpid(); }

}  // namespace dorvane
