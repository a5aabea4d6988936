// The job in flight and the receipts already printed, kept on disk in
// DORVANE's own data folder, so that after a crash or a power cut the job
// can be settled from what KORA1 left: never lost, never printed twice.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "driverlink/job.h"
#include "platform/filesystem.h"

namespace dorvane {

// FNV-1a over the bytes: tells whether KORA1's job file is this job's.
std::uint32_t JobChecksum(const std::string& bytes);

class JobJournal {
 public:
  static constexpr const char* kFileName = "DORVJOB.DVN";

  explicit JobJournal(FileSystem& fs) : fs_(fs) {}

  // Reads the journal kept in dir (once per run; later calls do nothing).
  // Printed receipts whose input is gone are forgotten.
  void Open(const std::string& dir);
  bool IsOpen() const { return !path_.empty(); }

  const std::optional<dorvane::Job>& Job() const { return job_; }
  // Each change is on disk before the call returns. The job is recorded
  // before its start signal is written, and marked started once that is on
  // disk.
  Status Record(const dorvane::Job& job);
  Status MarkStarted();
  // The job is filed. A printed receipt whose input is still there is
  // remembered, so that it is never handed over again.
  Status Settle(bool printedInputStillThere);

  // Printed receipts whose input has gone (a filing done later deleted it)
  // need no guard any more: forgotten, in memory and on disk. Each tick.
  void ForgetGone();

  bool WasPrinted(const std::string& input, const std::string& key) const {
    return printed_.count(input + "|" + key) != 0;
  }

 private:
  Status Save();
  void DropGone();

  FileSystem& fs_;
  std::string path_;
  std::optional<dorvane::Job> job_;
  std::set<std::string> printed_;  // input path "|" selection key
  bool forgotten_ = false;         // entries forgotten that the file still holds
};

}  // namespace dorvane
