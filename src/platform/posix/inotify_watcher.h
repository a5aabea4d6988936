#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/folder_watcher.h"

namespace dorvane {

// Folder changes from the kernel (inotify). Each folder is watched by its
// path: one removed and made again, renamed, or mounted over is watched
// again as soon as it is there, and its changes are reported lost.
class InotifyWatcher : public FolderWatcher {
 public:
  InotifyWatcher();
  ~InotifyWatcher() override;
  InotifyWatcher(const InotifyWatcher&) = delete;
  InotifyWatcher& operator=(const InotifyWatcher&) = delete;

  bool Watch(const std::vector<std::string>& dirs) override;
  std::vector<FolderChange> TakeChanges() override;
  int PollFd() const override { return fd_; }

 private:
  struct Dir {
    std::string path;
    int wd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
  };
  bool Add(Dir& d);
  void Drop(Dir& d);
  void ReadEvents(std::vector<FolderChange>& changes);
  // The path names another folder than the one watched (or none): watch it anew.
  void CheckIdentity(Dir& d, std::vector<FolderChange>& changes);

  int fd_ = -1;
  std::vector<Dir> dirs_;
};

}  // namespace dorvane
