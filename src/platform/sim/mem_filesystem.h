// An in-memory file system for tests, with creation times and listing order
// under the test's control, and a model of what a power cut loses: the
// port's writes, renames and removals are durable only once flushed, while
// Put and Erase (other programs, the test itself) are durable at once.
#pragma once

#include <functional>
#include <map>
#include <set>

#include "platform/filesystem.h"

namespace dorvane {

class MemFileSystem : public FileSystem {
 public:
  // Creation times of new files come from the clock, when one is given.
  explicit MemFileSystem(Clock* clock = nullptr) : clock_(clock) {}

  bool Exists(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  Status MakeDir(const std::string& path) override;
  Status ListFiles(const std::string& dir, std::vector<std::string>& names) override;
  Status CreationTime(const std::string& path, LocalDateTime& when) override;
  Status ReadAll(const std::string& path, std::string& bytes) override;
  Status WriteAll(const std::string& path, const std::string& bytes) override;
  Status Append(const std::string& path, const std::string& bytes) override;
  Status Copy(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  bool HeldByWriter(const std::string& path) override { return held_.count(path) != 0; }
  Status Flush(const std::string& path) override;
  Status FlushFolder(const std::string& dir) override;
  Status ListLinks(const std::string& dir, std::vector<std::string>& names) override;
  bool IsLink(const std::string& path) override { return links_.count(path) != 0; }

  // Test set-up and inspection.
  void AddDir(const std::string& path);
  // The folder is gone (its files stay, out of reach, until it comes back).
  void RemoveDir(const std::string& path) { dirs_.erase(path); }
  void Put(const std::string& path, const std::string& bytes);
  void Erase(const std::string& path);
  // A symbolic link: listed by ListLinks only, never read.
  void PutLink(const std::string& path) { links_.insert(path); }
  // The power goes: whatever was not flushed is lost.
  void PowerCut();
  void SetCreationTime(const std::string& path, const LocalDateTime& when);
  void SetHidden(const std::string& path, bool hidden);
  // A writer still holds the file open.
  void SetHeld(const std::string& path, bool held) {
    if (held) {
      held_.insert(path);
    } else {
      held_.erase(path);
    }
  }
  // Files are listed in creation order unless a test reverses that.
  void SetListReversed(bool reversed) { reversed_ = reversed; }
  std::string Content(const std::string& path) const;  // empty when missing
  bool Has(const std::string& path) const { return files_.count(path) != 0; }
  std::vector<std::string> FilesIn(const std::string& dir) const;
  // Called with the path of every file written, created or renamed in.
  std::function<void(const std::string&)> onChange;
  // Called with the path of every file removed or renamed away.
  std::function<void(const std::string&)> onRemove;

 private:
  struct File {
    std::string bytes;
    LocalDateTime created;
    std::uint64_t seq = 0;
    bool hidden = false;
    std::string flushed;  // the bytes that are on disk
  };
  Status CheckParent(const std::string& path) const;
  void Changed(const std::string& path) {
    if (onChange) onChange(path);
  }
  void Removed(const std::string& path) {
    if (onRemove) onRemove(path);
  }

  Clock* clock_;
  std::map<std::string, File> files_;
  std::map<std::string, File> disk_;  // what survives a power cut
  std::set<std::string> links_;
  std::set<std::string> dirs_;
  std::set<std::string> held_;
  std::uint64_t nextSeq_ = 0;
  bool reversed_ = false;
};

}  // namespace dorvane
