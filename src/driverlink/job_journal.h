// The job in flight and the receipts already printed, kept on disk in
// DORVANE's own data folder, so that after a crash or a power cut the job
// can be settled from what KORA1 left: never lost, never printed twice.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "platform/filesystem.h"

namespace dorvane {

struct JobRecord {
  // Recorded before the start signal is written; started once the start
  // signal is on disk, so that a missing signal then means KORA1 took it.
  enum Phase { kRecorded = 1, kStarted = 2 };
  int phase = kRecorded;
  std::string input;  // full path of the input file
  std::string key;    // its selection key
  std::string port;
  std::uint64_t size = 0;  // of the job data handed to KORA1
  std::uint32_t checksum = 0;
  std::string time;  // when the job was recorded
  // The job's identity, for the records kept of it elsewhere; the input's
  // size and layout, so that a job settled after a crash is told whole.
  std::string id;
  std::uint64_t inputSize = 0;
  int layout = 0;
};

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

  const std::optional<JobRecord>& Job() const { return job_; }
  // Each change is on disk before the call returns.
  Status Record(const JobRecord& job);
  Status MarkStarted();
  // The job is filed. A printed receipt whose input is still there is
  // remembered, so that it is never handed over again.
  Status Settle(bool printedInputStillThere);

  bool WasPrinted(const std::string& input, const std::string& key) const {
    return printed_.count(input + "|" + key) != 0;
  }

 private:
  Status Save();

  FileSystem& fs_;
  std::string path_;
  std::optional<JobRecord> job_;
  std::set<std::string> printed_;  // input path "|" selection key
};

}  // namespace dorvane
