#include "fileio.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace dorvane::kkora1 {

namespace fs = std::filesystem;

std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string result(dir);
  result += kPathSeparator;
  result += name;
  return result;
}

std::string StripTrailingSeparators(std::string path) {
  auto isSep = [](char c) { return c == '/' || c == kPathSeparator; };
  while (path.size() > 1 && isSep(path.back())) {
#ifdef _WIN32
    if (path.size() == 3 && path[1] == ':') break;  // "C:\" stays a root
#endif
    path.pop_back();
  }
  return path;
}

std::string ExchangeName(std::string_view base, int port) {
  std::string name(base);
  name += ".00";
  name += std::to_string(port);
  return name;
}

// Windows paths are in the ANSI code page: they go to the "A" functions and to
// the narrow C runtime untouched. std::filesystem would convert them through
// the C locale instead.
bool FileExists(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  std::error_code ec;
  return fs::is_regular_file(fs::path(path), ec);
#endif
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return std::nullopt;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

bool RenameFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  std::error_code ec;
  fs::rename(fs::path(from), fs::path(to), ec);
  return !ec;
#endif
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error) {
  const std::string temp = path + ".kktmp";
  {
    std::ofstream out(temp.c_str(), std::ios::binary | std::ios::trunc);
    if (!out) {
      if (error) *error = "cannot create " + temp;
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      if (error) *error = "cannot write " + temp;
      out.close();
      RemoveFile(temp);
      return false;
    }
  }
  if (!RenameFile(temp, path)) {
    if (error) *error = "cannot rename " + temp + " to " + path;
    RemoveFile(temp);
    return false;
  }
  return true;
}

bool AppendFile(const std::string& path, std::string_view bytes, std::string* error) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::app);
  if (!out) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& path) {
#ifdef _WIN32
  if (DeleteFileA(path.c_str())) return true;
  const DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
#else
  std::error_code ec;
  fs::remove(fs::path(path), ec);
  return !ec || !FileExists(path);
#endif
}

bool EnsureDirectory(const std::string& path, std::string* error) {
#ifdef _WIN32
  auto isDirectory = [](const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  };
  if (isDirectory(path)) return true;
  // Create each missing level in turn; levels that cannot be created (a drive,
  // a UNC server or share) are passed over and the last check decides.
  for (std::size_t at = path.find_first_of("\\/", 1);; at = path.find_first_of("\\/", at + 1)) {
    const std::string level = path.substr(0, at);
    if (!level.empty() && !isDirectory(level)) CreateDirectoryA(level.c_str(), nullptr);
    if (at == std::string::npos) break;
  }
  if (!isDirectory(path) && error) *error = "CreateDirectoryA failed, code " + std::to_string(GetLastError());
  return isDirectory(path);
#else
  std::error_code ec;
  if (fs::is_directory(fs::path(path), ec)) return true;
  fs::create_directories(fs::path(path), ec);
  if (ec || !fs::is_directory(fs::path(path))) {
    if (error) *error = ec ? ec.message() : "not a directory";
    return false;
  }
  return true;
#endif
}

void Log(std::string_view message) {
  static std::mutex mutex;
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  std::lock_guard<std::mutex> lock(mutex);
  std::fwrite(stamp, 1, std::char_traits<char>::length(stamp), stdout);
  std::fputc(' ', stdout);
  std::fwrite(message.data(), 1, message.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace dorvane::kkora1
