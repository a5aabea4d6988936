// What the ledger's readers do with its records, with no file access of
// their own (the tool streams the files, the window reads through the port):
// the summary of a day, the search, the CSV export, the chain check.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/record.h"
#include "platform/filesystem.h"

namespace dorvane::ledger {

// The summary of one day: jobs per outcome, the sum of TOTALE, the unknown
// outcomes first with what to check, then the refused jobs and the inputs
// that could not be handed over. Texts UTF-8, LF line ends.
class DaySummary {
 public:
  explicit DaySummary(std::string day) : day_(std::move(day)) {}  // "YYYY-MM-DD"
  const std::string& Day() const { return day_; }
  // Takes the record when it was settled that day; waiting: kept by
  // DORVANE, not yet in the month file; line: the record's line, whose hash
  // ends the summary when it is the day's last record.
  bool Add(const Record& r, bool waiting = false, std::string_view line = {});
  // where: the folder read, named on the second line.
  std::string Text(const std::string& where) const;

  int Jobs() const { return static_cast<int>(printed_ + refused_.size() + unknown_.size() + failed_.size()); }
  std::int64_t TotalCents() const { return totalCents_; }

 private:
  struct Item {
    Record r;
    bool waiting;
  };
  std::string day_;
  int printed_ = 0, withTotal_ = 0, waiting_ = 0;
  std::int64_t totalCents_ = 0;
  std::vector<Item> unknown_, refused_, failed_;
  std::uint64_t lastN_ = 0;
  std::string lastLine_;  // the day's last record in the chain
};

// Writes the summary of `day` into dir/DORVREG-RIEPILOGO.txt (Windows-1252,
// CR LF, for the system's text editor), reading the end of that month's file
// and the pending file through the port. path: the file written.
Status WriteDaySummary(FileSystem& fs, const std::string& dir, const std::string& day, std::string& path);
// The records of the summary's day (the end of its month's file, and those
// kept pending) added to it; lines: their lines, when wanted.
Status ReadDay(FileSystem& fs, const std::string& dir, DaySummary& summary, std::vector<std::string>* lines = nullptr);

// A search: every condition given must hold.
struct Query {
  std::string name;     // the input's name, "*" and "?" allowed, any letter case (UTF-8)
  std::string from;     // settled at or after ("YYYY-MM-DD HH:MM:SS"), empty: any
  std::string to;       // settled at or before, empty: any
  std::string outcome;  // a record's outcome word, empty: any
  std::string text;     // in KORA1's answer or the reason, any letter case (UTF-8)

  bool Matches(const Record& r) const;
  // The name's condition alone, on a record's input (UTF-8); a name
  // recorded as UTF-8 read as Windows-1252, as older records may have it,
  // is matched too.
  bool NameMatches(std::string_view input) const;
};

// "2026-03-05", "05/03/2026", optionally followed by " HH:MM[:SS]" or
// "THH:MM[:SS]": the stamp records use, the day's first second (or, with
// endOfDay, its last) when no time is given. Empty when it is no date.
std::string NormaliseStamp(std::string_view text, bool endOfDay);

// CSV for Italian spreadsheets: ";" between fields, decimal comma, CR LF;
// every text quoted (identifiers among them: a spreadsheet told to read
// quoted fields as text keeps "04968280" as it is), numbers and stamps
// unquoted; a text beginning with "=", "+", "-", "@", TAB or CR made inert
// with a leading "'". The caller writes the UTF-8 byte-order mark.
std::string CsvHeader();
// waiting: a record DORVANE keeps but has not written yet, which has no
// number; its N. says kWaitingMark.
std::string CsvRow(const Record& r, bool waiting = false);
inline constexpr const char* kWaitingMark = "in attesa";
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Walks the chain across the month files, in order, line by line.
class ChainVerifier {
 public:
  // One line (line end included or not); file: its file's name; number:
  // 1-based in that file. False once the chain is broken: the rest need not
  // be read.
  bool Line(const std::string& file, std::uint64_t number, std::string_view line);
  // The hash of a record the chain must still hold (64 hexadecimal digits,
  // as the day's summary shows it): records removed from the end are seen.
  void ExpectRecord(std::string hash) { head_ = std::move(hash); }
  // Whole: the chain holds, no damaged line follows its last record, and
  // the record expected is in it.
  bool Whole() const { return !broken_ && trailing_.empty() && (head_.empty() || headAt_.line); }
  std::uint64_t Records() const { return records_; }
  // The report, Italian, LF line ends.
  std::string Report() const;

 private:
  struct Place {
    std::string file;
    std::uint64_t line = 0;
    std::uint64_t n = 0;
  };
  static std::string Where(const Place& p);
  std::string expected_ = kNoPrevious;
  Place last_;
  std::uint64_t records_ = 0;
  bool broken_ = false;
  std::string breakText_;
  std::vector<Place> outside_;   // damaged lines followed by a record
  std::vector<Place> trailing_;  // damaged lines after the last record
  std::string head_;
  Place headAt_;  // where the record expected is (line 0: not yet seen)
};

}  // namespace dorvane::ledger
