#include "ledger/line_filter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ledger/record.h"
#include "text/text.h"

namespace dorvane::ledger {

namespace {

// A character as the search compares it: a letter of Windows-1252 as its
// capital, anything else as it is.
char32_t Folded(char32_t c) {
  char byte;
  if (!UnicodeToAnsi(c, byte)) return c;
  return AnsiToUnicode(static_cast<unsigned char>(UpperAnsi(byte)));
}

// The next character of s at i, or its byte when it is no UTF-8.
char32_t Next(std::string_view s, std::size_t& i) {
  char32_t c;
  if (NextUtf8(s, i, c)) return c;
  return static_cast<unsigned char>(s[i++]);
}

bool Plain(char c) { return c >= ' ' && c < 0x7F && c != '"' && c != '\\' && c != '*' && c != '?'; }

// The longest run of a name pattern that holds neither a wildcard nor a byte
// that may be written otherwise in the line: it is in the record's name
// whichever way the name was recorded.
std::string LongestPlainRun(std::string_view pattern) {
  std::string best, run;
  for (char c : pattern) {
    if (Plain(c)) {
      run += c;
      if (run.size() > best.size()) best = run;
    } else {
      run.clear();
    }
  }
  return best;
}

}  // namespace

NoCaseFinder::NoCaseFinder(std::string_view piece) : piece_(piece) {
  for (std::size_t i = 0; i < piece_.size(); ++i) {
    if (static_cast<unsigned char>(piece_[i]) >= 0x80) continue;
    if (!anchored_) first_ = i;
    last_ = i;
    anchored_ = true;
  }
  // An ASCII byte of the piece is matched only by itself or, for a letter,
  // by its other case, which differs in the bit 0x20.
  firstFolded_ = static_cast<unsigned char>(piece_.empty() ? 0 : piece_[first_] | 0x20);
  lastFolded_ = static_cast<unsigned char>(piece_.empty() ? 0 : piece_[last_] | 0x20);
}

bool NoCaseFinder::At(std::string_view text, std::size_t at) const {
  std::size_t i = 0, j = at;
  while (i < piece_.size()) {
    if (j >= text.size()) return false;
    const char32_t a = Next(piece_, i), b = Next(text, j);
    if (a != b && Folded(a) != Folded(b)) return false;
  }
  return true;
}

bool NoCaseFinder::In(std::string_view text) const {
  if (piece_.empty()) return true;
  if (text.size() < piece_.size()) return false;
  const std::size_t lastStart = text.size() - piece_.size();
  std::size_t s = 0;
  if (!anchored_) {
    for (; s <= lastStart; ++s)
      if (At(text, s)) return true;
    return false;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
#if defined(__SSE2__)
  // Sixteen starts at once; the loads end within the text.
  const __m128i first = _mm_set1_epi8(static_cast<char>(firstFolded_));
  const __m128i last = _mm_set1_epi8(static_cast<char>(lastFolded_));
  const __m128i fold = _mm_set1_epi8(0x20);
  for (; s + 15 <= lastStart; s += 16) {
    const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + s + first_)), fold);
    const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + s + last_)), fold);
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    for (; mask; mask &= mask - 1)
      if (At(text, s + static_cast<std::size_t>(__builtin_ctz(mask)))) return true;
  }
#endif
  for (; s <= lastStart; ++s)
    if ((p[s + first_] | 0x20) == firstFolded_ && (p[s + last_] | 0x20) == lastFolded_ && At(text, s)) return true;
  return false;
}

LineFilter::LineFilter(Query query)
    : query_(std::move(query)),
      nameLiteral_(LongestPlainRun(query_.name)),
      text_(query_.text.empty() ? std::string() : EscapedForJson(query_.text)) {}

bool LineFilter::MayMatch(std::string_view line) const {
  const Query& q = query_;
  std::string_view v;
  if (!q.name.empty() && RawField(line, "input", v) &&
      (!nameLiteral_.In(v) || (v.find('\\') == std::string_view::npos && !q.NameMatches(v))))
    return false;
  if ((!q.from.empty() || !q.to.empty()) && RawField(line, "chiuso", v)) {
    if (!q.from.empty() && v < std::string_view(q.from)) return false;
    if (!q.to.empty() && v > std::string_view(q.to)) return false;
  }
  if (!q.outcome.empty() && RawField(line, "esito", v) && v != q.outcome) return false;
  return text_.In(line);
}

}  // namespace dorvane::ledger
