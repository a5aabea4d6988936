#include "platform/posix/inotify_watcher.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "text/paths.h"

namespace dorvane {

InotifyWatcher::InotifyWatcher() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

InotifyWatcher::~InotifyWatcher() {
  if (fd_ >= 0) ::close(fd_);
}

bool InotifyWatcher::Watch(const std::vector<std::string>& dirs) {
  if (fd_ < 0) return false;
  for (const auto& [wd, dir] : dirs_) ::inotify_rm_watch(fd_, wd);
  dirs_.clear();
  TakeChanges();  // what the old folders reported no longer matters
  bool all = true;
  for (const std::string& dir : dirs) {
    if (dir.empty()) continue;
    // A file counts once complete: closed after writing, or renamed in.
    const int wd = ::inotify_add_watch(fd_, dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
    if (wd < 0) {
      all = false;
      continue;
    }
    dirs_[wd] = dir;
  }
  return all;
}

std::vector<std::string> InotifyWatcher::TakeChanges() {
  std::vector<std::string> paths;
  if (fd_ < 0) return paths;
  alignas(struct inotify_event) char buf[8192];
  for (;;) {
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EAGAIN: nothing more
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const struct inotify_event*>(buf + at);
      at += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
      auto dir = dirs_.find(e->wd);
      if (dir == dirs_.end()) continue;
      if (e->mask & IN_IGNORED) {
        dirs_.erase(dir);  // the folder went away
      } else if (e->len > 0 && !(e->mask & IN_ISDIR)) {
        paths.push_back(JoinPath(dir->second, e->name));
      }
    }
  }
  return paths;
}

bool InotifyWatcher::Wait(int ms) {
  if (fd_ < 0) return false;
  struct pollfd p {fd_, POLLIN, 0};
  ::poll(&p, 1, ms < 0 ? 0 : ms);  // a signal ends the wait early, as it should
  return true;
}

}  // namespace dorvane
