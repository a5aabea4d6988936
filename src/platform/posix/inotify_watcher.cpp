#include "platform/posix/inotify_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "text/paths.h"

namespace dorvane {

namespace {
// Files appearing, complete (closed after writing, or renamed in) and going;
// the folder itself going or moving.
constexpr std::uint32_t kMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF |
                                IN_MOVE_SELF | IN_ONLYDIR;
}  // namespace

InotifyWatcher::InotifyWatcher() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

InotifyWatcher::~InotifyWatcher() {
  if (fd_ >= 0) ::close(fd_);
}

bool InotifyWatcher::Add(Dir& d) {
  struct stat st {};
  if (::stat(d.path.c_str(), &st) != 0) return false;
  d.wd = ::inotify_add_watch(fd_, d.path.c_str(), kMask);
  d.dev = st.st_dev;
  d.ino = st.st_ino;
  return d.wd >= 0;
}

void InotifyWatcher::Drop(Dir& d) {
  if (d.wd >= 0) ::inotify_rm_watch(fd_, d.wd);
  d.wd = -1;
}

bool InotifyWatcher::Watch(const std::vector<std::string>& dirs) {
  if (fd_ < 0) return false;
  for (Dir& d : dirs_) Drop(d);
  dirs_.clear();
  std::vector<FolderChange> old;
  ReadEvents(old);  // what the old folders reported no longer matters
  bool all = true;
  for (const std::string& path : dirs) {
    if (path.empty()) continue;
    dirs_.push_back({path});
    all = Add(dirs_.back()) && all;
  }
  return all;
}

void InotifyWatcher::ReadEvents(std::vector<FolderChange>& changes) {
  using Kind = FolderChange::Kind;
  alignas(struct inotify_event) char buf[8192];
  for (;;) {
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EAGAIN: nothing more
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const struct inotify_event*>(buf + at);
      at += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        changes.push_back({Kind::kLost, ""});
        continue;
      }
      Dir* dir = nullptr;
      for (Dir& d : dirs_)
        if (d.wd == e->wd) dir = &d;
      if (!dir) continue;
      if (e->mask & (IN_IGNORED | IN_UNMOUNT | IN_DELETE_SELF | IN_MOVE_SELF)) {
        if (e->mask & IN_IGNORED) dir->wd = -1;  // the kernel dropped the watch
        changes.push_back({Kind::kLost, dir->path});
      } else if (e->len > 0 && !(e->mask & IN_ISDIR)) {
        const Kind kind = (e->mask & (IN_DELETE | IN_MOVED_FROM)) ? Kind::kRemoved
                          : (e->mask & IN_CREATE)                 ? Kind::kCreated
                                                                  : Kind::kWritten;
        changes.push_back({kind, JoinPath(dir->path, e->name)});
      }
    }
  }
}

void InotifyWatcher::CheckIdentity(Dir& d, std::vector<FolderChange>& changes) {
  struct stat st {};
  const bool there = ::stat(d.path.c_str(), &st) == 0;
  if (there && d.wd >= 0 && st.st_dev == d.dev && st.st_ino == d.ino) return;
  if (!there && d.wd < 0) return;  // still gone: told when it went
  Drop(d);
  if (there) Add(d);
  changes.push_back({FolderChange::Kind::kLost, d.path});
}

std::vector<FolderChange> InotifyWatcher::TakeChanges() {
  std::vector<FolderChange> changes;
  if (fd_ < 0) return changes;
  ReadEvents(changes);
  for (Dir& d : dirs_) CheckIdentity(d, changes);
  return changes;
}

}  // namespace dorvane
