// The real programs on a scratch tree, for the engine's end-to-end figures:
// kkora1 printing at once, and dorvane with the shop's folders.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/folder_watcher.h"

namespace dorvane::bench {

// Waits for a change to `path` among the watcher's; false after `seconds`.
bool AwaitChange(FolderWatcher& watcher, const std::string& path, double seconds);
// Polls cond every 2 ms until it holds or `seconds` pass.
bool WaitUntil(double seconds, const std::function<bool()>& cond);

class RealShop {
 public:
  // interval: the timer field as DORVCONF.txt holds it ("2" seconds, "100" ms).
  explicit RealShop(const std::string& interval, const Place& place = Places().front());
  ~RealShop();  // both programs are stopped
  RealShop(const RealShop&) = delete;
  RealShop& operator=(const RealShop&) = delete;

  // kkora1 answering at once (5 ms polls); true once it is ready.
  bool StartKora1();
  // dorvane --headless with these environment additions.
  bool StartDorvane(const std::vector<std::string>& env, bool exitWhenDone = false);
  void StopDorvane();
  pid_t Dorvane() const { return dorvane_; }

  std::string File(const std::string& relative) const { return tree_.File(relative); }
  // The files in out/ ending in ".OUT".
  int Outputs() const;

 private:
  TempDir tree_;
  std::vector<std::string> env_;
  pid_t kora1_ = -1, dorvane_ = -1;
};

}  // namespace dorvane::bench
