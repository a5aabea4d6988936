#include "ledger/record.h"

#include <cstdio>
#include <cstring>
#include <set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/sha256.h"
#include "text/text.h"

namespace dorvane::ledger {

namespace {

void Escape(std::string& out, std::string_view s) { AppendJsonString(out, s); }

void Key(std::string& out, const char* key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void Str(std::string& out, const char* key, std::string_view value) {
  Key(out, key);
  Escape(out, value);
}

void Num(std::string& out, const char* key, std::uint64_t value) {
  Key(out, key);
  out += std::to_string(value);
}

void Strings(std::string& out, const char* key, const std::vector<std::string>& values) {
  Key(out, key);
  out += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ',';
    Escape(out, values[i]);
  }
  out += ']';
}

// A minimal JSON reader for the ledger's own lines: one object whose values
// are strings, unsigned integers, booleans, null or arrays of strings; any
// other JSON value is read and skipped, so later fields do not break older
// readers.
class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  void Blank() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }
  bool Eat(char c) {
    Blank();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Peek(char c) {
    Blank();
    return i_ < s_.size() && s_[i_] == c;
  }
  bool AtEnd() {
    Blank();
    return i_ == s_.size();
  }

  // out null: read and checked, not kept.
  bool String(std::string* out) {
    if (out) out->clear();
    if (!Eat('"')) return false;
    for (;;) {
      std::size_t start = i_;
#if defined(__SSE2__)
      // Sixteen plain bytes at a time: a record is mostly long plain texts.
      const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\'), space = _mm_set1_epi8(' ');
      while (i_ + 16 <= s_.size()) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s_.data() + i_));
        // Signed: bytes from 0x80 up are below ' ' too.
        const int special = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)), _mm_cmplt_epi8(v, space)));
        if (special) {
          i_ += static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(special)));
          break;
        }
        i_ += 16;
      }
