// Filing a finished job: KORA1's result into the output folder, the job and
// its error text into the error folder, then the input is deleted. A filing
// that fails is kept and done again on later ticks.
#include "driverlink/job_runner.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kFilingPending = "ARCHIVIAZIONE NON RIUSCITA, SARA' RIPETUTA: ";
constexpr const char* kFilingDone = "ARCHIVIAZIONE COMPLETATA";
}  // namespace

void JobRunner::SweepLeftovers() {
  swept_ = true;
  for (const std::string* dir : {&set_.inputDir, &set_.outputDir, &set_.errorDir}) {
    std::vector<std::string> names;
    if (!fs_.ListFiles(*dir, names)) continue;
    for (const std::string& name : names)
      if (IsPlacingName(name)) fs_.Remove(JoinPath(*dir, name));
  }
}

Status JobRunner::KillFile(const std::string& path) {
  Status last;
  for (int tries = 1;; ++tries) {
    if (path.empty() || !fs_.Exists(path)) return Status::Ok();
    last = fs_.Remove(path);
    if (last) return last;
    if (tries == 20) return last;
    host_.SleepDelay(500);
  }
}

bool JobRunner::SubKillFile(const std::string& sFile) { return KillFile(sFile).ok(); }

Status JobRunner::DeleteInput(const std::string& input) {
  // Only once its removal is on disk may the job's record go: a power cut
  // must not bring back an input that was filed.
  const bool there = fs_.Exists(input);
  Status st = KillFile(input);
  if (st && there) st = fs_.FlushFolder(DirName(input));
  return st;
}

bool JobRunner::Reported(const Status& st, bool& ok) {
  if (st) return true;
  host_.ShowMessage(st.Message());
  ok = false;
  return false;
}

bool JobRunner::Present(const std::string& path) { return !path.empty() && fs_.Exists(path); }

Status JobRunner::WriteSessionResult(const std::string& basePath, bool ok) {
  if (set_.AdHoc()) {
    if (Status st = PlaceDurably(fs_, JoinPath(set_.outputDir, "finesco.001"), "finesco\r\n"); !st) return st;
  }
  if (set_.sessionResult == 0) return Status::Ok();
  return PlaceDurably(fs_, basePath + ".BTO", ok ? "OK\r\n" : "KO\r\n");
}

Status JobRunner::WriteRepFile(const std::string& name, int code) {
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  return PlaceDurably(fs_, JoinPath(set_.outputDir, base + ".Rep"), std::to_string(code) + "\r\n");
}

std::string JobRunner::JobCopyPath(const std::string& name) const {
  return JoinPath(set_.errorDir, set_.AdHoc() ? name : name + set_.ErrExt());
}

std::string JobRunner::ErrorCopyPath(const std::string& name) const {
  return JoinPath(set_.errorDir, set_.AdHoc() ? "SR_ERR.TXT" : name + "_ERR" + set_.ErrExt());
}

Status JobRunner::PlaceFiling(const Filing& f, std::vector<std::string>& names) {
  // Into the folders and with the names of the moment: a filing done later
  // follows the settings of then. Every file is whole or absent, and the
  // session result says "OK" only once the result is in place.
  const std::string name = BaseName(f.job.input);
  auto place = [&](const std::string& path, const std::string& bytes) {
    Status st = PlaceDurably(fs_, path, bytes);
    if (st) names.push_back(path);
    return st;
  };
  Status st;
  if (f.Printed()) {
    host_.StripLeadingStar(JobHost::Extension::kOut);
    if (set_.fasyVola) st = WriteRepFile(name, 0);
    if (st) st = place(JoinPath(set_.outputDir, set_.AdHoc() ? "SR_OUT.TXT" : name + set_.OutExt()), f.answer);
    if (st) st = WriteSessionResult(JoinPath(set_.errorDir, name), true);
    return st;
  }
  if (set_.fasyVola) st = WriteRepFile(name, 3);
  host_.StripLeadingStar(JobHost::Extension::kErr);
  if (st && f.data) st = place(JobCopyPath(name), *f.data);
  if (st && f.errorText) st = place(ErrorCopyPath(name), *f.errorText);
  if (st && f.errorText) st = WriteSessionResult(JoinPath(set_.errorDir, name), false);
  return st;
}

