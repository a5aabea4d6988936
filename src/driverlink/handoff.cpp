#include "driverlink/handoff.h"

#include <cstdio>

#include "convert/fasyvola.h"
#include "convert/itineris.h"
#include "text/paths.h"

namespace dorvane {

namespace {
constexpr const char* kInputUnavailable = "FILE DI INPUT NON DISPONIBILE: ";
constexpr const char* kJournalNotWritable = "REGISTRO DEI LAVORI NON SCRIVIBILE: ";
constexpr const char* kJournalWritableAgain = "REGISTRO DEI LAVORI DI NUOVO SCRIVIBILE: ";
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

Status HandOff::CopyJob(const std::string& source, bool& refused, std::string& data) {
  if (link_.fs.HeldByWriter(source)) return Status::Of(kErrPermissionDenied);
  std::string job = source;
  bool converted = true;
  // The conversions work beside the input: the input folder, or the door's spool.
  const std::string dir = link_.requestKey.empty() ? link_.set.inputDir : DirName(source);
  switch (link_.Layout()) {
    case InputLayout::kFasyVola:
      converted = PrepareFasyVolaJob(
          link_.fs, [this](const std::string& m) { link_.host.ShowMessage(m); }, dir, source,
          link_.set.invertDiscounts != 0, job);
      break;
    case InputLayout::kItineris:
      converted = PrepareItinerisJob(link_.fs, link_.clock, dir, source, job);
      break;
    case InputLayout::kSarema:
      break;
  }
  if (!converted) {
    refused = true;
    return Status::Ok();
  }
  if (Status st = link_.fs.ReadAll(job, data); !st) return st;
  return link_.fs.WriteAll(link_.x.Dati, data);
}

bool HandOff::ReadJobWhenFree(const std::string& source, bool& refused, std::string& data) {
  for (int retries = 0;;) {
    if (link_.fs.IsLink(source)) {
      failedOnDriverSide_ = true;  // the entry stays where it is
      return selection_.RefuseLink(BaseName(source));
    }
    Status st = CopyJob(source, refused, data);
    if (st || refused) return true;
    if (++retries > kMaxCopyRetries) {
      // SR_DATI holds half a copy or the previous job: neither is this job.
      link_.SubKillFile(link_.x.Dati);
      link_.ShowResult(kInputUnavailable + st.Message());
      return false;
    }
    link_.host.SleepDelay(100);
  }
}

Status HandOff::RecordJob(const std::string& source, const std::string& data) {
  link_.OpenRecords();
  const LocalDateTime now = link_.clock.Now();
  Job job;
  job.id = JobId(now, source, link_.key, link_.clock.MonotonicMs());
  job.input = source;
  job.key = link_.key;
  job.requestKey = link_.requestKey;
  job.inputSize = data.size();
  if (link_.Layout() != InputLayout::kSarema) {
    std::string bytes;
    if (link_.fs.ReadAll(source, bytes)) job.inputSize = bytes.size();
  }
  job.layout = link_.Layout();
  job.port = link_.set.port;
  job.dataSize = data.size();
  job.dataChecksum = JobChecksum(data);
  job.time = now.Stamp();
  return link_.journal.Record(job);
}

bool HandOff::Recorded(const Status& st) {
  const std::string folder = link_.JournalFolder();
  if (st) {
    if (journalDown_) {
      journalDown_ = false;
      link_.host.LogEvent(kOk, kJournalWritableAgain + folder);
      link_.events.JournalWritable(folder);
    }
    return true;
  }
  if (!journalDown_) {
    journalDown_ = true;
    link_.ShowResult(kJournalNotWritable + folder + " " + st.Message());
    link_.host.LogEvent(kErr, link_.result);
    link_.events.JournalUnwritable(folder, st.Message());
  }
  return false;
}

bool HandOff::SendFileToKora1(const std::string& source) {
  link_.input = source;
  failedOnDriverSide_ = false;

  if (!safety_.MayHandOver(source, link_.key)) return false;
  bool failed = false;
  std::string data;
  if (!ReadJobWhenFree(source, failed, data)) return false;

  // From here on a failure lies with KORA1's exchange files, not the input.
  std::string errorText;
  auto step = [&](const Status& st) {
    if (!failed && !st) {
      failed = failedOnDriverSide_ = true;
      errorText = st.Message();
    }
  };
  const std::string kora1Dir = DirName(link_.x.Start);
  // The job is on disk before anything can start it. The previous job's
  // SR_OUT and FINESCO would read as this job's verdict if KORA1 takes the
  // job late, or come back after a power cut; KORA1 removes them itself
  // when it takes one.
  if (!failed) step(link_.fs.Flush(link_.x.Dati));
  if (!failed) step(link_.KillFile(link_.x.Out));
  if (!failed) step(link_.KillFile(link_.x.End));
  if (!failed) step(link_.fs.FlushFolder(kora1Dir));
  // The job is recorded before KORA1 can take it, so that after a crash it
  // is settled from KORA1's files and never sent twice.
  // No job without its record: without one a crash could print it twice.
  bool recorded = true;
  if (!failed) {
    recorded = Recorded(RecordJob(source, data));
    failed = failedOnDriverSide_ = !recorded;
  }
  const bool asRecorded = failed || safety_.HandedOverAsRecorded();
  if (!failed && asRecorded) step(link_.fs.WriteAll(link_.x.Start, "1\r\n"));
  if (failed || !asRecorded) {
    // No half-made job and no start signal without its job are left behind.
    link_.SubKillFile(link_.x.Start);
    link_.SubKillFile(link_.x.Dati);
    link_.journal.Settle(false);
    if (asRecorded && recorded) link_.ShowResult(kInputUnavailable + errorText);
    return false;
  }
  // KORA1 may have the job from here on: nothing is undone. A start signal
  // neither on disk nor taken leaves the record as it is, which settles a
  // crash from now on as an unknown outcome rather than a job to wait for.
  const bool onDisk = link_.fs.Flush(link_.x.Start) && link_.fs.FlushFolder(kora1Dir);
  if (onDisk || !link_.fs.Exists(link_.x.Start)) link_.journal.MarkStarted();
  link_.events.Taken(link_.JobInFlight());
  return true;
}

}  // namespace dorvane
