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

  bool Printed() const { return job.outcome == Outcome::kPrinted; }
};

// DORVPEND.DVN in the journal's folder: the one filing still to be done.
class PendingFiling {
 public:
  static constexpr const char* kFileName = "DORVPEND.DVN";

  explicit PendingFiling(FileSystem& fs) : fs_(fs) {}

  // Reads the filing left in dir by an earlier run (once per run).
  void Open(const std::string& dir);
  const std::optional<Filing>& Get() const { return filing_; }
  // Keeps the filing; true when it is on disk as well as in memory.
  bool Keep(const Filing& filing);
  void Done();

 private:
  FileSystem& fs_;
  std::string path_;
  std::optional<Filing> filing_;
};

}  // namespace dorvane
