#include "web/tokens.h"

#include <algorithm>
#include <cstdint>

#include "text/sha256.h"
#include "text/text.h"
#include "web/owner_only_file.h"
#include "web/web_settings.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h: RtlGenRandom (advapi32's SystemFunction036).
#include <ntsecapi.h>
#else
#include <sys/random.h>
#include <sys/stat.h>

#include <cerrno>
#endif

namespace dorvane::web {

namespace {

constexpr struct {
  const char* word;
  unsigned bit;
} kScopeWords[] = {{"print", kScopePrint}, {"read", kScopeRead}, {"admin", kScopeAdmin}};

constexpr std::size_t kNameMax = 40;
constexpr std::size_t kRandomBytes = 32;

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// The file may have been touched by hand: CR LF, CR or LF end a line.
std::vector<std::string> AnyLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    if (!line.empty()) lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool IsLowerHex(const std::string& s) {
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool ParseLine(const std::string& line, TokenEntry& e) {
  const std::vector<std::string> f = Split(line, '\t');
  // More fields than five are a later version's; the first five still count.
  if (f.size() < 5 || !ValidTokenName(f[0]) || f[1].size() != 64 || !IsLowerHex(f[1]) || !ParseScopes(f[2], e.scopes))
    return false;
  e.name = f[0];
  e.sha256 = f[1];
  e.origins.clear();
  for (const std::string& o : Split(f[3], ' ')) {
    std::string origin;
    if (o.empty()) continue;
    if (!NormalizeOrigin(o, origin)) return false;
    e.origins.push_back(origin);
  }
  e.created = f[4];
  return true;
}

std::string NameOfLine(const std::string& line) { return line.substr(0, line.find('\t')); }

bool ReadLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  std::string bytes;
  bool exists = false;
  if (!ReadFileBytes(path, bytes, exists, error)) return false;
  lines = AnyLines(bytes);
  return true;
}

bool RandomBytes(unsigned char* out, std::size_t n) {
#ifdef _WIN32
  return RtlGenRandom(out, static_cast<ULONG>(n));
#else
  while (n > 0) {
    const ssize_t got = ::getrandom(out, n, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
#endif
}

std::string Base64Url(const unsigned char* p, std::size_t n) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = 0; i < n; ++i) {
    acc = (acc << 8) | p[i];
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      out += kDigits[(acc >> bits) & 63];
    }
  }
  if (bits > 0) out += kDigits[(acc << (6 - bits)) & 63];
  return out;
}

}  // namespace

bool ParseScopes(const std::string& text, unsigned& scopes) {
  unsigned bits = 0;
  for (const std::string& item : Split(text, ',')) {
    const std::string word = Lower(Trim(item));
    unsigned bit = 0;
    for (const auto& s : kScopeWords)
      if (word == s.word) bit = s.bit;
    if (bit == 0) return false;
    bits |= bit;
  }
  scopes = bits;
  return true;
}

std::string ScopesText(unsigned scopes) {
  std::string out;
  for (const auto& s : kScopeWords)
    if (scopes & s.bit) out += (out.empty() ? "" : ",") + std::string(s.word);
  return out;
}

bool NormalizeOrigin(const std::string& text, std::string& origin) {
  const std::string t = Lower(text);
  const std::size_t sep = t.find("://");
  if (sep == std::string::npos) return false;
  const std::string scheme = t.substr(0, sep);
  if (scheme != "http" && scheme != "https") return false;
  std::string rest = t.substr(sep + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();  // as typed from an address bar
  const std::size_t close = rest.rfind(']'), colon = rest.rfind(':');
  const bool hasPort = colon != std::string::npos && (close == std::string::npos || colon > close);
  std::string host;
  if (!NormalizeHostName(hasPort ? rest.substr(0, colon) : rest, host)) return false;
  origin = scheme + "://" + host;
  if (hasPort) {
    const std::string port = rest.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    unsigned number = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return false;
      number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number == 0 || number > 65535) return false;
    if (number != (scheme == "https" ? 443u : 80u)) origin += ":" + std::to_string(number);
  }
  return true;
}

bool ValidTokenName(const std::string& name) {
  if (name.empty() || name.size() > kNameMax) return false;
  for (char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
          c == '-'))
      return false;
  return true;
}

TokenStore::TokenStore(std::string path) : path_(std::move(path)) {}

void TokenStore::Refresh() {
  Stamp now;
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (::GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &a)) {
    const auto join = [](DWORD high, DWORD low) { return (static_cast<unsigned long long>(high) << 32) | low; };
    now.exists = true;
    now.size = join(a.nFileSizeHigh, a.nFileSizeLow);
    now.modified = join(a.ftLastWriteTime.dwHighDateTime, a.ftLastWriteTime.dwLowDateTime);
    now.id = join(a.ftCreationTime.dwHighDateTime, a.ftCreationTime.dwLowDateTime);
  }