#endif
      while (i_ < s_.size()) {
        const unsigned char c = static_cast<unsigned char>(s_[i_]);
        if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
        ++i_;
      }
      if (out) out->append(s_.data() + start, i_ - start);
      if (i_ >= s_.size()) return false;
      const unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        ++i_;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        std::size_t at = i_;
        char32_t cp;
        if (!NextUtf8(s_, i_, cp)) return false;
        if (out) out->append(s_.data() + at, i_ - at);
        continue;
      }
      // A backslash.
      if (++i_ >= s_.size()) return false;
      switch (s_[i_++]) {
        case '"': Put(out, '"'); break;
        case '\\': Put(out, '\\'); break;
        case '/': Put(out, '/'); break;
        case 'b': Put(out, '\b'); break;
        case 'f': Put(out, '\f'); break;
        case 'n': Put(out, '\n'); break;
        case 'r': Put(out, '\r'); break;
        case 't': Put(out, '\t'); break;
        case 'u': {
          std::uint32_t cp;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low;
            if (i_ + 1 >= s_.size() || s_[i_] != '\\' || s_[i_ + 1] != 'u') return false;
            i_ += 2;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
          }
          if (out) AppendUtf8(*out, cp);
          break;
        }
        default: return false;
      }
    }
  }

  static void Put(std::string* out, char c) {
    if (out) *out += c;
  }

  bool Unsigned(std::uint64_t& v) {
    Blank();
    std::size_t start = i_;
    v = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
      if (v > (UINT64_MAX - 9) / 10) return false;
      v = v * 10 + static_cast<std::uint64_t>(s_[i_++] - '0');
    }
    return i_ > start;
  }

  bool Bool(bool& v) {
    Blank();
    if (s_.substr(i_, 4) == "true") {
      v = true, i_ += 4;
      return true;
    }
    if (s_.substr(i_, 5) == "false") {
      v = false, i_ += 5;
      return true;
    }
    return false;
  }

  bool StringArray(std::vector<std::string>& out) {
    out.clear();
    if (!Eat('[')) return false;
    if (Eat(']')) return true;
    do {
      std::string s;
      if (!String(&s)) return false;
      out.push_back(std::move(s));
    } while (Eat(','));
    return Eat(']');
  }

  // Any JSON value, read and dropped.
  bool Skip(int depth = 0) {
    if (depth > 32) return false;
    Blank();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '"') return String(nullptr);
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++i_;
      if (Eat(close)) return true;
      do {
        if (c == '{' && (!String(nullptr) || !Eat(':'))) return false;
        if (!Skip(depth + 1)) return false;
      } while (Eat(','));
      return Eat(close);
    }
    if (s_.substr(i_, 4) == "null") return i_ += 4, true;
    bool b;
    if (Bool(b)) return true;
    // A number: sign, digits, fraction, exponent.
    std::size_t start = i_;
    while (i_ < s_.size() && s_[i_] != '\0' && std::strchr("+-0123456789.eE", s_[i_])) ++i_;
    return i_ > start;
  }

 private:
  bool Hex4(std::uint32_t& v) {
    if (i_ + 4 > s_.size()) return false;
    v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9') {
        v |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        v |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        v |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

bool IsHash(std::string_view s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::string MonthFileName(std::string_view yearMonth) {
  return std::string(kFilePrefix) + std::string(yearMonth) + ".jsonl";
}

std::string MonthOfFileName(std::string_view name) {
  // DORVREG-YYYY-MM.jsonl
  if (name.size() != kFilePrefix.size() + 7 + 6) return {};
  if (!EqualsNoCase(name.substr(0, kFilePrefix.size()), kFilePrefix)) return {};
  std::string_view ym = name.substr(kFilePrefix.size(), 7);
  if (!EqualsNoCase(name.substr(kFilePrefix.size() + 7), ".jsonl")) return {};
  if (!Digits(ym.substr(0, 4)) || ym[4] != '-' || !Digits(ym.substr(5, 2))) return {};
  const int month = (ym[5] - '0') * 10 + (ym[6] - '0');
  if (month < 1 || month > 12) return {};
  return std::string(ym);
}

bool IsLedgerFileName(std::string_view name) {
  if (EndsWith(UpperAnsi(name), ".TMP")) name.remove_suffix(4);
  const std::string upper = UpperAnsi(name);
  const bool copy = StartsWith(upper, UpperAnsi(kFilePrefix)) &&
                    (EndsWith(upper, UpperAnsi(kInputCopySuffix)) || EndsWith(upper, UpperAnsi(kJobCopySuffix)));
  return copy || !MonthOfFileName(name).empty() || EqualsNoCase(name, kPendingFileName) ||
         EqualsNoCase(name, kSummaryFileName);
}

std::string CopyName(std::string_view ident, bool input) {
  std::string name(kFilePrefix);
  for (char c : ident) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
    name += plain ? c : '_';
  }
  name += input ? kInputCopySuffix : kJobCopySuffix;
  return name;
}

std::string Record::Key() const {
  if (!id.empty()) return "id:" + id;
  return "input:" + settled + "|" + folder + "|" + input + "|" + inputSha256 + "|" + outcome;
}

std::string ToLine(const Record& r) {
  std::string out;
  out.reserve(512 + r.answer.size() + r.reason.size());
  out += "{\"n\":";
  out += std::to_string(r.n);
  Str(out, "tipo", r.kind);
  Str(out, "id", r.id);
  Str(out, "esito", r.outcome);
  Str(out, "preso", r.taken);
  Str(out, "chiuso", r.settled);
  Str(out, "input", r.input);
  Str(out, "cartella", r.folder);
  if (!r.requestKey.empty()) Str(out, "chiave", r.requestKey);
  Num(out, "byte", r.inputBytes);
  Str(out, "sha256", r.inputSha256);
  if (!r.inputError.empty()) Str(out, "input_errore", r.inputError);
  Str(out, "tracciato", r.layout);
  Num(out, "dati_byte", r.dataBytes);
  Str(out, "dati_fnv1a", r.dataFnv1a);
  Str(out, "motivo", r.reason);
  Str(out, "scontrino", r.receipt);
  Str(out, "totale", r.total);
  Str(out, "risposta", r.answer);
  Num(out, "risposta_byte", r.answerBytes);
  Strings(out, "archiviato", r.filedAs);
  if (!r.filedNote.empty()) Str(out, "archiviato_nota", r.filedNote);
  if (!r.copies.empty()) Strings(out, "copie", r.copies);
  Key(out, "ripreso");
  out += r.recovered ? "true" : "false";
  Str(out, "prec", r.previous);
  out += '}';
  return out;
}

bool FromLine(std::string_view line, Record& r, bool chained) {
  r = Record();
  r.kind.clear();
  Reader in(WithoutLineEnd(line));
  if (!in.Eat('{')) return false;
  bool haveN = false, havePrev = false;
  if (!in.Eat('}')) {
    std::string key;
    do {
      if (!in.String(&key) || !in.Eat(':')) return false;
      bool ok;
      if (key == "n") {
        ok = haveN = in.Unsigned(r.n);
      } else if (key == "prec") {
        ok = havePrev = in.String(&r.previous);
      } else if (key == "byte") {
        ok = in.Unsigned(r.inputBytes);
      } else if (key == "dati_byte") {
        ok = in.Unsigned(r.dataBytes);
      } else if (key == "risposta_byte") {
        ok = in.Unsigned(r.answerBytes);
      } else if (key == "ripreso") {
        ok = in.Bool(r.recovered);
      } else if (key == "archiviato") {
        ok = in.StringArray(r.filedAs);
      } else if (key == "copie") {
        ok = in.StringArray(r.copies);
      } else {
        std::string* field = key == "tipo"           ? &r.kind
                             : key == "id"           ? &r.id
                             : key == "esito"        ? &r.outcome
                             : key == "preso"        ? &r.taken
                             : key == "chiuso"       ? &r.settled
                             : key == "input"        ? &r.input
                             : key == "cartella"     ? &r.folder
                             : key == "chiave"       ? &r.requestKey
                             : key == "sha256"       ? &r.inputSha256
                             : key == "input_errore" ? &r.inputError
                             : key == "tracciato"    ? &r.layout
                             : key == "dati_fnv1a"   ? &r.dataFnv1a
                             : key == "motivo"       ? &r.reason
                             : key == "scontrino"    ? &r.receipt
                             : key == "totale"       ? &r.total
                             : key == "risposta"     ? &r.answer
                             : key == "archiviato_nota" ? &r.filedNote
                                                     : nullptr;
        ok = field ? in.String(field) : in.Skip();
      }
      if (!ok) return false;
    } while (in.Eat(','));
    if (!in.Eat('}')) return false;
  }
  if (!in.AtEnd()) return false;
  if (!chained) return true;
  return haveN && havePrev && r.n > 0 && IsHash(r.previous) && !r.settled.empty();
}

bool ChainFields(std::string_view line, std::uint64_t& n, std::string& previous) {
  Reader in(WithoutLineEnd(line));
  if (!in.Eat('{')) return false;
  bool haveN = false, havePrev = false, settled = false;
  if (!in.Eat('}')) {
    std::string key;
    do {
      if (!in.String(&key) || !in.Eat(':')) return false;
      bool ok;
      if (key == "n") {
        ok = haveN = in.Unsigned(n);
      } else if (key == "prec") {
        ok = havePrev = in.String(&previous);
      } else if (key == "chiuso") {
        std::string s;
        ok = in.String(&s);
        settled = !s.empty();
      } else if (key == "archiviato" || key == "copie") {
        std::vector<std::string> v;
        ok = in.StringArray(v);
      } else if (key == "byte" || key == "dati_byte" || key == "risposta_byte") {
        std::uint64_t v;
        ok = in.Unsigned(v);
      } else if (key == "ripreso") {
        bool v;
        ok = in.Bool(v);
      } else {
        // Our other fields are strings; fields of others are skipped, as
        // FromLine does. A string is read as one whatever its field.
        static const std::set<std::string_view> kStrings = {
            "tipo", "id", "esito", "preso", "input", "cartella", "sha256", "input_errore",
            "tracciato", "dati_fnv1a", "motivo", "scontrino", "totale", "risposta", "archiviato_nota"};
        ok = in.Peek('"') ? in.String(nullptr) : !kStrings.count(key) && in.Skip();
      }
      if (!ok) return false;
    } while (in.Eat(','));
    if (!in.Eat('}')) return false;
  }
  return in.AtEnd() && haveN && havePrev && n > 0 && IsHash(previous) && settled;
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

std::string LineHash(std::string_view line) { return Sha256Hex(WithoutLineEnd(line)); }

std::string AnswerField(std::string_view answer, std::string_view key) {
  std::string line;
  LineReader reader(answer);
  while (reader.ReadLine(line)) {
    // A lone LF is no line end to LineReader: SR_OUT written with LF only
    // still has one field a line.
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t end = line.find('\n', start);
      if (end == std::string::npos) end = line.size();
      std::string_view part = std::string_view(line).substr(start, end - start);
      if (part.size() > key.size() && EqualsNoCase(part.substr(0, key.size()), key) && part[key.size()] == '=')
        return Trim(part.substr(key.size() + 1));
      start = end + 1;
    }
  }
  return {};
}

bool ParseAmount(std::string_view text, std::int64_t& cents) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  std::int64_t units = 0;
  int digits = 0;
  std::size_t i = 0;
  for (; i < s.size() && s[i] != ','; ++i) {
    if (s[i] == '.') continue;  // thousands
    if (s[i] < '0' || s[i] > '9' || ++digits > 15) return false;
    units = units * 10 + (s[i] - '0');
  }
  if (digits == 0) return false;
  std::int64_t fraction = 0;
  if (i < s.size()) {
    std::string_view f = s.substr(i + 1);
    if (f.empty() || f.size() > 2 || !Digits(f)) return false;
    fraction = (f[0] - '0') * 10 + (f.size() == 2 ? f[1] - '0' : 0);
  }
  cents = units * 100 + fraction;
  if (negative) cents = -cents;
  return true;
}

std::string FormatAmount(std::int64_t cents) {
  const bool negative = cents < 0;
  const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  std::string cc = std::to_string(m % 100);
  if (cc.size() < 2) cc.insert(0, "0");
  return (negative ? "-" : "") + std::to_string(m / 100) + "," + cc;
}

std::string EscapedForJson(std::string_view text) {
  std::string out;
  Escape(out, text);
  return out.substr(1, out.size() - 2);
}

bool RawField(std::string_view line, std::string_view key, std::string_view& value) {
  // '"' key '":"': inside a string every '"' is escaped, so this sequence
  // is only ever a key followed by a string value.
  char pattern[64];
  if (key.size() + 5 > sizeof pattern) return false;
  std::size_t n = 0;
  pattern[n++] = '"';
  std::memcpy(pattern + n, key.data(), key.size());
  n += key.size();
  std::memcpy(pattern + n, "\":\"", 3);
  n += 3;
  const std::size_t at = line.find(std::string_view(pattern, n));
  if (at == std::string_view::npos) return false;
  const std::size_t start = at + n;
  std::size_t i = start;
  while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
  if (i >= line.size()) return false;
  value = line.substr(start, i - start);
  return true;
}

}  // namespace dorvane::ledger
