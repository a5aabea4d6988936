#include "web/web_settings.h"

#include <array>

#include "text/paths.h"
#include "text/text.h"
#include "web/owner_only_file.h"

namespace dorvane::web {

namespace {

constexpr const char* kPort = "Porta";
constexpr const char* kNetwork = "Rete";
constexpr const char* kHosts = "NomiHost";
constexpr const char* kRate = "RichiesteAlMinuto";
constexpr std::array<const char*, 4> kNames = {kPort, kNetwork, kHosts, kRate};

// The file may have been edited by hand on any system: CR LF, CR or LF.
std::vector<std::string> AnyLines(std::string_view bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);  // Notepad's UTF-8 mark
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// Blanks and tabs around names and values, as an editor may leave them.
std::string TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

// A whole number of decimal digits within [low, high]; no sign, no blanks.
bool ParseInt(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < low || v > high) return false;
  value = static_cast<int>(v);
  return true;
}

bool IsHostChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_'; }

bool IsIpv6Char(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.'; }

}  // namespace

bool NormalizeHostName(const std::string& text, std::string& name) {
  std::string n;
  for (char c : text) n += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (n.empty() || n.size() > 253) return false;
  if (n.front() == '[') {
    if (n.size() < 4 || n.back() != ']' || n.find(':') == std::string::npos) return false;
    for (std::size_t i = 1; i + 1 < n.size(); ++i)
      if (!IsIpv6Char(n[i])) return false;
  } else {
    if (n.front() == '.' || n.front() == '-') return false;
    for (char c : n)
      if (!IsHostChar(c)) return false;
  }
  name = n;
  return true;
}

bool ReadWebSettings(const std::string& dir, WebSettings& out, std::string& error) {
  out = WebSettings{};
  std::string bytes;
  bool exists = false;
  if (!ReadFileBytes(JoinPath(dir, kWebSettingsFileName), bytes, exists, error)) return false;
  std::array<bool, kNames.size()> seen{};
  const std::vector<std::string> lines = AnyLines(bytes);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto bad = [&](const std::string& why) {
      error = std::string(kWebSettingsFileName) + ", riga " + std::to_string(i + 1) + ": " + why;
      return false;
    };
    if (TrimBlanks(lines[i]).empty()) continue;
    const std::size_t eq = lines[i].find('=');
    if (eq == std::string::npos) return bad("manca il segno = tra nome e valore");
    const std::string name = TrimBlanks(std::string_view(lines[i]).substr(0, eq));
    const std::string value = TrimBlanks(std::string_view(lines[i]).substr(eq + 1));
    std::size_t k = 0;
    while (k < kNames.size() && !EqualsNoCase(name, kNames[k])) ++k;
    if (k == kNames.size()) continue;  // a name of a later version
    // Two values for one name: which one counts would not be plain to the reader.
    if (seen[k]) return bad(std::string(kNames[k]) + " compare pi\xF9 di una volta");
    seen[k] = true;
    if (kNames[k] == kPort) {
      if (!value.empty() && !ParseInt(value, 1, 65535, out.port))
        return bad("Porta deve essere un numero da 1 a 65535, o vuota per tenere chiuso l'accesso (trovato \"" + value +
                   "\")");
    } else if (kNames[k] == kNetwork) {
      if (value != "" && value != "0" && value != "1") return bad("Rete deve essere 0 o 1 (trovato \"" + value + "\")");
      out.network = value == "1";
    } else if (kNames[k] == kHosts) {
      std::size_t start = 0;
      while (start <= value.size()) {
        std::size_t comma = value.find(',', start);
        if (comma == std::string::npos) comma = value.size();
        const std::string item = TrimBlanks(std::string_view(value).substr(start, comma - start));
        std::string host;
        if (!item.empty() && !NormalizeHostName(item, host))
          return bad("NomiHost: \"" + item + "\" non \xE8 un nome di host (senza porta, separati da virgole)");
        if (!item.empty()) out.hosts.push_back(host);
        start = comma + 1;
      }
    } else if (!value.empty() && !ParseInt(value, kMinRatePerMinute, kMaxRatePerMinute, out.ratePerMinute)) {
      return bad("RichiesteAlMinuto deve essere un numero da 1 a 100000 (trovato \"" + value + "\")");
    }
  }
  return true;
}

bool WriteWebSettings(const std::string& dir, const WebSettings& s, std::string& error) {
  if (s.port < 0 || s.port > 65535) {
    error = "Porta deve essere un numero da 1 a 65535";
    return false;
  }
  if (s.ratePerMinute < kMinRatePerMinute || s.ratePerMinute > kMaxRatePerMinute) {
    error = "RichiesteAlMinuto deve essere un numero da 1 a 100000";
    return false;
  }
  std::string hosts;
  for (const std::string& h : s.hosts) {
    std::string host;
    if (!NormalizeHostName(h, host)) {
      error = "\"" + h + "\" non \xE8 un nome di host";
      return false;
    }
    hosts += (hosts.empty() ? "" : ",") + host;
  }
  const std::string path = JoinPath(dir, kWebSettingsFileName);
  std::string old;
  bool exists = false;
  if (!ReadFileBytes(path, old, exists, error)) return false;

  std::string bytes;
  AppendLine(bytes, std::string(kPort) + "=" + (s.port > 0 ? std::to_string(s.port) : ""));
  AppendLine(bytes, std::string(kNetwork) + "=" + (s.network ? "1" : "0"));
  AppendLine(bytes, std::string(kHosts) + "=" + hosts);
  AppendLine(bytes, std::string(kRate) + "=" + std::to_string(s.ratePerMinute));
  // Names a later version added stay for it.
  for (const std::string& line : AnyLines(old)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = TrimBlanks(std::string_view(line).substr(0, eq));
    bool ours = false;
    for (const char* known : kNames) ours = ours || EqualsNoCase(name, known);
    if (!ours) AppendLine(bytes, line);
  }
  return WriteReplacing(path, bytes, error);
}

}  // namespace dorvane::web
