// What the HTTP door knows of each request key: one print per key, across
// retries, crashes and restarts. A key is in use from the moment its receipt
// is spooled; it is settled by the job's Settled event, and its ledger
// record (a line of the ledger with the key) is appended to the key file
// DORVWEB-CHIAVI.txt in DORVANE's data folder as the ledger writes it.
//
// At start the keys in use are the key file, the spool and the ledger's
// records not yet in the key file (those of the last months, and those the
// ledger keeps while it cannot write); a key file that is missing is made
// again from the whole ledger. A settled key is final: only a new key
// prints again.
//
// The engine's thread tells, the door's thread asks: every call locks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "driverlink/job_events.h"
#include "platform/filesystem.h"
#include "web/spool.h"

namespace dorvane::web {

inline constexpr const char* kKeyFileName = "DORVWEB-CHIAVI.txt";

// The states a key goes through, as the API names them.
inline constexpr const char* kStateQueued = "queued";
inline constexpr const char* kStatePrinting = "printing";
inline constexpr const char* kStatePaperOut = "paper-out";
const char* StateOf(Outcome outcome);

struct KeyState {
  std::string state = kStateQueued;
  InputLayout layout = InputLayout::kSarema;
  std::string sha256;     // of the receipt's bytes as spooled (converted)
  std::string reason;     // a refusal's or an unknown outcome's text, this run
  std::string record;     // the ledger's line, while it waits to be written (no month file)
  std::string monthFile;  // else where the ledger holds it: file name and number
  std::uint64_t n = 0;
  bool Final() const;
};

class KeyBook : public JobEvents {
 public:
  // Calls line(file name, line) for each line of the ledger that holds a
  // key: of every month file when all, else of the newest two, then of the
  // records the ledger keeps while it cannot write (file name empty).
  using LedgerLines =
      std::function<void(bool all, const std::function<void(const std::string&, std::string_view)>& line)>;

  KeyBook(FileSystem& fs, std::string dataDir, Spool& spool);

  // Before the door answers: the keys in use, as above. The spool is loaded.
  Status Load(const LedgerLines& ledger);
  std::optional<KeyState> Find(const std::string& key);
  // A new key's receipt is about to be spooled (false: the key is in use).
  bool Queue(const std::string& key, InputLayout layout, const std::string& sha256);
  void Forget(const std::string& key);
  // The ledger's line of a keyed record, durable in the month file.
  void Recorded(const std::string& monthFile, const std::string& line);
  // A record the ledger holds (n in monthFile), read from its file's end
  // back; "" when it is not there.
  std::string ReadRecord(const KeyState& k);
  std::size_t Size();

  void Taken(const Job& job) override;
  void Settled(const Job& job) override;
  void PaperHeld(const std::string& input, const std::string& line) override;
  void PaperReleased(const std::string& input) override;
  bool OwnsFile(const std::string& name) const override;

 private:
  // A ledger line's key, layout, hash, outcome and number into the book;
  // false when it has no key. Locked by the caller.
  bool Learn(const std::string& monthFile, std::string_view line, std::string* keyOut = nullptr);
  void SetState(const std::string& path, const char* state);
  static std::string KeyLine(const std::string& key, const KeyState& k);

  FileSystem& fs_;
  const std::string dir_;
  const std::string path_;
  Spool& spool_;
  std::mutex mutex_;
  std::map<std::string, KeyState> keys_;
  std::string inFlight_;  // the key of the job in flight, if it has one
};

}  // namespace dorvane::web
