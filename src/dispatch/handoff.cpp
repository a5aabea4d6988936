// Handing one input file to KORA1: the job file SR_DATI first, then the
// start signal SR_START, so KORA1 never starts a job still being written.
#include "convert/fasyvola.h"
#include "convert/itineris.h"
#include "dispatch/dispatcher.h"
#include "driverlink/job_journal.h"
#include "text/paths.h"

namespace dorvane {

namespace {
constexpr const char* kInputUnavailable = "FILE DI INPUT NON DISPONIBILE: ";
constexpr int kMaxCopyRetries = 300;  // 100 ms apart: about 30 s for a writer to finish
}  // namespace

Status Dispatcher::CopyJob(const std::string& source, bool& refused, std::string& data) {
  if (fs_.HeldByWriter(source)) return Status::Of(kErrPermissionDenied);
  std::string job = source;
  bool converted = true;
  switch (c_.InputLayout()) {
    case 1:
      converted = PrepareFasyVolaJob(fs_, ui_, st_.CurrInputFilePath, source, c_.chkInversioneScontiSuReso.Value != 0,
                                     job);
      break;
    case 2:
      converted = PrepareItinerisJob(fs_, clock_, st_.CurrInputFilePath, source, job);
      break;
    default:
      break;
  }
  if (!converted) {
    refused = true;
    return Status::Ok();
  }
  if (Status st = fs_.ReadAll(job, data); !st) return st;
  return fs_.WriteAll(st_.SR_Dati, data);
}

bool Dispatcher::SendFileToKora1(const std::string& name) {
  const std::string source = JoinPath(st_.CurrInputFilePath, name);
  st_.CurrentSelectedFile = source;
  handOffFailedOnDriverSide_ = false;

  bool failed = false;
  std::string data;
  for (int retries = 0;;) {
    if (fs_.IsLink(source)) {
      handOffFailedOnDriverSide_ = true;  // the entry stays where it is
      return RefuseLink(name);
    }
    Status st = CopyJob(source, failed, data);
    if (st || failed) break;
    if (++retries > kMaxCopyRetries) {
      // SR_DATI holds half a copy or the previous job: neither is this job.
      SubKillFile(st_.SR_Dati);
      c_.txtKora1Result.Set(kInputUnavailable + st.Message());
      return false;
    }
    SleepDelay(100);
  }

  // From here on a failure lies with KORA1's exchange files, not the input.
  std::string errorText;
  auto step = [&](const Status& st) {
    if (!failed && !st) {
      failed = handOffFailedOnDriverSide_ = true;
      errorText = st.Message();
    }
  };
  const std::string kora1Dir = DirName(st_.SR_Start);
  // The job is on disk before anything can start it. The previous job's
  // SR_OUT and FINESCO would read as this job's verdict if KORA1 takes the
  // job late, or come back after a power cut; KORA1 removes them itself
  // when it takes one.
  if (!failed) step(fs_.Flush(st_.SR_Dati));
  if (!failed) step(KillFile(st_.SR_Out));
  if (!failed) step(KillFile(st_.SR_End));
  if (!failed) step(fs_.FlushFolder(kora1Dir));
  // The job is recorded before KORA1 can take it, so that after a crash it
  // is settled from KORA1's files and never sent twice.
  if (!failed) {
    journal_.Open(JournalFolder());
    const LocalDateTime now = clock_.Now();
    step(journal_.Record({JobRecord::kRecorded, source, selectedKey_, st_.CurrKora1ActiveCom, data.size(),
                          JobChecksum(data), now.Date() + " " + now.Time()}));
  }
  if (!failed) step(fs_.WriteAll(st_.SR_Start, "1\r\n"));
  if (failed) {
    // No half-made job and no start signal without its job are left behind.
    SubKillFile(st_.SR_Start);
    SubKillFile(st_.SR_Dati);
    journal_.Settle(false);
    c_.txtKora1Result.Set(kInputUnavailable + errorText);
    return false;
  }
  // KORA1 may have the job from here on: nothing is undone. A start signal
  // neither on disk nor taken leaves the record as it is, which settles a
  // crash from now on as an unknown outcome rather than a job to wait for.
  const bool onDisk = fs_.Flush(st_.SR_Start) && fs_.FlushFolder(kora1Dir);
  if (onDisk || !fs_.Exists(st_.SR_Start)) journal_.MarkStarted();
  return true;
}

}  // namespace dorvane