void JobRunner::KeepPending(const Filing& filing, const Status& cause) {
  // Another job's filing replaces one that only waited to delete its input.
  if (pending_.Get() && pending_.Get()->job.input != filing.job.input) pendingTold_ = false;
  pending_.Keep(filing);
  if (pendingTold_) return;
  // Told once an episode: retries are quiet until the filing is done.
  pendingTold_ = true;
  pendingCause_ = cause.Message();
  host_.LogEvent(kErr, kFilingPending + pendingCause_);
  events_.FilingFailed(filing.job.input, pendingCause_);
}

bool JobRunner::RetryPendingFiling() {
  if (!pending_.Get()) return true;
  Filing f = *pending_.Get();
  input_ = f.job.input;
  Status st;
  if (!f.placed && (st = PlaceFiling(f, f.job.filedAs))) {
    f.placed = true;
    pending_.Keep(f);
  }
  // An input replaced by a new receipt of the same name is not this job's.
  if (st && FindFileInfo(f.job.input) == f.job.key) st = DeleteInput(f.job.input);
  if (!st) {
    KeepPending(f, st);
    // A printed receipt whose result is in place is guarded by the journal:
    // the next receipts go on while its input waits to be deleted.
    return f.placed && f.Printed();
  }
  pending_.Done();
  pendingTold_ = false;
  ShowResult(kFilingDone);
  host_.LogEvent(kOk, kFilingDone);
  events_.FiledLater(input_, f.job.filedAs);
  return true;
}

bool JobRunner::HandleKora1Output() {
  if (!Present(x_.Out)) {
    // Printed without a result to file: the input stays, and is remembered.
    if (Present(input_)) TellSettled(Outcome::kPrinted, "", {});
    return false;
  }
  bool ok = true;
  Filing f;
  f.job = JobInFlight();
  if (!Reported(fs_.ReadAll(x_.Out, f.answer), ok)) {
    TellSettled(Outcome::kPrinted, "", {});
    return false;
  }
  std::vector<std::string> names;
  Status st = PlaceFiling(f, names);
  TellSettled(Outcome::kPrinted, f.answer, names);
  // The input is the only record of a printed receipt until its result is
  // filed: until then the filing waits, beside the job journal.
  f.placed = Reported(st, ok);
  f.job.filedAs = names;
  if (!f.placed || !(st = DeleteInput(input_))) {
    KeepPending(f, st);
    return false;
  }
  return ok;
}

bool JobRunner::HandleKora1Error(const std::string& message, Outcome outcome) {
  bool ok = true;
  if (!x_.Err.empty() && !fs_.Exists(x_.Err)) {
    Reported(fs_.WriteAll(x_.Err, "E599: " + message + "\r\n"), ok);
    host_.SleepDelay(500);
  }
  const std::string name = BaseName(input_);
  Filing f;
  f.job = JobInFlight();
  f.job.outcome = outcome;
  // The job goes to the error folder; a job that never reached KORA1 has no
  // job file, and then the input itself is filed, so it is never lost. Half
  // a receipt still being written is no copy of it: it stays where it is.
  bool readable = true;
  std::string logged;
  for (const std::string* source : {&x_.Dati, &input_}) {
    if (!Present(*source)) continue;
    std::string bytes;
    readable = !(source == &input_ && fs_.HeldByWriter(input_)) && Reported(fs_.ReadAll(*source, bytes), ok);
    if (readable) f.data = bytes;
    logged = JobCopyPath(name);
    break;
  }
  if (Present(x_.Err)) {
    std::string bytes;
    if (Reported(fs_.ReadAll(x_.Err, bytes), ok)) f.errorText = bytes;
  }
  std::vector<std::string> names;
  Status st = readable ? PlaceFiling(f, names) : Status::Ok();
  host_.LogEvent(kErrDriver, logged);
  if (f.errorText) logged = ErrorCopyPath(name);
  host_.LogEvent(kErrDriver, logged);

  bool paperOut = false;
  Reported(IsPaperOut(paperOut), ok);
  SetPaperOut(paperOut, message);
  TellSettled(outcome, outcome == Outcome::kUnknown ? "E599: " + message : message, std::move(names));
  // The input goes before KORA1's report of it, so that a crash in between
  // never finds the report gone and the job still waiting for one.
  bool deleted = false;
  if (readable) {
    f.placed = Reported(st, ok);
    f.job.filedAs = names;
    if (f.placed) st = DeleteInput(input_);
    deleted = st.ok();
    if (!deleted) KeepPending(f, st);
  }
  SubKillFile(x_.Dati);
  if (!paperOut_) SubKillFile(x_.Err);
  return deleted && ok;
}

}  // namespace dorvane
