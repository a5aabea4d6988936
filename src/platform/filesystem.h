// The file-system port: everything the core does with files goes through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"
#include "platform/clock.h"

namespace dorvane {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // A directory lookup of the path finds a normal file (hidden and system
  // files, and directories, are not found). Empty path: false.
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;

  // Names (no directory) of the normal, non-hidden files in dir, in the
  // order the system lists them.
  virtual Status ListFiles(const std::string& dir, std::vector<std::string>& names) = 0;
  virtual Status CreationTime(const std::string& path, LocalDateTime& when) = 0;

  virtual Status ReadAll(const std::string& path, std::string& bytes) = 0;
  // Creates or replaces the file with exactly these bytes.
  virtual Status WriteAll(const std::string& path, const std::string& bytes) = 0;
  // Appends, creating the file when missing.
  virtual Status Append(const std::string& path, const std::string& bytes) = 0;
  // Byte copy, replacing the target.
  virtual Status Copy(const std::string& from, const std::string& to) = 0;
  virtual Status Remove(const std::string& path) = 0;
  // Replaces `to` with `from` in one step (both in the same directory).
  virtual Status Rename(const std::string& from, const std::string& to) = 0;

  // The file is still being written by the program that produced it. Where
  // the system locks such a file, copying it fails instead and this is false.
  virtual bool HeldByWriter(const std::string& /*path*/) { return false; }
};

// Reads the whole file as lines (CR LF or CR ends a line).
Status ReadLines(FileSystem& fs, const std::string& path, std::vector<std::string>& lines);
// First line of the file; empty when the file is empty.
Status ReadFirstLine(FileSystem& fs, const std::string& path, std::string& line);

}  // namespace dorvane
