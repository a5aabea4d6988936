#include "platform/sim/mem_filesystem.h"

#include <algorithm>

#include "text/paths.h"

namespace dorvane {

Status MemFileSystem::CheckParent(const std::string& path) const {
  if (path.empty()) return Status::Of(kErrBadFileName);
  if (dirs_.count(path)) return Status::Of(kErrPathFileAccess);
  std::string parent = DirName(path);
  if (!parent.empty() && !dirs_.count(parent)) return Status::Of(kErrPathNotFound);
  return Status::Ok();
}

bool MemFileSystem::Exists(const std::string& path) {
  auto it = files_.find(path);
  return it != files_.end() && !it->second.hidden;
}

bool MemFileSystem::IsDirectory(const std::string& path) { return dirs_.count(path) != 0; }

std::vector<std::string> MemFileSystem::FilesIn(const std::string& dir) const {
  std::vector<std::pair<std::uint64_t, std::string>> found;
  for (const auto& [path, file] : files_)
    if (DirName(path) == dir && !file.hidden) found.emplace_back(file.seq, BaseName(path));
  std::sort(found.begin(), found.end());
  if (reversed_) std::reverse(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(f.second);
  return names;
}

Status MemFileSystem::ListLinks(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  for (const std::string& link : links_)
    if (DirName(link) == dir) names.push_back(BaseName(link));
  return Status::Ok();
}

Status MemFileSystem::Flush(const std::string& path) {
  auto it = files_.find(path);
  if (it == files_.end()) return Status::Of(kErrFileNotFound);
  it->second.flushed = it->second.bytes;
  if (auto d = disk_.find(path); d != disk_.end()) d->second.bytes = it->second.bytes;
  return Status::Ok();
}

Status MemFileSystem::FlushFolder(const std::string& dir) {
  if (!dirs_.count(dir)) return Status::Of(kErrPathNotFound);
  for (auto it = disk_.begin(); it != disk_.end();)
    it = DirName(it->first) == dir && !files_.count(it->first) ? disk_.erase(it) : std::next(it);
  for (const auto& [path, file] : files_) {
    if (DirName(path) != dir) continue;
    File& d = disk_[path] = file;
    d.bytes = file.flushed;
  }
  return Status::Ok();
}

void MemFileSystem::PowerCut() {
  files_ = disk_;
  for (auto& [path, file] : files_) file.flushed = file.bytes;
  held_.clear();
}

Status MemFileSystem::ListFiles(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  if (!dirs_.count(dir)) return Status::Of(kErrPathNotFound);
  names = FilesIn(dir);
  return Status::Ok();
}

Status MemFileSystem::CreationTime(const std::string& path, LocalDateTime& when) {
  auto it = files_.find(path);
  if (it == files_.end()) return Status::Of(kErrFileNotFound);
  when = it->second.created;
  return Status::Ok();
}

Status MemFileSystem::ReadAll(const std::string& path, std::string& bytes) {
  bytes.clear();
  auto it = files_.find(path);
  if (it == files_.end()) return Status::Of(dirs_.count(DirName(path)) ? kErrFileNotFound : kErrPathNotFound);
  bytes = it->second.bytes;
  return Status::Ok();
}

Status MemFileSystem::WriteAll(const std::string& path, const std::string& bytes) {
  if (Status st = CheckParent(path); !st) return st;
  auto it = files_.find(path);
  if (it != files_.end()) {
    it->second.bytes = bytes;
    Changed(path);
  } else {
    File f;
    f.bytes = bytes;
    f.seq = nextSeq_++;
    if (clock_) f.created = clock_->Now();
    files_[path] = f;
    Changed(path);
  }
  return Status::Ok();
}

Status MemFileSystem::Append(const std::string& path, const std::string& bytes) {
  if (Status st = CheckParent(path); !st) return st;
  auto it = files_.find(path);
  if (it == files_.end()) return WriteAll(path, bytes);
  it->second.bytes += bytes;
  Changed(path);
  return Status::Ok();
}

Status MemFileSystem::Copy(const std::string& from, const std::string& to) {
  std::string bytes;
  if (Status st = ReadAll(from, bytes); !st) return st;
  return WriteAll(to, bytes);
}

Status MemFileSystem::Remove(const std::string& path) {
  if (!files_.erase(path)) return Status::Of(kErrFileNotFound);
  Removed(path);
  return Status::Ok();
}

Status MemFileSystem::Rename(const std::string& from, const std::string& to) {
  auto it = files_.find(from);
  if (it == files_.end()) return Status::Of(kErrFileNotFound);
  if (Status st = CheckParent(to); !st) return st;
  File f = it->second;
  files_.erase(it);
  Removed(from);
  files_[to] = f;
  Changed(to);
  return Status::Ok();
}

void MemFileSystem::AddDir(const std::string& path) { dirs_.insert(path); }

Status MemFileSystem::MakeDir(const std::string& path) {
  if (!dirs_.count(DirName(path))) return Status::Of(kErrPathNotFound);
  dirs_.insert(path);
  return Status::Ok();
}

void MemFileSystem::Put(const std::string& path, const std::string& bytes) {
  File f;
  f.bytes = f.flushed = bytes;
  f.seq = nextSeq_++;
  if (clock_) f.created = clock_->Now();
  disk_[path] = files_[path] = f;
  Changed(path);
}

void MemFileSystem::Erase(const std::string& path) {
  files_.erase(path);
  disk_.erase(path);
  Removed(path);
}

void MemFileSystem::SetCreationTime(const std::string& path, const LocalDateTime& when) {
  files_[path].created = when;
  Changed(path);
  if (auto d = disk_.find(path); d != disk_.end()) d->second.created = when;
}

void MemFileSystem::SetHidden(const std::string& path, bool hidden) { files_[path].hidden = hidden; }

std::string MemFileSystem::Content(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? std::string() : it->second.bytes;
}

}  // namespace dorvane
