#include "driverlink/job_filing.h"

#include <cstdio>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
constexpr const char* kFilingPending = "ARCHIVIAZIONE NON RIUSCITA, SARA' RIPETUTA: ";
constexpr const char* kFilingDone = "ARCHIVIAZIONE COMPLETATA";
constexpr const char* kFiledUnderOtherName = "ARCHIVIATO CON UN ALTRO NOME: ";
constexpr const char* kReleased = "SCONTRINI SUCCESSIVI SBLOCCATI, ARCHIVIAZIONE ANCORA IN ATTESA: ";

// A name the folder can never hold (too long, not valid there): waiting
// does not cure it.
bool NeverPasses(const Status& st) { return st.number == kErrBadFileName; }

// The short name such a filing goes under: the job's identity, or for a job
// without one, when it was taken and a hash of its input's path.
std::string OtherName(const Job& job) {
  std::string id = job.id;
  if (id.empty()) {
    for (char c : job.time)
      if (c >= '0' && c <= '9') id += c;
    char hash[12];
    std::snprintf(hash, sizeof hash, "-%08x", static_cast<unsigned>(JobChecksum(job.input)));
    id += hash;
  }
  return "DORV-" + id;
}
}  // namespace

void JobFiling::SweepLeftovers() {
  if (swept_) return;
  swept_ = true;
  for (const std::string* dir : {&link_.set.inputDir, &link_.set.outputDir, &link_.set.errorDir}) {
    std::vector<std::string> names;
    if (!link_.fs.ListFiles(*dir, names)) continue;
    for (const std::string& name : names)
      if (IsPlacingName(name)) link_.fs.Remove(JoinPath(*dir, name));
  }
}

Status JobFiling::DeleteInput(const std::string& input) {
  // Only once its removal is on disk may the job's record go: a power cut
  // must not bring back an input that was filed.
  const bool there = link_.fs.Exists(input);
  Status st = link_.KillFile(input);
  if (st && there) st = link_.fs.FlushFolder(DirName(input));
  return st;
}

Status JobFiling::DeleteOnceRecorded(Filing& f, bool& waits) {
  waits = !safety_.MayDeleteInput();
  if (!waits) return DeleteInput(f.job.input);
  link_.pending.Keep(f);
  return Status::Ok();
}

Status JobFiling::WriteSessionResult(const std::string& basePath, bool ok) {
  if (link_.set.AdHoc()) {
    if (Status st = PlaceDurably(link_.fs, JoinPath(link_.set.outputDir, "finesco.001"), "finesco\r\n"); !st) return st;
  }
  if (link_.set.sessionResult == 0) return Status::Ok();
  return PlaceDurably(link_.fs, basePath + ".BTO", ok ? "OK\r\n" : "KO\r\n");
}

Status JobFiling::WriteRepFile(const std::string& name, int code) {
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  return PlaceDurably(link_.fs, JoinPath(link_.set.outputDir, base + ".Rep"), std::to_string(code) + "\r\n");
}

std::string JobFiling::JobCopyPath(const std::string& name) const {
  return JoinPath(link_.set.errorDir, link_.set.AdHoc() ? name : name + link_.set.ErrExt());
}

std::string JobFiling::ErrorCopyPath(const std::string& name) const {
  return JoinPath(link_.set.errorDir, link_.set.AdHoc() ? "SR_ERR.TXT" : name + "_ERR" + link_.set.ErrExt());
}

