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

  // Creates the folder (its parent exists); ok when it already is one.
  virtual Status MakeDir(const std::string& path) = 0;

  // Makes the file's bytes durable: on disk, whatever happens to the power.
  virtual Status Flush(const std::string& /*path*/) { return Status::Ok(); }
  // Makes the folder's entries durable: files created, renamed or removed in it.
  virtual Status FlushFolder(const std::string& /*dir*/) { return Status::Ok(); }

  // Names of the symbolic links (and other reparse points) in dir. They are
  // never listed as files: a receipt is never read through a link.
  virtual Status ListLinks(const std::string& /*dir*/, std::vector<std::string>& names) {
    names.clear();
    return Status::Ok();
  }
  virtual bool IsLink(const std::string& /*path*/) { return false; }
  // Both listings at once; where the system allows, in one pass over the folder.
  virtual Status ListFilesAndLinks(const std::string& dir, std::vector<std::string>& files,
                                   std::vector<std::string>& links) {
    ListLinks(dir, links);
    return ListFiles(dir, files);
  }

  // The file is still being written by the program that produced it.
  virtual bool HeldByWriter(const std::string& /*path*/) { return false; }

  // The last maxBytes bytes of the file (all of it when it is shorter) and
  // its whole size: the end of a file too large to read whole. The default
  // reads the whole file.
  virtual Status ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& size);
};

// Replaces the file so that after a crash it holds either its old or its new
// bytes: a temporary file beside it, flushed, renamed over it, folder flushed.
Status WriteDurably(FileSystem& fs, const std::string& path, const std::string& bytes);

// Writes a file other programs wait for: whole under a work name beside it
// (path + kPlacingSuffix), flushed, then renamed into place. A failure leaves
// nothing under the final name that was not there before, and no work file.
inline constexpr const char* kPlacingSuffix = ".dorvtmp";
Status PlaceDurably(FileSystem& fs, const std::string& path, const std::string& bytes);
// The name is one of those work names: never anyone's receipt.
bool IsPlacingName(const std::string& name);

// Reads the whole file as lines (CR LF or CR ends a line).
Status ReadLines(FileSystem& fs, const std::string& path, std::vector<std::string>& lines);
// First line of the file; empty when the file is empty.
Status ReadFirstLine(FileSystem& fs, const std::string& path, std::string& line);

}  // namespace dorvane
