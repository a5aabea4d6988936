// Filing a finished job: KORA1's result into the output folder, the job and
// its error text into the error folder, then the input is deleted.
#include "driverlink/job_runner.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

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

Status JobRunner::CopyDurably(const std::string& from, const std::string& to) {
  Status st = fs_.Copy(from, to);
  if (!st) return st;
  st = fs_.Flush(to);
  if (st) st = fs_.FlushFolder(DirName(to));
  // A copy not known to be on disk is no filing: the input stays, alone.
  if (!st) fs_.Remove(to);
  return st;
}

bool JobRunner::DeleteInput() {
  // Only once its removal is on disk may the job's record go: a power cut
  // must not bring back an input that was filed.
  const std::string& input = input_;
  const bool there = fs_.Exists(input);
  if (!SubKillFile(input)) return false;
  return !there || fs_.FlushFolder(DirName(input)).ok();
}

bool JobRunner::Reported(const Status& st, bool& ok) {
  if (st) return true;
  host_.ShowMessage(st.Message());
  ok = false;
  return false;
}

bool JobRunner::Present(const std::string& path) { return !path.empty() && fs_.Exists(path); }

void JobRunner::WriteSessionResult(const std::string& basePath, bool ok) {
  // Both files are extras for other programs: a failed write is skipped.
  if (set_.AdHoc()) fs_.WriteAll(JoinPath(set_.outputDir, "finesco.001"), "finesco\r\n");
  if (set_.sessionResult == 0) return;
  fs_.WriteAll(basePath + ".BTO", ok ? "OK\r\n" : "KO\r\n");
}

void JobRunner::WriteRepFile(const std::string& name, int code) {
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  fs_.WriteAll(JoinPath(set_.outputDir, base + ".Rep"), std::to_string(code) + "\r\n");
}

bool JobRunner::HandleKora1Output() {
  if (!Present(x_.Out)) {
    // Printed without a result to file: the input stays, and is remembered.
    if (Present(input_)) TellSettled(Outcome::kPrinted, "", {});
    return false;
  }
  bool ok = true;
  const std::string name = BaseName(input_);
  host_.StripLeadingStar(JobHost::Extension::kOut);
  if (set_.fasyVola) WriteRepFile(name, 0);
  const std::string dest =
      JoinPath(set_.outputDir, set_.AdHoc() ? "SR_OUT.TXT" : name + set_.outExt);
  const bool filed = Reported(CopyDurably(x_.Out, dest), ok);
  WriteSessionResult(JoinPath(set_.errorDir, name), true);
  std::string answer;
  fs_.ReadAll(x_.Out, answer);
  TellSettled(Outcome::kPrinted, answer, filed ? std::vector<std::string>{dest} : std::vector<std::string>{});
  // The input is the only record of a printed receipt until its result is filed.
  if (!filed) return false;
  return DeleteInput() && ok;
}

bool JobRunner::HandleKora1Error(const std::string& message, Outcome outcome) {
  bool ok = true;
  if (!x_.Err.empty() && !fs_.Exists(x_.Err)) {
    Reported(fs_.WriteAll(x_.Err, "E599: " + message + "\r\n"), ok);
    host_.SleepDelay(500);
  }
  const std::string name = BaseName(input_);
  const bool adHoc = set_.AdHoc();
  if (set_.fasyVola) WriteRepFile(name, 3);
  host_.StripLeadingStar(JobHost::Extension::kErr);

  const std::string jobDest = JoinPath(set_.errorDir, adHoc ? name : name + set_.errExt);
  // The job goes to the error folder; a job that never reached KORA1 has no
  // job file, and then the input itself is filed, so it is never lost.
  std::string logged;
  std::vector<std::string> filedAs;
  bool filed = true;
  if (Present(x_.Dati)) {
    filed = Reported(CopyDurably(x_.Dati, jobDest), ok);
    logged = jobDest;
  } else if (Present(input_)) {
    // Half a receipt still being written is no copy of it.
    filed = !fs_.HeldByWriter(input_) && Reported(CopyDurably(input_, jobDest), ok);
    logged = jobDest;
  }
  if (filed && !logged.empty()) filedAs.push_back(logged);
  host_.LogEvent(kErrDriver, logged);

  if (Present(x_.Err)) {
    logged = JoinPath(set_.errorDir, adHoc ? "SR_ERR.TXT" : name + "_ERR" + set_.errExt);
    if (Reported(CopyDurably(x_.Err, logged), ok)) filedAs.push_back(logged);
    WriteSessionResult(JoinPath(set_.errorDir, name), false);
  }
  host_.LogEvent(kErrDriver, logged);

  bool paperOut = false;
  Reported(IsPaperOut(paperOut), ok);
  SetPaperOut(paperOut, message);
  TellSettled(outcome, outcome == Outcome::kUnknown ? "E599: " + message : message, std::move(filedAs));
  // The input goes before KORA1's report of it, so that a crash in between
  // never finds the report gone and the job still waiting for one.
  const bool deleted = filed && DeleteInput();  // not filed: its content is nowhere else
  SubKillFile(x_.Dati);
  if (!paperOut_) SubKillFile(x_.Err);
  return deleted && ok;
}

}  // namespace dorvane
