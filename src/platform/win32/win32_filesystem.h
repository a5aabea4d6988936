#pragma once

#include "platform/filesystem.h"

namespace dorvane {

// The real file system on Windows, through the ANSI calls: names are bytes in
// the system code page and are never converted. Hidden and system files are
// not found and not listed, as a directory lookup does not show them.
class Win32FileSystem : public FileSystem {
 public:
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
  // NTFS journals its folders: a rename written through is durable, so
  // FlushFolder keeps the port's default.
  Status Flush(const std::string& path) override;
  Status ListLinks(const std::string& dir, std::vector<std::string>& names) override;
  bool IsLink(const std::string& path) override;
  // Another program has the file open for writing (or for itself alone).
  bool HeldByWriter(const std::string& path) override;
  Status ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& size) override;
};

// Maps a Windows error code (GetLastError) onto the run-time error numbering.
Status StatusFromWin32Error(unsigned long code);

}  // namespace dorvane
