// The receipt ledger's record: one settled job, one line of JSON in a month
// file (JSON Lines), chained to the line before it by SHA-256. Texts in a
// record are UTF-8, converted from the Windows-1252 bytes of DORVANE's files
// when the record is made; a record is never re-encoded afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driverlink/job_events.h"
#include "text/text.h"

namespace dorvane::ledger {

// File names, all in DORVANE's data folder (KORA1's when that is missing):
// one file a month, the records not yet written, the day's summary.
inline constexpr std::string_view kFilePrefix = "DORVREG-";
inline constexpr const char* kPendingFileName = "DORVREG-PENDENTI.jsonl";
inline constexpr const char* kSummaryFileName = "DORVREG-RIEPILOGO.txt";
// The previous-record hash of the very first record.
inline constexpr const char* kNoPrevious = "0000000000000000000000000000000000000000000000000000000000000000";

// "DORVREG-2026-03.jsonl"
std::string MonthFileName(std::string_view yearMonth);
// The "YYYY-MM" of a month file's name (any letter case); empty when the
// name is not a month file's.
std::string MonthOfFileName(std::string_view name);
// Every name the ledger writes: month files, the pending file, the summary,
// the copies of the jobs that did not print, and the temporary files of
// each. Letter case is ignored.
bool IsLedgerFileName(std::string_view name);

// The copies of a job that did not print: "DORVREG-<ident>-INPUT.txt" (the
// input as it arrived) and "DORVREG-<ident>-KORA1.txt" (the job as handed to
// KORA1, when it differs). ident: the job's identity, or when it has none
// the time it was taken and the start of the input's SHA-256; only letters,
// digits and "-" are kept.
std::string CopyName(std::string_view ident, bool input);
inline constexpr std::string_view kInputCopySuffix = "-INPUT.txt";
inline constexpr std::string_view kJobCopySuffix = "-KORA1.txt";

// The conversions records use, from the program's text helpers.
using ::dorvane::Cp1252ToUtf8;
using ::dorvane::IsValidUtf8;
using ::dorvane::Utf8ToCp1252;

// Words of the outcome and of the input layout, as records hold them.
inline constexpr const char* kOutcomePrinted = Words(Outcome::kPrinted).ledger;
inline constexpr const char* kOutcomeRefused = Words(Outcome::kRefused).ledger;
inline constexpr const char* kOutcomeUnknown = Words(Outcome::kUnknown).ledger;
inline constexpr const char* kOutcomeInputFailed = Words(Outcome::kInputFailed).ledger;

struct Record {
  std::uint64_t n = 0;           // 1, 2, 3... along the chain; 0 while pending
  std::string kind = "lavoro";   // only jobs are recorded
  std::string id;                // the job's identity (empty for a hand-off failed on the input)
  std::string outcome;           // kOutcomePrinted, kOutcomeRefused, kOutcomeUnknown, kOutcomeInputFailed
  std::string taken;             // "YYYY-MM-DD HH:MM:SS": the job taken
  std::string settled;           // the job settled (the record made)
  std::string input;             // the input's name, without folder
  std::string folder;            // the input's folder
  std::string requestKey;        // the caller's key of a receipt put through the HTTP door
  std::uint64_t inputBytes = 0;
  std::string inputSha256;       // empty when the input could not be read
  std::string inputError;        // why it could not
  std::string layout;            // "sarema", "fasyvola", "itineris"
  std::uint64_t dataBytes = 0;   // the job data handed to KORA1
  std::string dataFnv1a;         // its FNV-1a, 8 hex digits; empty when none was handed over
  std::string reason;            // SR_ERR's first line, the E599 report, the input's failure
  std::string receipt;           // SR_OUT's SCONTRINO=, when present
  std::string total;             // SR_OUT's TOTALE= ("12,50", "N/D"), when present
  std::string answer;            // SR_OUT's text, at most kAnswerLimit bytes of it
  std::uint64_t answerBytes = 0; // SR_OUT's whole size
  std::vector<std::string> filedAs;  // paths written in the output and error folders
  std::string filedNote;             // why they are not named after the input, when they are not
  // A job that did not print: the ledger's copies of its bytes, names in the
  // ledger's folder. The first is the one to print again (the input as it
  // arrived); a second holds the job as handed to KORA1 when that differs.
  std::vector<std::string> copies;
  bool recovered = false;        // settled from what KORA1 left, after a crash
  std::string previous;          // SHA-256 of the line before (64 hex digits); empty while pending

  // What makes two records the same settled job: the job's identity, or for
  // a hand-off failed on the input, its time, input and content.
  std::string Key() const;
};

inline constexpr std::size_t kAnswerLimit = 4096;

// The record's line, without line end.
std::string ToLine(const Record& r);
// Reads a line (a trailing CR is allowed). False when it is not a whole
// record: not JSON, not an object, invalid UTF-8, a field of the wrong type,
// or a chained record (chained = true) without its number or previous hash.
bool FromLine(std::string_view line, Record& r, bool chained = true);

// What the chain check needs of a line, without building the record: true
// when the line is a whole chained record (as FromLine would say).
bool ChainFields(std::string_view line, std::uint64_t& n, std::string& previous);

// Hash of a line as the next record chains it: its bytes without line end.
std::string LineHash(std::string_view line);
// The line without its CR LF, LF or CR end.
std::string_view WithoutLineEnd(std::string_view line);

// The value of a "KEY=value" line of KORA1's answer (CR LF lines); empty
// when there is none.
std::string AnswerField(std::string_view answer, std::string_view key);
// An amount as KORA1 writes it ("12,50", "-3,00", "1.234,5", "7"), in cents.
bool ParseAmount(std::string_view text, std::int64_t& cents);
// Cents with a decimal comma and two decimals ("-3,05"), no thousands separator.
std::string FormatAmount(std::int64_t cents);

// The raw value of a top-level string field in a record's line, found
// without parsing the whole line (the fast path of the tools): the text
// between the quotes, still escaped. False when the field is not there.
bool RawField(std::string_view line, std::string_view key, std::string_view& value);
// Text as it stands inside a JSON string of the ledger, quotes left out.
std::string EscapedForJson(std::string_view text);

// Calls f with each line of bytes, split at LF (the line end not included,
// a CR before it kept); the last line may have no line end.
template <class F>
void ForEachLine(std::string_view bytes, F f) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    f(bytes.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace dorvane::ledger
