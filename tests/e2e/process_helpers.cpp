#include "e2e/process_helpers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace dorvane::e2e {

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::string tmpl = (fs::temp_directory_path() / "dorvane-e2e-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
}

TempTree::~TempTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void TempTree::MakeDir(const std::string& relative) const { fs::create_directories(Path(relative)); }

void TempTree::Write(const std::string& relative, const std::string& bytes) const {
  std::ofstream out(Path(relative), std::ios::binary);
  out << bytes;
}

std::string TempTree::Read(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempTree::Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outputFile) {
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    int devnull = ::open("/dev/null", O_RDONLY);
    if (devnull >= 0) ::dup2(devnull, 0);
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

Child::~Child() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void Child::Signal(int sig) const { ::kill(pid_, sig); }

bool Child::Running() {
  if (reaped_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    reaped_ = true;
    status_ = status;
    return false;
  }
  return true;
}

int Child::Wait(int timeoutMs) {
  if (!WaitFor(timeoutMs, [&] { return !Running(); })) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    reaped_ = true;
    return -1;
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

bool WaitFor(int timeoutMs, const std::function<bool()>& cond) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace dorvane::e2e
