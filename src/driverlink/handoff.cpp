// Handing one input file to KORA1: the job file SR_DATI first, then the
// start signal SR_START, so KORA1 never starts a job still being written.
#include <cstdio>

#include "convert/fasyvola.h"
#include "convert/itineris.h"
#include "driverlink/job_runner.h"
#include "text/paths.h"

namespace dorvane {

namespace {
constexpr const char* kInputUnavailable = "FILE DI INPUT NON DISPONIBILE: ";
constexpr int kMaxCopyRetries = 300;  // 100 ms apart: about 30 s for a writer to finish

// The job's identity: when it was taken, and a hash that tells apart two
// jobs taken in the same second.
std::string JobId(const LocalDateTime& t, const std::string& input, const std::string& key, std::int64_t ms) {
  char id[48];
  std::snprintf(id, sizeof id, "%04d%02d%02d%02d%02d%02d-%08x", t.year, t.month, t.day, t.hour, t.minute, t.second,
                static_cast<unsigned>(JobChecksum(input + "|" + key + "|" + std::to_string(ms))));
  return id;
}
}  // namespace

Status JobRunner::CopyJob(const std::string& source, bool& refused, std::string& data) {
  if (fs_.HeldByWriter(source)) return Status::Of(kErrPermissionDenied);
  std::string job = source;
  bool converted = true;
  switch (set_.Layout()) {
    case InputLayout::kFasyVola:
      converted = PrepareFasyVolaJob(
          fs_, [this](const std::string& m) { host_.ShowMessage(m); }, set_.inputDir, source,
          set_.invertDiscounts != 0, job);
      break;
    case InputLayout::kItineris:
      converted = PrepareItinerisJob(fs_, clock_, set_.inputDir, source, job);
      break;
    case InputLayout::kSarema:
      break;
  }
  if (!converted) {
    refused = true;
    return Status::Ok();
  }
  if (Status st = fs_.ReadAll(job, data); !st) return st;
  return fs_.WriteAll(x_.Dati, data);
}

bool JobRunner::ReadJobWhenFree(const std::string& name, bool& refused, std::string& data) {
  const std::string source = JoinPath(set_.inputDir, name);
  for (int retries = 0;;) {
    if (fs_.IsLink(source)) {
      handOffFailedOnDriverSide_ = true;  // the entry stays where it is
      return RefuseLink(name);
    }
    Status st = CopyJob(source, refused, data);
    if (st || refused) return true;
    if (++retries > kMaxCopyRetries) {
      // SR_DATI holds half a copy or the previous job: neither is this job.
      SubKillFile(x_.Dati);
      ShowResult(kInputUnavailable + st.Message());
      return false;
    }
    host_.SleepDelay(100);
  }
}

Status JobRunner::RecordJob(const std::string& source, const std::string& data) {
  OpenRecords();
  const LocalDateTime now = clock_.Now();
  Job job;
  job.id = JobId(now, source, selectedKey_, clock_.MonotonicMs());
  job.input = source;
  job.key = selectedKey_;
  job.inputSize = data.size();
  if (set_.Layout() != InputLayout::kSarema) {
    std::string bytes;
    if (fs_.ReadAll(source, bytes)) job.inputSize = bytes.size();
  }
  job.layout = set_.Layout();
  job.port = set_.port;
  job.dataSize = data.size();
  job.dataChecksum = JobChecksum(data);
  job.time = now.Stamp();
  return journal_.Record(job);
}

bool JobRunner::SendFileToKora1(const std::string& name) {
  const std::string source = JoinPath(set_.inputDir, name);
  input_ = source;
  handOffFailedOnDriverSide_ = false;

  bool failed = false;
  std::string data;
  if (!ReadJobWhenFree(name, failed, data)) return false;

  // From here on a failure lies with KORA1's exchange files, not the input.
  std::string errorText;
  auto step = [&](const Status& st) {
    if (!failed && !st) {
      failed = handOffFailedOnDriverSide_ = true;
      errorText = st.Message();
    }
  };
  const std::string kora1Dir = DirName(x_.Start);
  // The job is on disk before anything can start it. The previous job's
  // SR_OUT and FINESCO would read as this job's verdict if KORA1 takes the
  // job late, or come back after a power cut; KORA1 removes them itself
  // when it takes one.
  if (!failed) step(fs_.Flush(x_.Dati));
  if (!failed) step(KillFile(x_.Out));
  if (!failed) step(KillFile(x_.End));
  if (!failed) step(fs_.FlushFolder(kora1Dir));
  // The job is recorded before KORA1 can take it, so that after a crash it
  // is settled from KORA1's files and never sent twice.
  if (!failed) step(RecordJob(source, data));
  if (!failed) step(fs_.WriteAll(x_.Start, "1\r\n"));
  if (failed) {
    // No half-made job and no start signal without its job are left behind.
    SubKillFile(x_.Start);
    SubKillFile(x_.Dati);
    journal_.Settle(false);
    ShowResult(kInputUnavailable + errorText);
    return false;
  }
  // KORA1 may have the job from here on: nothing is undone. A start signal
  // neither on disk nor taken leaves the record as it is, which settles a
  // crash from now on as an unknown outcome rather than a job to wait for.
  const bool onDisk = fs_.Flush(x_.Start) && fs_.FlushFolder(kora1Dir);
  if (onDisk || !fs_.Exists(x_.Start)) journal_.MarkStarted();
  events_.Taken(JobInFlight());
  return true;
}

}  // namespace dorvane
