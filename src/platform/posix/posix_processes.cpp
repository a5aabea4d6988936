#include "platform/posix/posix_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

std::vector<std::int32_t> PosixProcesses::EnumerateIds() {
  std::vector<std::int32_t> ids;
  DIR* d = ::opendir("/proc");
  if (!d) return ids;
  while (dirent* e = ::readdir(d)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (end && *end == '\0' && pid > 0) ids.push_back(static_cast<std::int32_t>(pid));
  }
  ::closedir(d);
  return ids;
}

ProcessModule PosixProcesses::ReadModule(std::int32_t pid) {
  ProcessModule m;
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char buf[4096];
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n < 0) {
    // Kernel threads, other users' processes and vanished ones: the codes
    // for "access denied" and "invalid parameter", which are never shown.
    m.openError = errno == ENOENT ? 87 : 5;
    return m;
  }
  buf[n] = '\0';
  std::string path = buf;
  const std::string deleted = " (deleted)";
  if (EndsWith(path, deleted)) path.resize(path.size() - deleted.size());
  m.fileName = path;
  m.name = BaseName(path);
  if (!EndsWith(UpperAnsi(m.name), ".EXE")) m.name += ".exe";
  return m;
}

std::string PosixProcesses::ErrorText(int code) { return std::strerror(code); }

bool PosixProcesses::AskToClose(std::int32_t pid) { return pid > 0 && ::kill(pid, SIGTERM) == 0; }

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// In a child about to run a program: standard streams to /dev/null, so that
// nothing started from here holds our output open.
void DetachStandardStreams() {
  int devnull = ::open("/dev/null", O_RDWR);
  if (devnull >= 0) {
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::dup2(devnull, 2);
    if (devnull > 2) ::close(devnull);
  }
}

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

void Reap(pid_t child, int& status) {
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

ssize_t ReadRetrying(int fd, void* buf, std::size_t size) {
  ssize_t n;
  while ((n = ::read(fd, buf, size)) < 0 && errno == EINTR) {
  }
  return n;
}

// Starts argv detached from this process (its own session, no shared
// terminal or pipes), so it outlives us and never holds our output open.
// False when the program could not be started at all (missing, not
// executable): a pipe closed by a successful exec carries exec's errno back.
bool SpawnDetached(const std::vector<std::string>& args) {
  const std::vector<char*> argv = Argv(args);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    DetachStandardStreams();
    ::execvp(argv[0], argv.data());
    int err = errno;
    (void)!::write(report[1], &err, sizeof err);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  Reap(child, status);
  bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  int execErr = 0;
  ssize_t n = ReadRetrying(report[0], &execErr, sizeof execErr);
  ::close(report[0]);
  return forked && n == 0;
}

// A followed start: the program's wait status comes through a pipe, read
// without waiting.
class PosixOpening : public ShellOpening {
 public:
  explicit PosixOpening(int fd) : fd_(fd) {}
  ~PosixOpening() override { Close(); }
  PosixOpening(const PosixOpening&) = delete;
  PosixOpening& operator=(const PosixOpening&) = delete;

  State Poll() override {
    if (fd_ < 0) return state_;
    int status = 0;
    ssize_t n = ReadRetrying(fd_, &status, sizeof status);
    if (n < 0 && errno == EAGAIN) return State::Running;
    // Exit status 0 is success; anything else, or a watcher gone without a
    // word, is a failure.
    const bool ok = n == static_cast<ssize_t>(sizeof status) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    state_ = ok ? State::Succeeded : State::Failed;
    Close();
    return state_;
  }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_;
  State state_ = State::Failed;
};

// The watcher's pipe end, as a fixed descriptor.
constexpr int kReportFd = 3;

// Starts argv detached, as SpawnDetached does, under a watcher that waits
// for it and writes its wait status into a pipe. The first child ends at
// once and is reaped here; the watcher, an orphan, is reaped by init and
// reaps the program: no process of ours is left for anyone to wait for, and
// the program is never ended by us. The watcher keeps no descriptor of ours
// but its pipe: a lock held by it would outlive this program.
std::unique_ptr<ShellOpening> SpawnFollowed(const std::vector<std::string>& args) {
  const std::vector<char*> argv = Argv(args);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return std::make_unique<ShellOpened>(false);
  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return std::make_unique<ShellOpened>(false);
  }
  if (child == 0) {
    ::setsid();
    pid_t watcher = ::fork();
    if (watcher != 0) ::_exit(watcher < 0 ? 1 : 0);
    if (report[1] != kReportFd && ::dup2(report[1], kReportFd) < 0) ::_exit(1);
    ::fcntl(kReportFd, F_SETFD, FD_CLOEXEC);
    DetachStandardStreams();
    if (::close_range(kReportFd + 1, ~0U, 0) != 0) {
      for (long fd = kReportFd + 1, last = ::sysconf(_SC_OPEN_MAX); fd < last; ++fd) ::close(static_cast<int>(fd));
    }
    pid_t program = ::fork();
    if (program == 0) {
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    // A follower gone (the pipe's reader closed) must not end the watcher
    // before it has reaped the program.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    int status = 127 << 8;  // as a program that could not be started
    if (program > 0) Reap(program, status);
    (void)!::write(kReportFd, &status, sizeof status);
    ::_exit(0);
  }
  ::close(report[1]);
  int status = 0;
  Reap(child, status);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    ::close(report[0]);
    return std::make_unique<ShellOpened>(false);
  }
  ::fcntl(report[0], F_SETFL, O_NONBLOCK);
  return std::make_unique<PosixOpening>(report[0]);
}

// "name.exe" that does not exist is looked for as "name".
std::string ProgramPath(const std::string& file) {
  if (!IsExecutableFile(file) && EndsWith(UpperAnsi(file), ".EXE")) {
    std::string bare = file.substr(0, file.size() - 4);
    if (IsExecutableFile(bare)) return bare;
  }
  return file;
}

}  // namespace

bool PosixProcesses::ProgramExists(const std::string& path) { return IsExecutableFile(ProgramPath(path)); }

bool PosixProcesses::ShellOpen(const std::string& file, const std::string& params, int /*show*/) {
  std::string program = ProgramPath(file);
  if (IsExecutableFile(program)) {
    std::vector<std::string> args{program};
    if (!params.empty()) args.push_back(params);
    return SpawnDetached(args);
  }
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return false;
  return SpawnDetached({"xdg-open", file});
}

std::unique_ptr<ShellOpening> PosixProcesses::ShellOpenFollowed(const std::string& file, const std::string& params,
                                                                int show) {
  struct stat st {};
  if (IsExecutableFile(ProgramPath(file)) || ::stat(file.c_str(), &st) != 0)
    return std::make_unique<ShellOpened>(ShellOpen(file, params, show));
  return SpawnFollowed({"xdg-open", file});
}

}  // namespace dorvane
