#include "platform/win32/win32_folder_watcher.h"

#include <windows.h>

#include "text/paths.h"

namespace dorvane {

struct Win32FolderWatcher::Folder {
  std::string path;
  HANDLE dir = INVALID_HANDLE_VALUE;
  HANDLE event = nullptr;
  OVERLAPPED ov{};
  bool pending = false;
  alignas(DWORD) BYTE buf[16384];

  bool Arm() {
    ZeroMemory(&ov, sizeof ov);
    ov.hEvent = event;
    // Names that appear or change, and writes: a file still being written
    // shows as a sharing violation when it is copied, and is retried.
    pending = ::ReadDirectoryChangesW(dir, buf, sizeof buf, FALSE,
                                      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                                          FILE_NOTIFY_CHANGE_SIZE,
                                      nullptr, &ov, nullptr) != 0;
    return pending;
  }

  ~Folder() {
    if (pending) {
      DWORD n = 0;
      ::CancelIo(dir);
      ::GetOverlappedResult(dir, &ov, &n, TRUE);  // the buffer is ours again
    }
    if (dir != INVALID_HANDLE_VALUE) ::CloseHandle(dir);
    if (event) ::CloseHandle(event);
  }
};

Win32FolderWatcher::Win32FolderWatcher() = default;

Win32FolderWatcher::~Win32FolderWatcher() { CloseAll(); }

void Win32FolderWatcher::CloseAll() { folders_.clear(); }

bool Win32FolderWatcher::Watch(const std::vector<std::string>& dirs) {
  CloseAll();
  bool all = true;
  for (const std::string& path : dirs) {
    if (path.empty()) continue;
    auto f = std::make_unique<Folder>();
    f->path = path;
    f->dir = ::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    f->event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (f->dir == INVALID_HANDLE_VALUE || !f->event || !f->Arm()) {
      all = false;
      continue;
    }
    folders_.push_back(std::move(f));
  }
  return all;
}

std::vector<FolderChange> Win32FolderWatcher::TakeChanges() {
  using Kind = FolderChange::Kind;
  std::vector<FolderChange> changes;
  for (auto& f : folders_) {
    if (!f->pending) continue;
    DWORD n = 0;
    if (!::GetOverlappedResult(f->dir, &f->ov, &n, FALSE)) {
      if (::GetLastError() == ERROR_IO_INCOMPLETE) continue;
      f->pending = false;  // the folder went away
      changes.push_back({Kind::kLost, f->path});
      continue;
    }
    // n == 0: more changes than the buffer held.
    if (n == 0) changes.push_back({Kind::kLost, f->path});
    for (DWORD at = 0; n > 0;) {
      const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(f->buf + at);
      const int chars = static_cast<int>(info->FileNameLength / sizeof(WCHAR));
      const int len = ::WideCharToMultiByte(CP_ACP, 0, info->FileName, chars, nullptr, 0, nullptr, nullptr);
      std::string name(static_cast<std::size_t>(len), '\0');
      ::WideCharToMultiByte(CP_ACP, 0, info->FileName, chars, name.data(), len, nullptr, nullptr);
      const bool gone = info->Action == FILE_ACTION_REMOVED || info->Action == FILE_ACTION_RENAMED_OLD_NAME;
      changes.push_back({gone ? Kind::kRemoved : Kind::kWritten, JoinPath(f->path, name)});
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
    if (!f->Arm()) changes.push_back({Kind::kLost, f->path});
  }
  return changes;
}

}  // namespace dorvane