Status JobFiling::PlaceFiling(Filing& f, std::vector<std::string>& names) {
  // A receipt put through the HTTP door is answered from its record: a
  // result in the output folder (SR_OUT.TXT in AdHoc mode) would be taken
  // as another program's.
  if (!f.job.requestKey.empty()) return Status::Ok();
  Status st = PlaceUnder(f, f.otherName.empty() ? BaseName(f.job.input) : f.otherName, names);
  if (st || !NeverPasses(st) || !f.otherName.empty()) return st;
  // Waiting would hold the till for ever: the same files go under a short
  // name made from the job's identity, and the operator is told where.
  f.otherName = OtherName(f.job);
  f.otherNameReason = st.Message();
  st = PlaceUnder(f, f.otherName, names);
  if (!st) return st;
  const std::string result = link_.set.AdHoc() ? "SR_OUT.TXT" : f.otherName + link_.set.OutExt();
  const std::string path = f.Printed() ? JoinPath(link_.set.outputDir, result) : JobCopyPath(f.otherName);
  otherNameLine_ = kFiledUnderOtherName + path + " (" + f.otherNameReason + ")";
  link_.host.LogEvent(kErr, otherNameLine_);
  link_.events.FiledUnderOtherName(f.job.input, path, f.otherNameReason);
  return st;
}

Status JobFiling::PlaceUnder(const Filing& f, const std::string& name, std::vector<std::string>& names) {
  // Into the folders and with the names of the moment: a filing done later
  // follows the settings of then. Every file is whole or absent, and the
  // session result says "OK" only once the result is in place.
  auto place = [&](const std::string& path, const std::string& bytes) {
    Status st = PlaceDurably(link_.fs, path, bytes);
    if (st) names.push_back(path);
    return st;
  };
  Status st;
  if (f.Printed()) {
    link_.host.StripLeadingStar(JobHost::Extension::kOut);
    if (link_.set.fasyVola) st = WriteRepFile(name, 0);
    const std::string result = link_.set.AdHoc() ? "SR_OUT.TXT" : name + link_.set.OutExt();
    if (st) st = place(JoinPath(link_.set.outputDir, result), f.answer);
    if (st) st = WriteSessionResult(JoinPath(link_.set.errorDir, name), true);
    return st;
  }
  if (link_.set.fasyVola) st = WriteRepFile(name, 3);
  link_.host.StripLeadingStar(JobHost::Extension::kErr);
  if (st && f.data) st = place(JobCopyPath(name), *f.data);
  if (st && f.errorText) st = place(ErrorCopyPath(name), *f.errorText);
  if (st && f.errorText) st = WriteSessionResult(JoinPath(link_.set.errorDir, name), false);
  return st;
}

std::string JobFiling::TakeOtherNameLine() {
  std::string line;
  line.swap(otherNameLine_);
  return line;
}

void JobFiling::KeepPending(Filing f, const Status& cause) {
  if (const Filing* kept = link_.pending.Find(f)) {
    f.told = kept->told;
    f.released = kept->released;
  } else {
    // Once the operator let the receipts go on, the ones after them fail the
    // same way: they wait too, without holding the cycle again.
    f.released = link_.pending.Released();
  }
  // Told once an episode: retries are quiet until the filing is done.
  const bool tell = !f.told;
  f.told = true;
  link_.pending.Keep(f);
  if (!tell) return;
  pendingCause_ = cause.Message();
  link_.host.LogEvent(kErr, kFilingPending + pendingCause_);
  link_.events.FilingFailed(f.job.input, pendingCause_);
}

bool JobFiling::RetryPendingFiling() {
  for (const Filing& f : std::vector<Filing>(link_.pending.All())) RetryOne(f);
  return !link_.pending.Holds();
}

void JobFiling::RetryOne(Filing f) {
  link_.input = f.job.input;
  Status st;
  if (!f.placed && (st = PlaceFiling(f, f.job.filedAs))) {
    f.placed = true;
    link_.pending.Keep(f);
  }
  // The records of the job first; quietly, the rule was told.
  if (st && !link_.events.Recorded()) return;
  // An input replaced by a new receipt of the same name is not this job's.
  if (st && selection_.FindFileInfo(f.job.input) == f.job.key) st = DeleteInput(f.job.input);
  if (!st) {
    KeepPending(f, st);
    return;
  }
  link_.pending.Done(f);
  link_.ShowResult(kFilingDone);
  link_.host.LogEvent(kOk, kFilingDone);
  link_.events.FiledLater(link_.input, f.job.filedAs);
}

