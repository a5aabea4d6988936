// The HTTP door's access tokens. A token is "dvw_" and 43 base64url
// characters (32 random bytes); it is shown once when it is made, and only
// its SHA-256 is kept, in DORVWEB-TOKEN.txt in the data folder, readable by
// its owner only. One line a token, CR LF, fields separated by a tab:
//   name  sha256-hex  scopes  origins  created
// e.g. "cassa1<TAB>9f86...<TAB>print,read<TAB>https://till.example:8443<TAB>2026-03-05 10:15:00".
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dorvane::web {

enum Scope : unsigned { kScopePrint = 1, kScopeRead = 2, kScopeAdmin = 4 };
inline constexpr unsigned kAllScopes = kScopePrint | kScopeRead | kScopeAdmin;

inline constexpr const char* kTokenFileName = "DORVWEB-TOKEN.txt";
inline constexpr const char* kTokenPrefix = "dvw_";

struct TokenEntry {
  std::string name, sha256;          // sha256: 64 lower-case hex digits of the whole token
  unsigned scopes = 0;               // Scope bits
  std::vector<std::string> origins;  // normalised, see NormalizeOrigin
  std::string created;               // "YYYY-MM-DD HH:MM:SS"
};

// "print,read" -> bits, words in any letter case; false on an unknown word
// or an empty text.
bool ParseScopes(const std::string& text, unsigned& scopes);
// Bits -> "print,read,admin", in that order.
std::string ScopesText(unsigned scopes);

// An origin as browsers send it: scheme://host[:port], http or https, lower
// case, no path, the scheme's default port left out (browsers never send
// it). "HTTPS://Till.Example:443/" -> "https://till.example". False for
// anything else (a path, a user, "null", another scheme).
bool NormalizeOrigin(const std::string& text, std::string& origin);

// A token name: 1 to 40 of A-Z a-z 0-9 . _ -
bool ValidTokenName(const std::string& name);

// The token file as the door sees it. Thread-safe: the door's threads ask it
// while the console tool may replace the file.
class TokenStore {
 public:
  explicit TokenStore(std::string path);

  // Reads the file again when it changed since the last read (size,
  // modification time, or it appeared or disappeared); a stat otherwise.
  // Lines that cannot be read are skipped; a file that cannot be read
  // counts as no tokens, and is tried again at the next call.
  void Refresh();
  // The entry whose hash is the token's SHA-256, compared in constant time
  // over all entries; nullopt for none. Call Refresh before, for the latest.
  std::optional<TokenEntry> Find(const std::string& token);
  std::vector<TokenEntry> All();
  // Some token lists this origin (the door answers CORS preflights for it).
  bool OriginListed(const std::string& origin);

 private:
  struct Stamp {
    bool exists = false;
    unsigned long long size = 0, modified = 0, id = 0;
    bool operator==(const Stamp&) const = default;
  };

  std::mutex mutex_;
  std::string path_;
  bool read_ = false;
  Stamp stamp_;
  std::vector<TokenEntry> entries_;
};

// The tool's operations on the file (path: the token file), each a whole
// rewrite with WriteOwnerOnly. Create fails when the name is invalid or
// taken (any letter case), when no scope is given or an origin is not one;
// it sets token to the new token, which is nowhere else.
bool CreateToken(const std::string& path, const std::string& name, unsigned scopes,
                 const std::vector<std::string>& origins, const std::string& created, std::string& token,
                 std::string& error);
// Removes the token of that name (any letter case); false with an error when
// there is none.
bool RevokeToken(const std::string& path, const std::string& name, std::string& error);

}  // namespace dorvane::web
