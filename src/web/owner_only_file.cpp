#include "web/owner_only_file.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/filesystem.h"
#include "text/paths.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <vector>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace dorvane::web {

namespace {

std::atomic<unsigned> g_tempCounter{0};

#ifdef _WIN32

unsigned long ProcessNumber() { return ::GetCurrentProcessId(); }

std::string WinError(const std::string& what, const std::string& path, DWORD code) {
  return what + " " + path + ": errore di Windows " + std::to_string(code);
}

// The TOKEN_USER of this process: its SID is the owner the file is kept for.
bool CurrentUser(std::vector<unsigned char>& buffer) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  buffer.assign(size, 0);
  const bool ok = size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  ::CloseHandle(token);
  return ok;
}

PSID UserSid(std::vector<unsigned char>& buffer) { return reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid; }

bool WriteHandle(HANDLE h, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

bool WriteAndReplace(const std::string& path, const std::string& bytes, bool ownerOnly, std::string& error) {
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof sa;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (ownerOnly) {
    std::vector<unsigned char> user;
    char* sidText = nullptr;
    if (!CurrentUser(user) || !::ConvertSidToStringSidA(UserSid(user), &sidText)) {
      error = WinError("utente corrente sconosciuto per", path, ::GetLastError());
      return false;
    }
    // Protected: nothing inherited from the folder widens it.
    const std::string sddl = std::string("D:P(A;;FA;;;") + sidText + ")";
    ::LocalFree(sidText);
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) {
      error = WinError("permessi non preparati per", path, ::GetLastError());
      return false;
    }
    sa.lpSecurityDescriptor = sd;
  }
  const std::string temp =
      path + "-" + std::to_string(ProcessNumber()) + "-" + std::to_string(g_tempCounter++) + kPlacingSuffix;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 2 && h == INVALID_HANDLE_VALUE; ++attempt) {
    h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, ownerOnly ? &sa : nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
    // Left by a process of the same number that died while writing.
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) ::DeleteFileA(temp.c_str());
  }
  const DWORD createError = ::GetLastError();
  if (sd) ::LocalFree(sd);
  if (h == INVALID_HANDLE_VALUE) {
    error = WinError("impossibile creare", temp, createError);
    return false;
  }
  const bool written = WriteHandle(h, bytes) && ::FlushFileBuffers(h);
  const DWORD writeError = ::GetLastError();
  ::CloseHandle(h);
  if (!written) {
    ::DeleteFileA(temp.c_str());
    error = WinError("impossibile scrivere", temp, writeError);
    return false;
  }
  // A reader (the door, an antivirus) holding the old file makes the
  // replacement fail for a moment: try again for about two seconds.
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = ::GetLastError();
    if (attempt >= 40 || (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)) {
      ::DeleteFileA(temp.c_str());
      error = WinError("impossibile sostituire", path, code);
      return false;
    }
    ::Sleep(50);
  }
}

#else

unsigned long ProcessNumber() { return static_cast<unsigned long>(::getpid()); }

std::string ErrnoText(const std::string& what, const std::string& path, int code) {
  return what + " " + path + ": " + std::strerror(code);
}

bool WriteAndReplace(const std::string& path, const std::string& bytes, bool ownerOnly, std::string& error) {
  const std::string temp =
      path + "-" + std::to_string(ProcessNumber()) + "-" + std::to_string(g_tempCounter++) + kPlacingSuffix;
  const mode_t mode = ownerOnly ? 0600 : 0666;
  int fd = -1;
  for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    // Left by a process of the same number that died while writing.
    if (fd < 0 && errno == EEXIST) ::unlink(temp.c_str());
  }
  if (fd < 0) {
    error = ErrnoText("impossibile creare", temp, errno);
    return false;
  }
  // The mode given to open only ever loses bits to the umask; this makes sure.
  bool ok = !ownerOnly || ::fchmod(fd, 0600) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  const int writeError = errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    ::unlink(temp.c_str());
    error = ErrnoText("impossibile scrivere", temp, writeError);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    error = ErrnoText("impossibile sostituire", path, code);
    return false;
  }
  // The rename itself survives a power cut only once the folder is flushed.
  std::string dir = DirName(path);
  if (dir.empty()) dir = ".";
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

#endif

}  // namespace

bool WriteOwnerOnly(const std::string& path, const std::string& bytes, std::string& error) {
  return WriteAndReplace(path, bytes, true, error);
}

bool WriteReplacing(const std::string& path, const std::string& bytes, std::string& error) {
  return WriteAndReplace(path, bytes, false, error);
}

#ifdef _WIN32

bool OwnerOnly(const std::string& path) {
  std::vector<unsigned char> user;
  if (!CurrentUser(user)) return false;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &sd) != ERROR_SUCCESS)
    return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  bool ok = dacl != nullptr && dacl->AceCount > 0 && ::GetSecurityDescriptorControl(sd, &control, &revision) &&
            (control & SE_DACL_PROTECTED);
  for (DWORD i = 0; ok && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ok = ::GetAce(dacl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
         ::EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, UserSid(user));
  }
  ::LocalFree(sd);
  return ok;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, bool& exists, std::string& error) {
  bytes.clear();
  exists = false;
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    error = WinError("impossibile leggere", path, code);
    return false;
  }
  exists = true;
  char buffer[16384];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      error = WinError("impossibile leggere", path, ::GetLastError());
      ::CloseHandle(h);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  ::CloseHandle(h);
  return true;
}

#else

bool OwnerOnly(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) == 0;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, bool& exists, std::string& error) {
  bytes.clear();
  exists = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;
    error = ErrnoText("impossibile leggere", path, errno);
    return false;
  }
  exists = true;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = ErrnoText("impossibile leggere", path, errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

#endif

}  // namespace dorvane::web
