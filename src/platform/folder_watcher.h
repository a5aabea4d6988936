// The folder-watch port: which files appeared in, or were written into, the
// folders the cycle waits on, so that it can run at once instead of at its
// next timer tick.
#pragma once

#include <string>
#include <vector>

namespace dorvane {

class FolderWatcher {
 public:
  virtual ~FolderWatcher() = default;
  // Watches exactly these folders from now on (empty entries are skipped).
  // False when one of them cannot be watched: the timer alone serves it.
  virtual bool Watch(const std::vector<std::string>& dirs) = 0;
  // Full paths (watched folder + separator + name) of the files created,
  // renamed in, or written and closed since the last call. Never blocks.
  virtual std::vector<std::string> TakeChanges() = 0;
  // Blocks for up to ms, returning early when a change is waiting. False
  // when this watcher cannot wait (the caller sleeps on its clock instead).
  virtual bool Wait(int /*ms*/) { return false; }
};

// Watches nothing: the cycle runs on its timer alone.
class NoFolderWatcher : public FolderWatcher {
 public:
  bool Watch(const std::vector<std::string>&) override { return false; }
  std::vector<std::string> TakeChanges() override { return {}; }
};

}  // namespace dorvane
