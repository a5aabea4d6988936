#include "platform/win32/win32_filesystem.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

#include "text/paths.h"

namespace dorvane {

Status StatusFromWin32Error(unsigned long code) {
  switch (code) {
    case ERROR_SUCCESS: return Status::Ok();
    case ERROR_FILE_NOT_FOUND: return Status::Of(kErrFileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY: return Status::Of(kErrPathNotFound);
    // A file held open by another program, the case worth retrying.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return Status::Of(kErrPermissionDenied);
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Status::Of(kErrPathFileAccess);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Status::Of(kErrDiskFull);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return Status::Of(kErrBadFileName);
    default:
      return Status::Error(kErrDeviceIo, ErrorDescription(kErrDeviceIo) + " (Windows " + std::to_string(code) + ")");
  }
}

namespace {

// Reparse points (symbolic links, junctions) are never files of ours.
constexpr DWORD kNotFound =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

Status LastError() { return StatusFromWin32Error(::GetLastError()); }

// Opens for writing; share-read so a reader polling the file is not refused.
Status OpenForWrite(const std::string& path, DWORD access, DWORD disposition, HANDLE& h) {
  if (path.empty()) return Status::Of(kErrBadFileName);
  h = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? LastError() : Status::Ok();
}

Status WriteHandle(HANDLE h, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(h, bytes.data() + done, chunk, &written, nullptr)) return LastError();
    done += written;
  }
  return Status::Ok();
}

Status WriteAndClose(HANDLE h, const std::string& bytes) {
  Status st = WriteHandle(h, bytes);
  if (!::CloseHandle(h) && st) st = LastError();
  return st;
}

// Names of the entries of dir whose attributes pass the test.
template <typename Test>
Status ListEntries(const std::string& dir, std::vector<std::string>& names, Test test) {
  names.clear();
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA(JoinPath(dir, "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = ::GetLastError();
    // An empty directory has no entries at all on some file systems.
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES) {
      DWORD attrs = ::GetFileAttributesA(dir.c_str());
      return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) ? Status::Ok()
                                                                                   : Status::Of(kErrPathNotFound);
    }
    return StatusFromWin32Error(err);
  }
  do {
    if (test(data.dwFileAttributes)) names.push_back(data.cFileName);
  } while (::FindNextFileA(h, &data));
  DWORD err = ::GetLastError();
  ::FindClose(h);
  return err == ERROR_NO_MORE_FILES ? Status::Ok() : StatusFromWin32Error(err);
}

}  // namespace

bool Win32FileSystem::Exists(const std::string& path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA(path.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    found = (data.dwFileAttributes & kNotFound) == 0;
  } while (!found && ::FindNextFileA(h, &data));
  ::FindClose(h);
  return found;
}

bool Win32FileSystem::IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  DWORD attrs = ::GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Status Win32FileSystem::MakeDir(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr) || IsDirectory(path)) return Status::Ok();
  return LastError();
}

Status Win32FileSystem::ListFiles(const std::string& dir, std::vector<std::string>& names) {
  return ListEntries(dir, names, [](DWORD attrs) { return (attrs & kNotFound) == 0; });
}

Status Win32FileSystem::CreationTime(const std::string& path, LocalDateTime& when) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return LastError();
  // Converted with the time-zone rule in force on that date, not today's.
  SYSTEMTIME utc, local;
  if (!::FileTimeToSystemTime(&data.ftCreationTime, &utc)) return LastError();
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return LastError();
  when = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  return Status::Ok();
}

Status Win32FileSystem::ReadAll(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return Status::Of(kErrBadFileName);
  // The reparse point itself is opened, never its target, and refused.
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::CloseHandle(h);
    return Status::Of(kErrPathFileAccess);
  }
  char buf[65536];
  Status st;
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      st = LastError();
      break;
    }
    if (n == 0) break;
    bytes.append(buf, n);
  }
  ::CloseHandle(h);
  return st;
}

Status Win32FileSystem::ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes,
                                 std::uint64_t& size) {
  bytes.clear();
  size = 0;
  if (path.empty()) return Status::Of(kErrBadFileName);
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  LARGE_INTEGER total{};
  if (!::GetFileSizeEx(h, &total)) {
    Status st = LastError();
    ::CloseHandle(h);
    return st;
  }
  size = static_cast<std::uint64_t>(total.QuadPart);
  const std::uint64_t want = size < maxBytes ? size : maxBytes;
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(size - want);
  Status st;
  if (!::SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) st = LastError();
  bytes.resize(static_cast<std::size_t>(want));
  std::size_t done = 0;
  while (st && done < bytes.size()) {
    DWORD n = 0;
    if (!::ReadFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr)) {
      st = LastError();
    } else if (n == 0) {
      st = Status::Of(kErrInputPastEnd);
    }
    done += n;
  }
  bytes.resize(done);
  ::CloseHandle(h);
  return st;
}

Status Win32FileSystem::WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE h;
  Status st = OpenForWrite(path, GENERIC_WRITE, CREATE_ALWAYS, h);
  return st ? WriteAndClose(h, bytes) : st;
}

Status Win32FileSystem::Append(const std::string& path, const std::string& bytes) {
  HANDLE h;
  Status st = OpenForWrite(path, FILE_APPEND_DATA, OPEN_ALWAYS, h);
  return st ? WriteAndClose(h, bytes) : st;
}

Status Win32FileSystem::Copy(const std::string& from, const std::string& to) {
  // Read as ReadAll reads: a link is refused by the one open that reads it.
  std::string bytes;
  Status st = ReadAll(from, bytes);
  return st ? WriteAll(to, bytes) : st;
}

Status Win32FileSystem::Remove(const std::string& path) {
  if (path.empty()) return Status::Of(kErrBadFileName);
  return ::DeleteFileA(path.c_str()) ? Status::Ok() : LastError();
}

Status Win32FileSystem::Rename(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return Status::Of(kErrBadFileName);
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? Status::Ok()
                                                                                                     : LastError();
}

Status Win32FileSystem::Flush(const std::string& path) {
  if (path.empty()) return Status::Of(kErrBadFileName);
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  Status st = ::FlushFileBuffers(h) ? Status::Ok() : LastError();
  ::CloseHandle(h);
  return st;
}

bool Win32FileSystem::HeldByWriter(const std::string& path) {
  // Held when it cannot be opened with writers shut out, as a copy opens it.
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  return h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

bool Win32FileSystem::IsLink(const std::string& path) {
  if (path.empty()) return false;
  DWORD attrs = ::GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

Status Win32FileSystem::ListLinks(const std::string& dir, std::vector<std::string>& names) {
  return ListEntries(dir, names, [](DWORD attrs) {
    return (attrs & FILE_ATTRIBUTE_REPARSE_POINT) && !(attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  });
}

}  // namespace dorvane
