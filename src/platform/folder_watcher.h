// The folder-watch port: what happened in the folders the cycle waits on,
// so that it can run at once instead of at its next timer tick, and so that
// the input folder's index stays true without listing the folder.
#pragma once

#include <string>
#include <vector>

namespace dorvane {

struct FolderChange {
  enum class Kind {
    kCreated,  // a file appeared and may still be written
    kWritten,  // a file written and closed, or renamed in
    kRemoved,  // a file deleted or renamed away
    kLost,     // changes were missed (queue overflow, folder gone, replaced or mounted over)
  };
  Kind kind;
  // The file's full path (watched folder + separator + name); for kLost the
  // folder, or "" when every folder lost changes.
  std::string path;
};

class FolderWatcher {
 public:
  virtual ~FolderWatcher() = default;
  // Watches exactly these folders from now on (empty entries are skipped).
  // False when one of them cannot be watched: the timer alone serves it.
  virtual bool Watch(const std::vector<std::string>& dirs) = 0;
  // What happened since the last call. Never blocks.
  virtual std::vector<FolderChange> TakeChanges() = 0;
  // A descriptor a loop can poll for readability when changes wait; -1: none.
  virtual int PollFd() const { return -1; }
};

// Watches nothing: the cycle runs on its timer alone.
class NoFolderWatcher : public FolderWatcher {
 public:
  bool Watch(const std::vector<std::string>&) override { return false; }
  std::vector<FolderChange> TakeChanges() override { return {}; }
};

}  // namespace dorvane
