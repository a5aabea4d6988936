#pragma once

#include <map>
#include <string>

#include "platform/folder_watcher.h"

namespace dorvane {

// Folder changes from the kernel (inotify). A folder that is deleted stops
// being watched until the next Watch().
class InotifyWatcher : public FolderWatcher {
 public:
  InotifyWatcher();
  ~InotifyWatcher() override;
  InotifyWatcher(const InotifyWatcher&) = delete;
  InotifyWatcher& operator=(const InotifyWatcher&) = delete;

  bool Watch(const std::vector<std::string>& dirs) override;
  std::vector<std::string> TakeChanges() override;
  bool Wait(int ms) override;

 private:
  int fd_ = -1;
  std::map<int, std::string> dirs_;  // watch descriptor -> folder
};

}  // namespace dorvane
