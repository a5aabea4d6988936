#include "platform/posix/posix_filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ctime>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

Status StatusFromErrno(int err) {
  switch (err) {
    case 0: return Status::Ok();
    case ENOENT: return Status::Of(kErrFileNotFound);
    case ENOTDIR: return Status::Of(kErrPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS: return Status::Of(kErrPermissionDenied);
    case ENOSPC:
    case EDQUOT: return Status::Of(kErrDiskFull);
    case EISDIR:
    case EBUSY:
    case ETXTBSY: return Status::Of(kErrPathFileAccess);
    case ENAMETOOLONG:
    case EINVAL: return Status::Of(kErrBadFileName);
    default: return Status::Error(kErrDeviceIo, ErrorDescription(kErrDeviceIo) + " (" + std::strerror(err) + ")");
  }
}

namespace {

bool Hidden(const std::string& path) { return StartsWithDot(BaseName(path)); }

Status WriteFd(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return StatusFromErrno(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  return Status::Ok();
}

Status WriteWithFlags(const std::string& path, const std::string& bytes, int flags) {
  if (path.empty()) return Status::Of(kErrBadFileName);
  int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return StatusFromErrno(errno);
  Status st = WriteFd(fd, bytes);
  if (::close(fd) != 0 && st) st = StatusFromErrno(errno);
  return st;
}

LocalDateTime FromTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace

namespace {
// The names in dir, hidden ones left out, that `keep` takes.
Status ListEntries(const std::string& dir, std::vector<std::string>& names,
                   const std::function<bool(const dirent&, const std::string&)>& keep) {
  names.clear();
  DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
  if (!d) return errno == ENOENT ? Status::Of(kErrPathNotFound) : StatusFromErrno(errno);
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (!StartsWithDot(name) && keep(*e, JoinPath(dir, name))) names.push_back(name);
  }
  ::closedir(d);
  return Status::Ok();
}
}  // namespace

bool PosixFileSystem::Exists(const std::string& path) {
  // lstat: a symbolic link is never a file of ours, whatever it points at.
  struct stat st {};
  return !path.empty() && !Hidden(path) && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::IsLink(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

Status PosixFileSystem::ListLinks(const std::string& dir, std::vector<std::string>& names) {
  return ListEntries(dir, names, [&](const dirent& e, const std::string& path) {
    return e.d_type == DT_LNK || (e.d_type == DT_UNKNOWN && IsLink(path));
  });
}

namespace {
Status SyncPath(const std::string& path, int flags) {
  if (path.empty()) return Status::Of(kErrBadFileName);
  // What the flushes cost is measured against a run without them.
  static const bool skip = std::getenv("DORVANE_BENCH_NO_FLUSH") != nullptr;
  if (skip) return Status::Ok();
  int fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
  if (fd < 0) return StatusFromErrno(errno);
  Status st = ::fsync(fd) == 0 ? Status::Ok() : StatusFromErrno(errno);
  ::close(fd);
  return st;
}
}  // namespace

Status PosixFileSystem::Flush(const std::string& path) { return SyncPath(path, O_NOFOLLOW); }

Status PosixFileSystem::FlushFolder(const std::string& dir) { return SyncPath(dir.empty() ? "/" : dir, O_DIRECTORY); }

bool PosixFileSystem::IsDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status PosixFileSystem::MakeDir(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && IsDirectory(path))) return Status::Ok();
  return StatusFromErrno(errno);
}

Status PosixFileSystem::ListFiles(const std::string& dir, std::vector<std::string>& names) {
  // The entry's type spares a stat per file where the file system gives it.
  return ListEntries(dir, names, [&](const dirent& e, const std::string& path) {
    return e.d_type == DT_REG || (e.d_type == DT_UNKNOWN && Exists(path));
  });
}

Status PosixFileSystem::ListFilesAndLinks(const std::string& dir, std::vector<std::string>& files,
                                          std::vector<std::string>& links) {
  links.clear();
  return ListEntries(dir, files, [&](const dirent& e, const std::string& path) {
    const bool unknown = e.d_type == DT_UNKNOWN;
    if (e.d_type == DT_LNK || (unknown && IsLink(path))) links.push_back(e.d_name);
    return e.d_type == DT_REG || (unknown && Exists(path));
  });
}

Status PosixFileSystem::CreationTime(const std::string& path, LocalDateTime& when) {
#ifdef STATX_BTIME
  struct statx sx {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return StatusFromErrno(errno);
  // File systems that keep no birth time get the last write time instead.
  std::time_t t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
  when = FromTime(t);
#else
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return StatusFromErrno(errno);
  when = FromTime(st.st_mtime);
#endif
  return Status::Ok();
}

bool PosixFileSystem::HeldByWriter(const std::string& path) {
  if (askKernel_) {
    // The kernel refuses a read lease while any process has the file open
    // for writing. The lease is given back at once: it is only a question.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
      const int answer = ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0 ? 0 : errno;
      if (answer == 0) ::fcntl(fd, F_SETLEASE, F_UNLCK);
      ::close(fd);
      if (answer == 0) return false;
      if (answer == EAGAIN) return true;
      // Not allowed here (another owner, a network file system): by age.
    }
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const double age = static_cast<double>(now.tv_sec - st.st_mtim.tv_sec) +
                     static_cast<double>(now.tv_nsec - st.st_mtim.tv_nsec) / 1e9;
  // A time in the future (a clock set back) does not hold the file for ever.
  return age > -1.0 && age < 1.0;
}

Status PosixFileSystem::ReadAll(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return Status::Of(kErrBadFileName);
  // O_NOFOLLOW: a link swapped in for a receipt after it was chosen is refused too.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return StatusFromErrno(errno);
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      return StatusFromErrno(err);
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return Status::Ok();
}

Status PosixFileSystem::ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes,
                                 std::uint64_t& size) {
  bytes.clear();
  size = 0;
  if (path.empty()) return Status::Of(kErrBadFileName);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return StatusFromErrno(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    return StatusFromErrno(err);
  }
  size = static_cast<std::uint64_t>(st.st_size);
  const std::uint64_t want = size < maxBytes ? size : maxBytes;
  bytes.resize(static_cast<std::size_t>(want));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(size - want + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : 0;
      ::close(fd);
      bytes.resize(done);
      return n < 0 ? StatusFromErrno(err) : Status::Of(kErrInputPastEnd);
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return Status::Ok();
}

Status PosixFileSystem::WriteAll(const std::string& path, const std::string& bytes) {
  return WriteWithFlags(path, bytes, O_TRUNC);
}

Status PosixFileSystem::Append(const std::string& path, const std::string& bytes) {
  return WriteWithFlags(path, bytes, O_APPEND);
}

Status PosixFileSystem::Copy(const std::string& from, const std::string& to) {
  std::string bytes;
  Status st = ReadAll(from, bytes);
  if (!st) return st;
  return WriteAll(to, bytes);
}

Status PosixFileSystem::Remove(const std::string& path) {
  if (path.empty()) return Status::Of(kErrBadFileName);
  if (::unlink(path.c_str()) != 0) return StatusFromErrno(errno);
  return Status::Ok();
}

Status PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return StatusFromErrno(errno);
  return Status::Ok();
}

}  // namespace dorvane
