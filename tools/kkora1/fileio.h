// File and log helpers of the print-driver simulator. Files are handled as raw
// bytes: job texts are in the shop's single-byte code page and must reach the
// journal exactly as DORVANE wrote them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dorvane::kkora1 {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Joins by plain concatenation with the platform separator.
std::string JoinPath(std::string_view dir, std::string_view name);

// Drops trailing separators so that paths are held in one form (a root stays).
std::string StripTrailingSeparators(std::string path);

// Exchange-file name for a port: base name + ".00" + port digit.
std::string ExchangeName(std::string_view base, int port);

bool FileExists(const std::string& path);
std::optional<std::string> ReadFileBytes(const std::string& path);

// Writes to a sibling temporary file and renames it over the target, so a
// reader polling the target never sees it half written. The temporary name
// keeps the target's name as a prefix: DORVANE refuses any input file whose
// name contains an exchange-file name, so it cannot take the temporary as a job
// when the data directory doubles as its input directory.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error = nullptr);

bool AppendFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Removes a file; a missing file counts as removed.
bool RemoveFile(const std::string& path);

bool RenameFile(const std::string& from, const std::string& to);

bool EnsureDirectory(const std::string& path, std::string* error = nullptr);

// Timestamped log line on stdout, flushed at once so that a reader of a pipe
// (a test, a supervisor) sees every action as it happens.
void Log(std::string_view message);

}  // namespace dorvane::kkora1
