// What filing a settled job puts in the output and error folders, kept in
// memory and beside the job journal until every file is in place and the
// input is gone, so that a failed filing is done later and never forgotten.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driverlink/job.h"
#include "platform/filesystem.h"

namespace dorvane {

struct Filing {
  // Its input, key and outcome; filedAs: where its files were placed.
  Job job;
  std::string answer;  // printed: KORA1's result (SR_OUT)
  // Failed: the job data (or the input itself, when no job reached KORA1)
  // and KORA1's error text, each when there was one.
  std::optional<std::string> data;
  std::optional<std::string> errorText;
  bool placed = false;  // every file is in place: only the input is left to delete
  // The operator let the receipts after it go on while it waits.
  bool released = false;
  // Its files go under this name instead of the input's, which the folders
  // cannot hold (too long, not valid there), and why; empty: the input's.
  std::string otherName, otherNameReason;
  bool told = false;  // its failure was told (once an episode, in this run)

  bool Printed() const { return job.outcome == Outcome::kPrinted; }
  // Same job: same input, same selection key.
  bool SameJob(const Filing& o) const { return job.input == o.job.input && job.key == o.job.key; }
  // It holds the cycle: nothing new is handed over while it waits, so that
  // results reach the management program in order. A printed receipt whose
  // files are placed is guarded by the journal, and needs no hold.
  bool Holds() const { return !released && !(placed && Printed()); }
};

// DORVPEND.DVN in the journal's folder: the filings still to be done, in
// the order they failed.
class PendingFiling {
 public:
  static constexpr const char* kFileName = "DORVPEND.DVN";

  explicit PendingFiling(FileSystem& fs) : fs_(fs) {}

  // Reads the filings left in dir by an earlier run (once per run).
  void Open(const std::string& dir);
  const std::vector<Filing>& All() const { return filings_; }
  const Filing* Find(const Filing& filing) const;
  // A filing of this input and key waits: its input is no new receipt.
  bool Waits(const std::string& input, const std::string& key) const;
  bool Holds() const;
  // The operator let the receipts after one of them go on.
  bool Released() const;
  // Keeps the filing, in the place of the same job's; true when it is on
  // disk as well as in memory.
  bool Keep(const Filing& filing);
  void Done(const Filing& filing);
  // The receipts after the filings kept now may go on.
  void ReleaseAll();

 private:
  bool Save();

  FileSystem& fs_;
  std::string path_;
  std::vector<Filing> filings_;
};

}  // namespace dorvane
