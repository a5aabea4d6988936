// The quick test a search makes on a ledger line before parsing it: over a
// year of records most lines are dismissed at close to the speed of reading
// them, and only the lines around a hit are parsed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ledger/reports.h"

namespace dorvane::ledger {

// A piece of UTF-8 text found whatever its letter case, as the search
// compares letters (those of Windows-1252). Two of the piece's ASCII bytes,
// folded once, are looked for together, sixteen places at a time where the
// processor can; the piece is compared whole only where both are found.
class NoCaseFinder {
 public:
  explicit NoCaseFinder(std::string_view piece = {});
  bool Empty() const { return piece_.empty(); }
  bool In(std::string_view text) const;

 private:
  bool At(std::string_view text, std::size_t at) const;

  std::string piece_;
  bool anchored_ = false;  // false: the piece has no ASCII byte
  std::size_t first_ = 0, last_ = 0;
  unsigned char firstFolded_ = 0, lastFolded_ = 0;  // the bytes there, | 0x20
};

class LineFilter {
 public:
  explicit LineFilter(Query query);
  // False only when the line's record cannot match the query.
  bool MayMatch(std::string_view line) const;

 private:
  Query query_;
  NoCaseFinder nameLiteral_;  // the longest plain ASCII run of the name's pattern
  NoCaseFinder text_;         // the text as it stands in a JSON string
};

}  // namespace dorvane::ledger