bool JobFiling::LetReceiptsGoOn() {
  if (!link_.pending.Holds()) return false;
  for (const Filing& f : link_.pending.All())
    if (f.Holds()) link_.host.LogEvent(kErr, kReleased + f.job.input);
  link_.pending.ReleaseAll();
  return true;
}

bool JobFiling::HandleKora1Output() {
  if (!link_.Present(link_.x.Out)) {
    // Printed without a result to file: the input stays, and is remembered.
    if (link_.Present(link_.input)) link_.TellSettled(Outcome::kPrinted, "", Filing{});
    return false;
  }
  bool ok = true;
  Filing f;
  f.job = link_.JobInFlight();
  if (!link_.Reported(link_.fs.ReadAll(link_.x.Out, f.answer), ok)) {
    link_.TellSettled(Outcome::kPrinted, "", Filing{});
    return false;
  }
  Status st = PlaceFiling(f, f.job.filedAs);
  link_.TellSettled(Outcome::kPrinted, f.answer, f);
  // The input is the only record of a printed receipt until its result is
  // filed: until then the filing waits, beside the job journal. It is told
  // as a filing that waits, with no box that would stop the till.
  f.placed = st.ok();
  ok = ok && f.placed;
  bool waits = false;
  if (f.placed) st = DeleteOnceRecorded(f, waits);
  if (waits) return false;
  if (!f.placed || !st) {
    KeepPending(f, st);
    return false;
  }
  return ok;
}

bool JobFiling::HandleKora1Error(const std::string& message, Outcome outcome) {
  bool ok = true;
  if (!link_.x.Err.empty() && !link_.fs.Exists(link_.x.Err)) {
    link_.Reported(link_.fs.WriteAll(link_.x.Err, "E599: " + message + "\r\n"), ok);
    link_.host.SleepDelay(500);
  }
  Filing f;
  f.job = link_.JobInFlight();
  f.job.outcome = outcome;
  // The job goes to the error folder; a job that never reached KORA1 has no
  // job file, and then the input itself is filed, so it is never lost. Half
  // a receipt still being written is no copy of it: it stays where it is.
  bool readable = true, copied = false;
  for (const std::string* source : {&link_.x.Dati, &link_.input}) {
    if (!link_.Present(*source)) continue;
    std::string bytes;
    readable = !(source == &link_.input && link_.fs.HeldByWriter(link_.input)) &&
               link_.Reported(link_.fs.ReadAll(*source, bytes), ok);
    if (readable) f.data = bytes;
    copied = true;
    break;
  }
  if (link_.Present(link_.x.Err)) {
    std::string bytes;
    if (link_.Reported(link_.fs.ReadAll(link_.x.Err, bytes), ok)) f.errorText = bytes;
  }
  Status st = readable ? PlaceFiling(f, f.job.filedAs) : Status::Ok();
  // Where the files go: under the input's name, or the short one.
  const std::string name = f.otherName.empty() ? BaseName(link_.input) : f.otherName;
  std::string logged = copied ? JobCopyPath(name) : "";
  link_.host.LogEvent(kErrDriver, logged);
  if (f.errorText) logged = ErrorCopyPath(name);
  link_.host.LogEvent(kErrDriver, logged);

  bool paperOut = false;
  link_.Reported(monitor_.IsPaperOut(paperOut), ok);
  monitor_.SetPaperOut(paperOut, message);
  monitor_.FiledAsFailed();
  link_.TellSettled(outcome, outcome == Outcome::kUnknown ? "E599: " + message : message, f);
  // The input goes before KORA1's report of it, so that a crash in between
  // never finds the report gone and the job still waiting for one.
  bool deleted = false;
  if (readable) {
    f.placed = st.ok();
    ok = ok && f.placed;
    bool waits = false;
    if (f.placed) st = DeleteOnceRecorded(f, waits);
    deleted = st.ok() && !waits;
    if (!deleted && !waits) KeepPending(f, st);
  }
  link_.SubKillFile(link_.x.Dati);
  if (!monitor_.PaperOut()) link_.SubKillFile(link_.x.Err);
  return deleted && ok;
}

}  // namespace dorvane
