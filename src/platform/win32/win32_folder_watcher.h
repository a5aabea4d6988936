#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/folder_watcher.h"

namespace dorvane {

// Folder changes from ReadDirectoryChangesW, one overlapped read per folder.
// A folder whose watch fails (removed, a share that gives no notifications)
// is reported lost and left to the timer until the next Watch().
class Win32FolderWatcher : public FolderWatcher {
 public:
  Win32FolderWatcher();
  ~Win32FolderWatcher() override;
  Win32FolderWatcher(const Win32FolderWatcher&) = delete;
  Win32FolderWatcher& operator=(const Win32FolderWatcher&) = delete;

  bool Watch(const std::vector<std::string>& dirs) override;
  std::vector<FolderChange> TakeChanges() override;

 private:
  struct Folder;
  void CloseAll();
  std::vector<std::unique_ptr<Folder>> folders_;
};

}  // namespace dorvane
