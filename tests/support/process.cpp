#include "support/process.h"

#include <chrono>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace dorvane::test {

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outputFile) {
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), in = ::open("/dev/null", O_RDONLY);
    for (auto [from, to] : {std::pair{in, 0}, {out, 1}, {out, 2}}) ::dup2(from, to);
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

Installation::Installation() {
  for (const char* dir : {"app", "data/ZTKKORA1", "config", "run"}) tree.MakeDir(dir);
  Configure("1");
}

std::vector<std::string> Installation::Env() const {
  return {"DORVANE_HOME=" + tree.Path("app"), "XDG_DATA_HOME=" + tree.Path("data"),
          "XDG_CONFIG_HOME=" + tree.Path("config"), "XDG_RUNTIME_DIR=" + tree.Path("run")};
}

void Installation::Configure(const std::string& interval, const std::string& in, const std::string& out,
                             const std::string& err, const std::vector<std::string>& more) const {
  const std::string k1 = tree.Path("data/ZTKKORA1");
  std::vector<std::string> lines{"1",  "*.001", "  ",    in.empty() ? k1 : in, out.empty() ? k1 : out,
                                 err.empty() ? k1 : err, ".OUT", " 0 ", " 1 ", ".ERR", interval, "0"};
  lines.insert(lines.end(), more.begin(), more.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  tree.Write("app/DORVCONF.txt", text);
}

StatusPoller::StatusPoller(std::string path) : path_(std::move(path)) {
  thread_ = std::thread([this] {
    while (!stop_) {
      std::ifstream in(path_, std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (in && !text.empty()) {
        ++reads;
        const std::size_t last = text.find_last_not_of("\r\n");
        if (text.front() != '{' || last == std::string::npos || text[last] != '}') ++partial;
        const std::string key = "\"stato_parola\": \"";
        if (std::size_t at = text.find(key); at != std::string::npos)
          words.insert(text.substr(at + key.size(), text.find('"', at + key.size()) - at - key.size()));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
}

void StatusPoller::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace dorvane::test
