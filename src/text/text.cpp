#include "text/text.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace dorvane {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

double Val(std::string_view text) {
  // Blanks are skipped everywhere, as the system's Val does ("1 2" is 12).
  std::size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '\n' || text[i] == '\r')) ++i;
  };
  skip();
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Digits are accumulated as text and converted once, so "0.1" is exactly
  // the double nearest to 0.1.
  std::string number;
  bool seenPoint = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (IsBlank(c)) continue;
    if (IsDigit(c)) {
      number += c;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
      number += c;
    } else {
      break;
    }
  }
  // An exponent counts only when digits follow it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E') && !number.empty()) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    std::size_t digitsAt = exponent.size();
    while (j < text.size() && IsDigit(text[j])) exponent += text[j++];
    if (exponent.size() > digitsAt) number += exponent;
  }
  if (number.empty() || number == ".") return 0.0;
  double value = std::strtod(number.c_str(), nullptr);
  if (std::isinf(value)) value = std::numeric_limits<double>::max();
  return negative ? -value : value;
}

bool IsNumeric(std::string_view text) {
  std::size_t i = 0, n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;
  if (i == n) return false;
  if (text[i] == '+' || text[i] == '-') ++i;
  bool digits = false, point = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (IsDigit(c)) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    bool expDigits = false;
    while (i < n && IsDigit(text[i])) {
      ++i;
      expDigits = true;
    }
    if (!expDigits) return false;
  }
  return i == n;
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  double floor = std::floor(value);
  double diff = value - floor;
  if (diff > 0.5) return floor + 1.0;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int32_t RoundToInt32(double value) {
  double r = RoundHalfEven(value);
  if (std::isnan(r)) return 0;
  if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

char UpperAnsi(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  // Windows-1252: à..þ map to À..Þ except ÷ (0xF7); š, œ, ž and ÿ have their own capitals.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  switch (u) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    default: return c;
  }
}

std::string UpperAnsi(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperAnsi(c);
  return out;
}

std::string TrimLeft(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text.substr(0, n));
}

std::string Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

bool LineReader::ReadLine(std::string& line) {
  if (AtEnd()) return false;
  std::size_t end = bytes_.find('\r', pos_);
  if (end == std::string_view::npos) {
    line.assign(bytes_.substr(pos_));
    pos_ = bytes_.size();
    return true;
  }
  line.assign(bytes_.substr(pos_, end - pos_));
  pos_ = end + 1;
  if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  return true;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  LineReader reader(bytes);
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
  return lines;
}

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += kCrLf;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) AppendLine(out, l);
  return out;
}

std::string FormatNumber(double value) {
  if (value == 0.0) return "0";
  char buf[64];
  // 15 significant digits, as the system prints a double, then trimmed.
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string s(buf);
  if (s.find_first_of("eE") != std::string::npos) {
    std::snprintf(buf, sizeof buf, "%.15f", value);
    s = buf;
    if (s.find('.') != std::string::npos) {
      while (!s.empty() && s.back() == '0') s.pop_back();
      if (!s.empty() && s.back() == '.') s.pop_back();
    }
  }
  return s;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return UpperAnsi(text).find(UpperAnsi(part)) != std::string::npos;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return UpperAnsi(a) == UpperAnsi(b); }

namespace {
// 0x80..0x9F of Windows-1252; 0 where the code page has no character.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

char32_t AnsiToUnicode(unsigned char b) {
  return b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] ? kHigh[b - 0x80] : char32_t(b);
}

bool UnicodeToAnsi(char32_t c, char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    byte = static_cast<char>(c);
    return true;
  }
  for (int k = 0; k < 32; ++k) {
    if (kHigh[k] == c || (kHigh[k] == 0 && c == char32_t(0x80 + k))) {
      byte = static_cast<char>(0x80 + k);
      return true;
    }
  }
  return false;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool NextUtf8(std::string_view s, std::size_t& i, char32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) {
    cp = c;
    ++i;
    return true;
  }
  int extra;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    extra = 1, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, cp = c & 0x07, min = 0x10000;
  } else {
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    if (i + k >= s.size() || (b(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += static_cast<std::size_t>(extra) + 1;
  return true;
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  char32_t cp;
  while (i < text.size())
    if (!NextUtf8(text, i, cp)) return false;
  return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) AppendUtf8(out, AnsiToUnicode(static_cast<unsigned char>(ch)));
  return out;
}

std::string NameToUtf8(std::string_view name) {
#ifndef _WIN32
  if (IsValidUtf8(name)) return std::string(name);
#endif
  return Cp1252ToUtf8(name);
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    char byte = '?';
    if (!NextUtf8(text, i, cp)) {
      ++i;
    } else if (!UnicodeToAnsi(cp, byte)) {
      byte = '?';
    }
    out += byte;
  }
  return out;
}

void AppendJsonString(std::string& out, std::string_view s) {
  out += '"';
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s.data() + start, i - start);
    start = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
      }
    }
  }
  out.append(s.data() + start, s.size() - start);
  out += '"';
}

}  // namespace dorvane
