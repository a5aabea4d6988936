// dorvane-web: the tokens and the settings of DORVANE's local HTTP door, on
// the command line. It only writes DORVWEB-TOKEN.txt and DORVWEB.txt, each
// replaced whole, so it can run while DORVANE does.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system_clock.h"
#include "text/paths.h"
#include "text/text.h"
#include "web/owner_only_file.h"
#include "web/tokens.h"
#include "web/web_settings.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_systeminfo.h"
using NativeSystemInfo = dorvane::Win32SystemInfo;
#else
#include <sys/stat.h>

#include "platform/posix/posix_systeminfo.h"
using NativeSystemInfo = dorvane::PosixSystemInfo;
#endif

namespace {

using namespace dorvane;
using namespace dorvane::web;

constexpr int kDone = 0, kNotFound = 1, kFailed = 2;

constexpr const char* kUsage =
    "usage: dorvane-web token new NAME --scopes SCOPES [--origin ORIGIN]... [--dir DIR]\n"
    "       dorvane-web token list [--dir DIR]\n"
    "       dorvane-web token revoke NAME [--dir DIR]\n"
    "       dorvane-web config [--port N | --off] [--network yes|no] [--host NAME]... [--no-hosts]\n"
    "                          [--rate N] [--dir DIR]\n"
    "       dorvane-web --help | --version\n";

constexpr const char* kHelp =
    "Manages DORVANE's local HTTP door: the tokens a program must send to use it\n"
    "(DORVWEB-TOKEN.txt) and its settings (DORVWEB.txt), both in DORVANE's data\n"
    "folder. DORVANE may be running meanwhile.\n"
    "\n"
    "  token new NAME     makes a token named NAME (1 to 40 of A-Z a-z 0-9 . _ -)\n"
    "                     and prints it once on standard output. Only its SHA-256\n"
    "                     is kept: it cannot be shown again, only revoked and made\n"
    "                     anew. The token file is readable by its owner only: run\n"
    "                     this as the user DORVANE runs as.\n"
    "      --scopes SCOPES   what the token allows, comma separated (required):\n"
    "                        print  hand receipts to DORVANE for printing\n"
    "                        read   read the state of jobs and of the printer\n"
    "                        admin  everything the door offers for administration\n"
    "      --origin ORIGIN   a web page allowed to use the token from a browser,\n"
    "                        as scheme://host[:port], e.g. https://till.example:8443;\n"
    "                        may be repeated. Without it the token serves programs\n"
    "                        that are not browsers only.\n"
    "  token list         the tokens: name, scopes, creation time, origins (never\n"
    "                     the tokens themselves nor their hashes).\n"
    "  token revoke NAME  removes the token NAME; DORVANE refuses it from then on,\n"
    "                     without a restart.\n"
    "  config             with no option, prints the settings. The options change\n"
    "                     them and write DORVWEB.txt; DORVANE reads it at its next\n"
    "                     start.\n"
    "      --port N          the TCP port the door listens on (1-65535)\n"
    "      --off             no port: the door is closed (the default)\n"
    "      --network no      listen on this PC only, 127.0.0.1 and ::1 (the default)\n"
    "      --network yes     listen on the shop's network as well: every PC of the\n"
    "                        network can reach the door, with a token\n"
    "      --host NAME       one more host name requests may be addressed to (for\n"
    "                        example the PC's name on the network); may be repeated\n"
    "      --no-hosts        forgets the host names given before\n"
    "      --rate N          requests a token may make a minute (1-100000, 600 by\n"
    "                        default)\n"
    "\n"
    "  --dir DIR  the folder of the two files. By default DORVANE's data folder, or\n"
    "             KORA1's when DORVANE's does not exist, as DORVANE chooses:\n"
#ifdef _WIN32
    "             C:\\ProgramData\\ZTKDORVANE, else C:\\ProgramData\\ZTKKORA1.\n"
#else
    "             $XDG_DATA_HOME/ZTKDORVANE (~/.local/share/ZTKDORVANE), else\n"
    "             $XDG_DATA_HOME/ZTKKORA1.\n"
#endif
    "\n"
    "Exit status: 0 done, 1 no token of that name, 2 wrong arguments or a file\n"
    "that cannot be read or written.\n";

// Out in UTF-8. The library's messages are Windows-1252, like the rest of the
// program's, and so are arguments on Windows; a Linux path is UTF-8 already.
void Say(std::FILE* to, const std::string& text) {
#ifdef _WIN32
  std::fputs(Cp1252ToUtf8(text).c_str(), to);
#else
  std::fputs((IsValidUtf8(text) ? text : Cp1252ToUtf8(text)).c_str(), to);
#endif
}

int Usage(const std::string& problem) {
  Say(stderr, "dorvane-web: " + problem + "\n");
  std::fputs(kUsage, stderr);
  return kFailed;
}

int Failed(const std::string& problem) {
  Say(stderr, "dorvane-web: " + problem + "\n");
  return kFailed;
}

bool IsDirectory(const std::string& path) {
#ifdef _WIN32
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

// DORVANE's data folder, else KORA1's: where DORVANE looks for the door's files.
std::string DataFolder() {
  NativeSystemInfo system({});
  const std::string common = system.CommonAppData();
  const std::string own = JoinPath(common, "ZTKDORVANE");
  return IsDirectory(own) ? own : JoinPath(common, "ZTKKORA1");
}

bool ParseNumber(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoi(text);
  return value >= low && value <= high;
}

std::string Pad(std::string s, std::size_t width) {
  s.resize(std::max(s.size(), width), ' ');
  return s;
}

int ListTokens(const std::string& path) {
  std::string bytes, error;
  bool exists = false;
  if (!ReadFileBytes(path, bytes, exists, error)) return Failed(error);
  if (exists && !OwnerOnly(path))
    Say(stderr, "dorvane-web: warning: " + path +
                    " can be read by other users than its owner; it is made owner-only "
                    "again at the next token new or revoke\n");
  TokenStore store(path);
  store.Refresh();
  const std::vector<TokenEntry> all = store.All();
  if (all.empty()) {
    Say(stderr, "dorvane-web: no tokens in " + path + "\n");
    return kDone;
  }
  std::size_t nameWidth = 4, scopesWidth = 6;
  for (const TokenEntry& e : all) {
    nameWidth = std::max(nameWidth, e.name.size());
    scopesWidth = std::max(scopesWidth, ScopesText(e.scopes).size());
  }
  std::printf("%s  %s  %-19s  %s\n", Pad("NAME", nameWidth).c_str(), Pad("SCOPES", scopesWidth).c_str(), "CREATED",
              "ORIGINS");
  for (const TokenEntry& e : all) {
    std::string origins;
    for (const std::string& o : e.origins) origins += (origins.empty() ? "" : " ") + o;
    std::printf("%s  %s  %-19s  %s\n", Pad(e.name, nameWidth).c_str(), Pad(ScopesText(e.scopes), scopesWidth).c_str(),
                e.created.c_str(), origins.empty() ? "-" : origins.c_str());
  }
  return kDone;
}

void PrintSettings(const std::string& dir, const WebSettings& s) {
  std::string hosts;
  for (const std::string& h : s.hosts) hosts += (hosts.empty() ? "" : ",") + h;
  const std::string port = s.port > 0 ? std::to_string(s.port) : "";
  std::printf("%s\n", JoinPath(dir, kWebSettingsFileName).c_str());
  std::printf("  %s  %s\n", Pad("Porta=" + port, 26).c_str(),
              s.port > 0 ? ("the door listens on TCP port " + port).c_str() : "no port: the door is off");
  std::printf("  %s  %s\n", Pad(std::string("Rete=") + (s.network ? "1" : "0"), 26).c_str(),
              s.network ? "on the shop's network: every PC of it can reach the door, with a token"
                        : "on this PC only (127.0.0.1 and ::1)");
  std::printf("  %s  %s\n", Pad("NomiHost=" + hosts, 26).c_str(), "more host names requests may be addressed to");
  std::printf("  %s  %s\n", Pad("RichiesteAlMinuto=" + std::to_string(s.ratePerMinute), 26).c_str(),
              "requests a token may make a minute");
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR) ::SetConsoleOutputCP(CP_UTF8);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(kHelp, stdout);
      return kDone;
    }
    if (a == "--version") {
      std::printf("dorvane-web %d.%d.%d\n", DORVANE_VERSION_MAJOR, DORVANE_VERSION_MINOR, DORVANE_VERSION_REVISION);
      return kDone;
    }
  }
  if (args.empty()) return Usage("a command is needed");
  std::string command = args[0];
  std::size_t first = 1;
  if (command == "token") {
    if (args.size() < 2) return Usage("token needs new, list or revoke");
    command = args[1];
    if (command != "new" && command != "list" && command != "revoke") return Usage("unknown command token " + command);
    first = 2;
  } else if (command != "config") {
    return Usage("unknown command " + command);
  }

  std::string dir, name, scopesText, rate, network, port;
  std::vector<std::string> origins, hosts;
  bool off = false, noHosts = false, changes = false;
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    bool ok = true;
    std::string one;
    if (a == "--dir") {
      ok = value(dir);
    } else if (command == "new" && a == "--scopes") {
      ok = value(scopesText);
    } else if (command == "new" && a == "--origin") {
      ok = value(one);
      origins.push_back(one);
    } else if (command == "config" && a == "--port") {
      ok = changes = value(port);
    } else if (command == "config" && a == "--off") {
      off = changes = true;
    } else if (command == "config" && a == "--network") {
      ok = changes = value(network);
    } else if (command == "config" && a == "--host") {
      ok = changes = value(one);
      hosts.push_back(one);
    } else if (command == "config" && a == "--no-hosts") {
      noHosts = changes = true;
    } else if (command == "config" && a == "--rate") {
      ok = changes = value(rate);
    } else if ((command == "new" || command == "revoke") && name.empty() && !a.empty() && a[0] != '-') {
      name = a;
    } else {
      return Usage("unexpected argument " + a);
    }
    if (!ok) return Usage(a + " needs a value");
  }
  if ((command == "new" || command == "revoke") && name.empty()) return Usage("token " + command + " needs a NAME");
  if (dir.empty()) dir = DataFolder();
  if (!IsDirectory(dir)) return Failed(dir + ": folder not found");
  const std::string tokenPath = JoinPath(dir, kTokenFileName);
  std::string error;

  if (command == "new") {
    unsigned scopes = 0;
    if (scopesText.empty()) return Usage("token new needs --scopes (print, read, admin, comma separated)");
    if (!ParseScopes(scopesText, scopes)) return Usage("--scopes: print, read or admin, comma separated");
    std::string token;
    if (!CreateToken(tokenPath, name, scopes, origins, SystemClock().Now().Stamp(), token, error)) return Failed(error);
    std::printf("%s\n", token.c_str());
    std::fflush(stdout);
    Say(stderr, "dorvane-web: token " + name + " made (" + ScopesText(scopes) +
                    "). Copy it now: it is not kept and will not be shown again.\n");
    return kDone;
  }
  if (command == "list") return ListTokens(tokenPath);
  if (command == "revoke") {
    TokenStore store(tokenPath);
    store.Refresh();
    const std::vector<TokenEntry> all = store.All();
    if (std::none_of(all.begin(), all.end(), [&](const TokenEntry& e) { return EqualsNoCase(e.name, name); })) {
      Say(stderr, "dorvane-web: no token named " + name + "\n");
      return kNotFound;
    }
    if (!RevokeToken(tokenPath, name, error)) return Failed(error);
    Say(stderr, "dorvane-web: token " + name + " revoked.\n");
    return kDone;
  }

  WebSettings s;
  if (!ReadWebSettings(dir, s, error)) return Failed(error);
  if (!changes) {
    PrintSettings(dir, s);
    return kDone;
  }
  if (off && !port.empty()) return Usage("--port and --off exclude each other");
  if (!port.empty() && !ParseNumber(port, 1, 65535, s.port)) return Usage("--port: a number from 1 to 65535");
  if (off) s.port = 0;
  if (!network.empty()) {
    if (network != "yes" && network != "no") return Usage("--network: yes or no");
    s.network = network == "yes";
  }
  if (noHosts) s.hosts.clear();
  for (const std::string& h : hosts) {
    std::string host;
    if (!NormalizeHostName(h, host)) return Usage("--host: not a host name (no port, no scheme): " + h);
    if (std::find(s.hosts.begin(), s.hosts.end(), host) == s.hosts.end()) s.hosts.push_back(host);
  }
  if (!rate.empty() && !ParseNumber(rate, kMinRatePerMinute, kMaxRatePerMinute, s.ratePerMinute))
    return Usage("--rate: a number from 1 to 100000");
  if (!WriteWebSettings(dir, s, error)) return Failed(error);
  PrintSettings(dir, s);
  std::printf("Written. DORVANE reads the settings at its next start.\n");
  return kDone;
}
