// Handing one input file to KORA1: the job file SR_DATI first, then the
// start signal SR_START, so KORA1 never starts a job still being written.
#include "convert/fasyvola.h"
#include "convert/itineris.h"
#include "dispatch/dispatcher.h"
#include "text/paths.h"

namespace dorvane {

namespace {
constexpr const char* kInputUnavailable = "FILE DI INPUT NON DISPONIBILE: ";
constexpr int kMaxCopyRetries = 300;  // 100 ms apart: about 30 s for a writer to finish
}  // namespace

Status Dispatcher::CopyJob(const std::string& source, bool& refused) {
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
  return fs_.Copy(job, st_.SR_Dati);
}

bool Dispatcher::SendFileToKora1(const std::string& name) {
  const std::string source = JoinPath(st_.CurrInputFilePath, name);
  st_.CurrentSelectedFile = source;
  jobKey_ = source + "|" + selectedKey_;
  handOffFailedOnDriverSide_ = false;

  bool failed = false;
  for (int retries = 0;;) {
    Status st = CopyJob(source, failed);
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
  // The previous job's SR_OUT and FINESCO would read as this job's verdict
  // if KORA1 takes the job late; KORA1 removes them itself when it takes one.
  if (!failed) step(KillFile(st_.SR_Out));
  if (!failed) step(KillFile(st_.SR_End));
  if (!failed) step(fs_.WriteAll(st_.SR_Start, "1\r\n"));
  if (failed) {
    // No half-made job and no start signal without its job are left behind.
    SubKillFile(st_.SR_Start);
    SubKillFile(st_.SR_Dati);
    c_.txtKora1Result.Set(kInputUnavailable + errorText);
    return false;
  }
  return true;
}

}  // namespace dorvane
