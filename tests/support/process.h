// The real programs as processes (POSIX): a child with its own environment
// additions, and an installation folder tree for dorvane and kkora1.
#pragma once

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"

namespace dorvane::test {

// stdout and stderr go to outputFile; killed at the end if still running.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outputFile);
  ~Child();
  int Pid() const { return pid_; }
  void Signal(int sig) const;
  // Waits up to timeoutMs; the exit code, or -1 on timeout (the child is then killed).
  int Wait(int timeoutMs);
  bool Running();

 private:
  int pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
};

// app/ (DORVANE_HOME), data/ (XDG_DATA_HOME, KORA1's data in data/ZTKKORA1),
// config/, run/ under a temporary folder.
struct Installation {
  Installation();
  std::vector<std::string> Env() const;
  // DORVCONF.txt: port 1, "*.001", log on, the given folders (KORA1's data
  // folder when empty), the cycle interval, then any further lines.
  void Configure(const std::string& interval, const std::string& in = "", const std::string& out = "",
                 const std::string& err = "", const std::vector<std::string>& more = {}) const;
  std::string Log() const { return tree.Read("data/ZTKKORA1/DORVLOG.txt"); }
  TempDir tree;
};

// Reads DORVANE's status file every 10 ms until Stop(), as a management
// program polling it would: counts the reads that found a partial file, and
// keeps the state words it saw.
class StatusPoller {
 public:
  explicit StatusPoller(std::string path);
  ~StatusPoller() { Stop(); }
  void Stop();
  int reads = 0, partial = 0;
  std::set<std::string> words;

 private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace dorvane::test
