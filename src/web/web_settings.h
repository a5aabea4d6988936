// The HTTP door's settings, DORVWEB.txt in DORVANE's data folder: Name=Value
// lines, CR LF, ASCII. A missing file or an empty Porta keeps the door closed.
#pragma once

#include <string>
#include <vector>

namespace dorvane::web {

inline constexpr const char* kWebSettingsFileName = "DORVWEB.txt";

struct WebSettings {
  int port = 0;                    // Porta; 0: the door is off
  bool network = false;            // Rete=1: the shop's network too, not only 127.0.0.1 and ::1
  std::vector<std::string> hosts;  // NomiHost: more names accepted in Host, lower case
  int ratePerMinute = 600;         // RichiesteAlMinuto, per token
};

inline constexpr int kMinRatePerMinute = 1;
inline constexpr int kMaxRatePerMinute = 100000;

// A host name as NomiHost may hold it: letters, digits, ".", "-", "_" (a
// name or an IPv4 address) or an IPv6 address in brackets; no port. Lower
// case into name; false when it is none of these.
bool NormalizeHostName(const std::string& text, std::string& name);

// Reads dir/DORVWEB.txt. A missing file: defaults, true. A bad value: false,
// and error says which line and why (Italian, Windows-1252 like the
// program's other messages). Unknown names are ignored.
bool ReadWebSettings(const std::string& dir, WebSettings& out, std::string& error);

// Writes it whole (temporary file, flush, rename), keeping the lines of
// names it does not know. A value out of range: false, nothing written.
bool WriteWebSettings(const std::string& dir, const WebSettings& s, std::string& error);

}  // namespace dorvane::web
