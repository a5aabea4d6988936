#include "platform/sim/faulty_filesystem.h"

#include "text/paths.h"

namespace dorvane {

int FaultyFileSystem::FolderFault(const std::string& path) const {
  const auto it = folderFaults_.find(DirName(path));
  return it == folderFaults_.end() ? 0 : it->second;
}

Status FaultyFileSystem::Fault(const std::string& a, const std::string& b) {
  ++count_;
  if (crashAt_ > 0 && count_ == crashAt_) throw SimulatedCrash{};
  if (failAt_ > 0 && count_ == failAt_) return Status::Of(failError_);
  for (const std::string* p : {&a, &b}) {
    auto it = pathFaults_.find(*p);
    if (it != pathFaults_.end() && it->second.tries > 0) {
      --it->second.tries;
      return Status::Of(it->second.error);
    }
  }
  return Status::Ok();
}

Status FaultyFileSystem::PartialWrite(const std::string& path, const std::string& bytes, bool append) {
  std::string half = bytes.substr(0, bytes.size() / 2);
  if (append) {
    inner_.Append(path, half);
  } else {
    inner_.WriteAll(path, half);
  }
  return Status::Of(kErrDiskFull);
}

Status FaultyFileSystem::Flush(const std::string& path) {
  if (Status st = Fault(path); !st) return st;
  return inner_.Flush(path);
}

Status FaultyFileSystem::FlushFolder(const std::string& dir) {
  if (Status st = Fault(dir); !st) return st;
  return inner_.FlushFolder(dir);
}

Status FaultyFileSystem::ListLinks(const std::string& dir, std::vector<std::string>& names) {
  if (Status st = Fault(dir); !st) return st;
  return inner_.ListLinks(dir, names);
}

Status FaultyFileSystem::ListFiles(const std::string& dir, std::vector<std::string>& names) {
  if (Status st = Fault(dir); !st) return st;
  if (auto it = folderFaults_.find(dir); it != folderFaults_.end() && it->second != 0 && it->second != kErrDiskFull)
    return Status::Of(it->second);
  return inner_.ListFiles(dir, names);
}

Status FaultyFileSystem::CreationTime(const std::string& path, LocalDateTime& when) {
  if (Status st = Fault(path); !st) return st;
  return inner_.CreationTime(path, when);
}

Status FaultyFileSystem::ReadAll(const std::string& path, std::string& bytes) {
  if (Status st = Fault(path); !st) return st;
  return inner_.ReadAll(path, bytes);
}

Status FaultyFileSystem::ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes,
                                  std::uint64_t& size) {
  if (Status st = Fault(path); !st) return st;
  return inner_.ReadTail(path, maxBytes, bytes, size);
}

Status FaultyFileSystem::WriteAll(const std::string& path, const std::string& bytes) {
  if (Status st = Fault(path); !st) return st;
  if (diskFull_ || FolderFault(path) == kErrDiskFull) return PartialWrite(path, bytes, false);
  if (int error = FolderFault(path)) return Status::Of(error);
  return inner_.WriteAll(path, bytes);
}

Status FaultyFileSystem::Append(const std::string& path, const std::string& bytes) {
  if (Status st = Fault(path); !st) return st;
  if (diskFull_ || FolderFault(path) == kErrDiskFull) return PartialWrite(path, bytes, true);
  if (int error = FolderFault(path)) return Status::Of(error);
  return inner_.Append(path, bytes);
}

Status FaultyFileSystem::Copy(const std::string& from, const std::string& to) {
  if (Status st = Fault(from, to); !st) return st;
  if (int error = FolderFault(to); error != 0 && error != kErrDiskFull) return Status::Of(error);
  if (diskFull_ || FolderFault(to) == kErrDiskFull) {
    std::string bytes;
    if (Status st = inner_.ReadAll(from, bytes); !st) return st;
    return PartialWrite(to, bytes, false);
  }
  return inner_.Copy(from, to);
}

Status FaultyFileSystem::Remove(const std::string& path) {
  if (Status st = Fault(path); !st) return st;
  return inner_.Remove(path);
}

Status FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (Status st = Fault(from, to); !st) return st;
  if (int error = FolderFault(to); error != 0 && error != kErrDiskFull) return Status::Of(error);
  return inner_.Rename(from, to);
}

}  // namespace dorvane