#else
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    now.exists = true;
    now.size = static_cast<unsigned long long>(st.st_size);
    now.modified = static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull +
                   static_cast<unsigned long long>(st.st_mtim.tv_nsec);
    // Every write renames a new file into place: a new inode, whatever the times say.
    now.id = static_cast<unsigned long long>(st.st_ino);
  }
#endif
  std::lock_guard<std::mutex> lock(mutex_);
  if (read_ && now == stamp_) return;
  std::vector<std::string> lines;
  std::string error;
  std::vector<TokenEntry> entries;
  if (!ReadLines(path_, lines, error)) {
    // Fail closed: a token revoked in a file that cannot be read stays refused.
    entries_.clear();
    read_ = false;
    return;
  }
  for (const std::string& line : lines) {
    TokenEntry e;
    if (ParseLine(line, e)) entries.push_back(std::move(e));
  }
  entries_ = std::move(entries);
  stamp_ = now;
  read_ = true;
}

std::optional<TokenEntry> TokenStore::Find(const std::string& token) {
  const std::string hash = Sha256Hex(token);
  std::lock_guard<std::mutex> lock(mutex_);
  // Every entry is compared whole, so the time taken says nothing of which
  // entry (nor how much of a hash) matched.
  std::size_t found = entries_.size();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    unsigned char diff = 0;
    for (std::size_t k = 0; k < hash.size(); ++k) diff |= static_cast<unsigned char>(hash[k] ^ entries_[i].sha256[k]);
    const std::size_t mask = static_cast<std::size_t>(0) - static_cast<std::size_t>(diff == 0);
    found = (i & mask) | (found & ~mask);
  }
  if (found == entries_.size()) return std::nullopt;
  return entries_[found];
}

std::vector<TokenEntry> TokenStore::All() {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

bool TokenStore::OriginListed(const std::string& origin) {
  std::string o;
  if (!NormalizeOrigin(origin, o)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const TokenEntry& e : entries_)
    for (const std::string& listed : e.origins)
      if (listed == o) return true;
  return false;
}

bool CreateToken(const std::string& path, const std::string& name, unsigned scopes,
                 const std::vector<std::string>& origins, const std::string& created, std::string& token,
                 std::string& error) {
  if (!ValidTokenName(name)) {
    error = "nome non valido: da 1 a 40 caratteri tra A-Z a-z 0-9 . _ -";
    return false;
  }
  if (scopes == 0 || (scopes & ~kAllScopes) != 0) {
    error = "permessi non validi: uno o pi\xF9 tra print, read, admin";
    return false;
  }
  if (created.find_first_of("\t\r\n") != std::string::npos) {
    error = "data di creazione non valida";
    return false;
  }
  std::vector<std::string> normalized;
  std::string originsField;
  for (const std::string& o : origins) {
    std::string origin;
    if (!NormalizeOrigin(o, origin)) {
      error = "origine non valida: " + o + " (serve schema://host[:porta], http o https, senza percorso)";
      return false;
    }
    if (std::find(normalized.begin(), normalized.end(), origin) != normalized.end()) continue;
    normalized.push_back(origin);
    originsField += (originsField.empty() ? "" : " ") + origin;
  }
  std::vector<std::string> lines;
  if (!ReadLines(path, lines, error)) return false;
  for (const std::string& line : lines) {
    if (EqualsNoCase(NameOfLine(line), name)) {
      error = "esiste gi\xE0 un token di nome " + NameOfLine(line);
      return false;
    }
  }
  unsigned char random[kRandomBytes];
  if (!RandomBytes(random, sizeof random)) {
    error = "il sistema non ha dato byte casuali per il token";
    return false;
  }
  const std::string fresh = kTokenPrefix + Base64Url(random, sizeof random);
  lines.push_back(name + "\t" + Sha256Hex(fresh) + "\t" + ScopesText(scopes) + "\t" + originsField + "\t" + created);
  if (!WriteOwnerOnly(path, JoinLines(lines), error)) return false;
  token = fresh;
  return true;
}

bool RevokeToken(const std::string& path, const std::string& name, std::string& error) {
  std::vector<std::string> lines, kept;
  if (!ReadLines(path, lines, error)) return false;
  for (const std::string& line : lines)
    if (!EqualsNoCase(NameOfLine(line), name)) kept.push_back(line);
  if (kept.size() == lines.size()) {
    error = "nessun token di nome " + name;
    return false;
  }
  return WriteOwnerOnly(path, JoinLines(kept), error);
}

}  // namespace dorvane::web
