// Helpers for end-to-end tests: a temporary folder tree and real processes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dorvane::e2e {

// A fresh folder under the system's temporary directory, removed at the end.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  const std::string& Root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  void MakeDir(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;  // empty when missing
  bool Exists(const std::string& relative) const;

 private:
  std::string root_;
};

// A child process with its own environment additions; stdout and stderr go to a file.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outputFile);
  ~Child();
  int Pid() const { return pid_; }
  void Signal(int sig) const;
  // Waits up to timeoutMs; returns the exit code, or -1 on timeout (the child is then killed).
  int Wait(int timeoutMs);
  bool Running();

 private:
  int pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
};

// Polls cond every 20 ms until it holds or timeoutMs passes.
bool WaitFor(int timeoutMs, const std::function<bool()>& cond);

}  // namespace dorvane::e2e
