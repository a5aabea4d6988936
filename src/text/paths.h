// Paths are held without a trailing separator and joined by plain concatenation.
#pragma once

#include <string>
#include <string_view>

namespace dorvane {

#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

// dir + separator + name, with no test of either part.
inline std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string p(dir);
  p += kPathSep;
  p += name;
  return p;
}

// Last component of a path (after the last "\" or "/").
std::string BaseName(std::string_view path);
// Everything before the last separator; empty when there is none.
std::string DirName(std::string_view path);

// Windows file-pattern match of a name: "*" any run, "?" one character,
// letter case ignored.
bool MatchesPattern(std::string_view name, std::string_view pattern);

}  // namespace dorvane
