#pragma once

#include "platform/filesystem.h"

namespace dorvane {

// The real file system on POSIX. Hidden means a name starting with ".".
class PosixFileSystem : public FileSystem {
 public:
  // askKernel false: the writer test goes by age alone.
  explicit PosixFileSystem(bool askKernel = true) : askKernel_(askKernel) {}

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
  Status Flush(const std::string& path) override;
  Status FlushFolder(const std::string& dir) override;
  Status ListLinks(const std::string& dir, std::vector<std::string>& names) override;
  Status ListFilesAndLinks(const std::string& dir, std::vector<std::string>& files,
                           std::vector<std::string>& links) override;
  bool IsLink(const std::string& path) override;
  // Nothing stops a copy of a file still being written here, so the kernel
  // is asked whether a writer has it open; where it will not say, a file
  // written within the last second counts as held by its writer.
  bool HeldByWriter(const std::string& path) override;
  Status ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& size) override;

 private:
  bool askKernel_;
};

// Maps an errno value onto the run-time error numbering.
Status StatusFromErrno(int err);

}  // namespace dorvane
