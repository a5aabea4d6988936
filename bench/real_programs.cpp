#include "real_programs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

namespace dorvane::bench {

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& output) {
  std::vector<std::string> environment(env);
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  int status = 0;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, &status, 0);
  pid = -1;
}

}  // namespace

bool AwaitChange(FolderWatcher& watcher, const std::string& path, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    struct pollfd p {watcher.PollFd(), POLLIN, 0};
    ::poll(&p, 1, 5);
    for (const FolderChange& changed : watcher.TakeChanges())
      if (changed.path == path) return true;
  }
  return false;
}

bool WaitUntil(double seconds, const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

RealShop::RealShop(const std::string& interval, const Place& place) : tree_(place) {
  namespace fs = std::filesystem;
  for (const char* dir : {"app", "data/ZTKKORA1", "config", "run", "in", "out", "err"}) fs::create_directories(File(dir));
  env_ = {"DORVANE_HOME=" + File("app"), "XDG_DATA_HOME=" + File("data"), "XDG_CONFIG_HOME=" + File("config"),
          "XDG_RUNTIME_DIR=" + File("run")};
  std::string config;
  for (const std::string& line : {std::string("1"), std::string("*.001"), std::string("  "), File("in"), File("out"),
                                  File("err"), std::string(".OUT"), std::string(" 0 "), std::string(" 0 "),
                                  std::string(".ERR"), interval})
    config += line + "\r\n";
  WriteFile(File("app/DORVCONF.txt"), config);
}

RealShop::~RealShop() {
  Stop(dorvane_);
  Stop(kora1_);
}

bool RealShop::StartKora1() {
  kora1_ = Spawn({KKORA1_EXE, "0", "--dump-ms", "50", "--poll-ms", "5"}, env_, File("kkora1.txt"));
  return kora1_ > 0 && WaitUntil(10, [&] { return std::filesystem::exists(File("data/ZTKKORA1/SR_MATR.001")); });
}

bool RealShop::StartDorvane(const std::vector<std::string>& env, bool exitWhenDone) {
  std::vector<std::string> all(env_);
  all.insert(all.end(), env.begin(), env.end());
  std::vector<std::string> argv{DORVANE_EXE, "--headless"};
  if (exitWhenDone) argv.push_back("--exit-when-done");
  dorvane_ = Spawn(argv, all, File("dorvane.txt"));
  return dorvane_ > 0;
}

void RealShop::StopDorvane() { Stop(dorvane_); }

int RealShop::Outputs() const {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(File("out"))) n += entry.path().extension() == ".OUT";
  return n;
}

}  // namespace dorvane::bench
