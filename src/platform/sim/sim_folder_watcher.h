// Folder changes of the in-memory file system, as the system would report
// them; or none at all, as where notifications do not work; or some lost,
// as when the system's queue overflows.
#pragma once

#include <algorithm>
#include <utility>

#include "platform/folder_watcher.h"
#include "platform/sim/mem_filesystem.h"
#include "text/paths.h"

namespace dorvane {

class SimFolderWatcher : public FolderWatcher {
 public:
  explicit SimFolderWatcher(MemFileSystem& fs) {
    fs.onChange = [this](const std::string& path) { Report(FolderChange::Kind::kWritten, path); };
    fs.onRemove = [this](const std::string& path) { Report(FolderChange::Kind::kRemoved, path); };
  }
  bool Watch(const std::vector<std::string>& dirs) override {
    dirs_ = dirs;
    return notifying;
  }
  std::vector<FolderChange> TakeChanges() override { return std::exchange(changes_, {}); }

  bool notifying = true;  // false: no notification ever comes
  int dropNext = 0;       // so many changes are lost, then the loss is told

 private:
  void Report(FolderChange::Kind kind, const std::string& path) {
    if (!notifying || std::find(dirs_.begin(), dirs_.end(), DirName(path)) == dirs_.end()) return;
    if (dropNext > 0 && --dropNext == 0) {
      changes_.push_back({FolderChange::Kind::kLost, ""});
    } else if (dropNext == 0) {
      changes_.push_back({kind, path});
    }
  }
  std::vector<std::string> dirs_;
  std::vector<FolderChange> changes_;
};

}  // namespace dorvane
