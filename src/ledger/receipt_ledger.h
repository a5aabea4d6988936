// The receipt ledger: one record for every settled job, appended and
// flushed before the engine goes on, chained by SHA-256, in one file a month
// in DORVANE's data folder. An observer of the job engine (JobEvents).
//
// Exactly once: a job whose identity is among the last records written (or
// waiting to be written) is never recorded again, so the Settled that
// recovery delivers again after a crash adds nothing.
// Never in the way: a ledger that cannot be written keeps its records, in
// memory and in the pending file DORVREG-PENDENTI.jsonl when that can be
// written, and appends them in order once writing works again (at the next
// event or Poll). It says so once when writing fails, and once when it works again.
// Nothing lost: a job that did not print keeps its bytes in the ledger's own
// files, written durably before its record and before its input may go, so
// a name used again in the error folder never takes the only copy away.
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "driverlink/job_events.h"
#include "ledger/record.h"
#include "platform/clock.h"
#include "platform/filesystem.h"

namespace dorvane {

// Every file name the ledger writes (month files, pending file, summary and
// their temporary files), any letter case: never a receipt.
bool IsLedgerFile(const std::string& name);

// What the ledger tells (the result box and the event log): it cannot
// write, it can again, and where it kept the copy of a job that did not
// print (the one to print again).
enum class LedgerNotice { kNotWritable, kWritableAgain, kCopyKept };
inline constexpr const char* kLedgerNotWritable = "REGISTRO SCONTRINI NON SCRIVIBILE: ";
inline constexpr const char* kLedgerWritableAgain = "REGISTRO SCONTRINI DI NUOVO SCRIVIBILE: ";
inline constexpr const char* kLedgerCopyKept = "COPIA DEL LAVORO CONSERVATA: ";

// Each line of the month files in dir (of the newest two unless all), then
// of the pending file (its file name given as ""): for readers that need
// only the newest records, such as the HTTP door's keys at start.
void ForEachLedgerLine(FileSystem& fs, const std::string& dir, bool all,
                       const std::function<void(const std::string& file, std::string_view line)>& f);

class ReceiptLedger : public JobEvents {
 public:
  // folder: where the ledger lives now (DORVANE's data folder, else KORA1's),
  // asked at every event. notice: called with a line to show and log.
  using Folder = std::function<std::string()>;
  using Notice = std::function<void(LedgerNotice what, const std::string& line)>;

  ReceiptLedger(FileSystem& fs, Clock& clock, Folder folder, Notice notice = {});

  // Records the job; returns once its record is flushed, or kept.
  void Settled(const Job& job) override;
  // Tries again to write the records kept; cheap when there are none.
  void Poll();
  bool OwnsFile(const std::string& name) const override { return IsLedgerFile(name); }
  // Every record is in a month file or in the pending file.
  bool Recorded() const override;

  // Hears each record that carries a request key (a receipt put through the
  // HTTP door) once its line is durable in a month file (the file's name).
  using Heard = std::function<void(const std::string& file, const std::string& line)>;
  void OnKeyedRecord(Heard heard) { keyed_ = std::move(heard); }

  // Records waiting to be written.
  std::size_t Waiting() const { return queue_.size(); }
  bool Writable() const { return writable_; }

  // A file the ledger keeps beside its records: its name and bytes.
  struct Copy {
    std::string name, bytes;
  };
  // Builds the record of a settled job, reading its input (it still exists);
  // copies: for a job that did not print, the copies of its bytes to keep.
  ledger::Record MakeRecord(const Job& job, std::vector<Copy>* copies = nullptr);

 private:
  struct Entry {
    ledger::Record record;
    bool inPendingFile = false;
    std::vector<Copy> copies;  // not yet written: they go before the record
  };
  // Writes the entry's copies durably into dir, once.
  Status WriteCopies(Entry& e, const std::string& dir);
  // Reads the end of the newest month file: chain, numbering, recent jobs.
  Status Open(const std::string& dir);
  Status Drain();
  Status AppendOne(ledger::Record& r);
  void KeepPending();
  void RemovePendingFile();
  void Remember(const std::string& key);
  void Report(const Status& st, const std::string& path);

  FileSystem& fs_;
  Clock& clock_;
  Folder folder_;
  Notice notice_;
  Heard keyed_;

  std::string dir_;        // the folder opened; empty until opened
  bool stale_ = true;      // the end of the files must be read again
  bool pendingLoaded_ = false;
  std::string lastHash_ = ledger::kNoPrevious;
  std::uint64_t lastN_ = 0;
  std::string lastMonth_;  // "YYYY-MM" of the newest month file
  std::string tornFile_;   // a month file whose last line has no line end
  std::string durableFile_;  // the month file whose folder entry is flushed
  bool pendingTorn_ = false;
  bool pendingFileStale_ = false;  // the pending file holds records already written
  std::deque<Entry> queue_;
  std::deque<std::string> recent_;  // keys of the last records, oldest first
  std::set<std::string> recentSet_;
  bool writable_ = true;            // no failure told in this run
  bool owesWritableAgain_ = false;  // an earlier run's failure left records to write
  std::string failedPath_;
};

}  // namespace dorvane
