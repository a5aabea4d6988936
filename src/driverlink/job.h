// One job, from the moment its input is chosen to the names it was filed
// under: the job journal keeps it across a crash, the job events carry it,
// a filing that waits holds it, and the ledger's record is made from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvane {

// How the input is read: as it is, or converted first.
enum class InputLayout { kSarema = 0, kFasyVola = 1, kItineris = 2 };

enum class Outcome {
  kPrinted,      // FINESCO: KORA1 printed it
  kRefused,      // KORA1 wrote an error text
  kUnknown,      // nobody knows whether it printed (crash, KORA1 ended): "E599: ..."
  kInputFailed,  // the hand-off failed on the input (conversion, unreadable)
};

// Each outcome's words in the files others read: the ledger's word, the
// status file's word and the key of its count of the day.
struct OutcomeWords {
  const char* ledger;
  const char* status;
  const char* countKey;
};
inline constexpr OutcomeWords kOutcomeWords[] = {
    {"stampato", "stampato", "stampati"},
    {"rifiutato", "rifiutato", "rifiutati"},
    {"sconosciuto", "sconosciuto", "sconosciuti"},
    {"fallito", "non consegnato", "non_consegnati"},
};
inline constexpr int kOutcomeCount = 4;
inline constexpr const OutcomeWords& Words(Outcome o) { return kOutcomeWords[static_cast<int>(o)]; }

struct Job {
  // Taken: what the hand-off knew. A hand-off that failed on the input
  // never reached the journal: only input, key, layout and time are known.
  std::string id;     // when it was taken and a hash; kept in the journal across a crash
  std::string input;  // full path of the input file
  std::string key;    // the input's selection key ("YYYYMMDD_HHMMSS")
  // The caller's key of a receipt put through the HTTP door; such a job is
  // never filed into the output and error folders: its result is its record.
  std::string requestKey;
  std::uint64_t inputSize = 0;
  InputLayout layout = InputLayout::kSarema;
  std::string port;
  std::uint64_t dataSize = 0;      // of the job data handed to KORA1
  std::uint32_t dataChecksum = 0;  // FNV-1a of that data (JobChecksum)
  std::string time;                // when it was taken, "YYYY-MM-DD HH:MM:SS"
  // The start signal was on disk: a missing one then means KORA1 took it.
  bool started = false;

  // Settled.
  Outcome outcome = Outcome::kPrinted;
  // Printed: SR_OUT's text; refused: SR_ERR's first line; unknown: the E599
  // report; input failed: the reason shown in the result box.
  std::string text;
  std::vector<std::string> filedAs;  // full paths written in the output and error folders
  std::string filedNote;  // why they are not named after the input, when they are not
  bool recovered = false;  // settled from what KORA1 left, after a crash or a reconnection
  // A job that did not print: the job data as handed to KORA1 (the input
  // itself when none reached it), when it could be read. Only the Settled
  // event carries it, for the ledger's copy; the journal does not.
  std::optional<std::string> data;
};

}  // namespace dorvane
