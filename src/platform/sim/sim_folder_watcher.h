// Folder changes of the in-memory file system, as the system would report
// them; or none at all, as where notifications do not work.
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
    fs.onChange = [this](const std::string& path) {
      if (notifying && std::find(dirs_.begin(), dirs_.end(), DirName(path)) != dirs_.end()) changes_.push_back(path);
    };
  }
  bool Watch(const std::vector<std::string>& dirs) override {
    dirs_ = dirs;
    return notifying;
  }
  std::vector<std::string> TakeChanges() override { return std::exchange(changes_, {}); }

  bool notifying = true;  // false: no notification ever comes

 private:
  std::vector<std::string> dirs_, changes_;
};

}  // namespace dorvane
