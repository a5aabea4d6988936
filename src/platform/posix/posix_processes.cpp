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

// Starts argv detached from this process (its own session, no shared
// terminal or pipes), so it outlives us and never holds our output open.
// False when the program could not be started at all (missing, not
// executable): a pipe closed by a successful exec carries exec's errno back.
bool SpawnDetached(const std::vector<std::string>& args) {
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
    int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
    }
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    int err = errno;
    (void)!::write(report[1], &err, sizeof err);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  int execErr = 0;
  ssize_t n;
  while ((n = ::read(report[0], &execErr, sizeof execErr)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return forked && n == 0;
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

}  // namespace dorvane
