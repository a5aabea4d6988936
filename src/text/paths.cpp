#include "text/paths.h"

#include "text/text.h"

namespace dorvane {

namespace {
std::size_t LastSep(std::string_view path) { return path.find_last_of("\\/"); }
}  // namespace

std::string BaseName(std::string_view path) {
  std::size_t at = LastSep(path);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string DirName(std::string_view path) {
  std::size_t at = LastSep(path);
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at));
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  // Iterative wildcard match with one backtrack point: linear in practice and
  // never recursive, whatever the pattern.
  std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || UpperAnsi(pattern[p]) == UpperAnsi(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  // "*.*" also matches a name without a dot, as on the system's file lookups.
  if (p < pattern.size() && pattern.substr(p) == ".*") p = pattern.size();
  return p == pattern.size();
}

}  // namespace dorvane
