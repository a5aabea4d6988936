// Wraps a file system and makes chosen operations fail, for crash-style tests.
#pragma once

#include <map>

#include "platform/filesystem.h"

namespace dorvane {

// Thrown when the program is to die at an operation: it unwinds everything,
// as a killed process leaves everything, without its closing steps.
struct SimulatedCrash {};

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

  // Operation number n (1-based, counting every call that returns a Status)
  // fails with the given error; 0 switches it off.
  void FailNth(int n, int error = kErrDeviceIo) {
    failAt_ = n;
    failError_ = error;
  }
  // Operation number n throws SimulatedCrash before it is carried out; 0 switches it off.
  void CrashAt(int n) { crashAt_ = n; }
  // The next `tries` operations on this path fail (a file held by its writer).
  void FailPath(const std::string& path, int tries, int error = kErrPermissionDenied) {
    pathFaults_[path] = {tries, error};
  }
  // While on, writes store only the first half of their bytes and fail.
  void SetDiskFull(bool full) { diskFull_ = full; }
  // Every write, copy or rename into dir, and its listing, fails with error
  // (kErrDiskFull: writes store half their bytes first); 0 ends the fault.
  void SetFolderFault(const std::string& dir, int error) { folderFaults_[dir] = error; }
  int Operations() const { return count_; }
  void ResetCount() { count_ = 0; }

  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  bool IsDirectory(const std::string& path) override { return inner_.IsDirectory(path); }
  Status MakeDir(const std::string& path) override { return inner_.MakeDir(path); }
  Status ListFiles(const std::string& dir, std::vector<std::string>& names) override;
  Status CreationTime(const std::string& path, LocalDateTime& when) override;
  Status ReadAll(const std::string& path, std::string& bytes) override;
  Status WriteAll(const std::string& path, const std::string& bytes) override;
  Status Append(const std::string& path, const std::string& bytes) override;
  Status Copy(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  bool HeldByWriter(const std::string& path) override { return inner_.HeldByWriter(path); }
  Status Flush(const std::string& path) override;
  Status FlushFolder(const std::string& dir) override;
  Status ListLinks(const std::string& dir, std::vector<std::string>& names) override;
  bool IsLink(const std::string& path) override { return inner_.IsLink(path); }
  Status ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& size) override;

 private:
  // The fault due for this operation on these paths, if any.
  Status Fault(const std::string& a, const std::string& b = std::string());
  Status PartialWrite(const std::string& path, const std::string& bytes, bool append);

  FileSystem& inner_;
  int count_ = 0;
  int failAt_ = 0;
  int crashAt_ = 0;
  int failError_ = kErrDeviceIo;
  bool diskFull_ = false;
  struct PathFault {
    int tries;
    int error;
  };
  std::map<std::string, PathFault> pathFaults_;
  std::map<std::string, int> folderFaults_;
  int FolderFault(const std::string& path) const;
};

}  // namespace dorvane
