// Filing a finished job: KORA1's result into the output folder, the job and
// its error text into the error folder, then the input is deleted.
#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

Status Dispatcher::KillFile(const std::string& path) {
  Status last;
  for (int tries = 1;; ++tries) {
    if (path.empty() || !fs_.Exists(path)) return Status::Ok();
    last = fs_.Remove(path);
    if (last) return last;
    if (tries == 20) return last;
    SleepDelay(500);
  }
}

bool Dispatcher::SubKillFile(const std::string& sFile) { return KillFile(sFile).ok(); }

Status Dispatcher::CopyDurably(const std::string& from, const std::string& to) {
  Status st = fs_.Copy(from, to);
  if (!st) return st;
  st = fs_.Flush(to);
  if (st) st = fs_.FlushFolder(DirName(to));
  // A copy not known to be on disk is no filing: the input stays, alone.
  if (!st) fs_.Remove(to);
  return st;
}

bool Dispatcher::DeleteInput() {
  // Only once its removal is on disk may the job's record go: a power cut
  // must not bring back an input that was filed.
  const std::string& input = st_.CurrentSelectedFile;
  const bool there = fs_.Exists(input);
  if (!SubKillFile(input)) return false;
  return !there || fs_.FlushFolder(DirName(input)).ok();
}

bool Dispatcher::Reported(const Status& st, bool& ok) {
  if (st) return true;
  ShowError(st);
  ok = false;
  return false;
}

bool Dispatcher::Present(const std::string& path) { return !path.empty() && fs_.Exists(path); }

void Dispatcher::StripLeadingStar(TextBox& extension) {
  if (StartsWith(extension.Text, "*")) extension.Set(extension.Text.substr(1));
}

void Dispatcher::WriteSessionResult(const std::string& basePath, bool ok) {
  // Both files are extras for other programs: a failed write is skipped.
  if (c_.chkCompatAdHoc.Value == 1) fs_.WriteAll(JoinPath(st_.CurrOutputFilePath, "finesco.001"), "finesco\r\n");
  if (c_.chbOutUnitario.Value == 0) return;
  fs_.WriteAll(basePath + ".BTO", ok ? "OK\r\n" : "KO\r\n");
}

void Dispatcher::WriteRepFile(const std::string& name, int code) {
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  fs_.WriteAll(JoinPath(st_.CurrOutputFilePath, base + ".Rep"), std::to_string(code) + "\r\n");
}

bool Dispatcher::HandleKora1Output() {
  if (!Present(st_.SR_Out)) return false;
  bool ok = true;
  const std::string name = BaseName(st_.CurrentSelectedFile);
  StripLeadingStar(c_.txtOutExt);
  if (c_.OptionFasyVola.Value) WriteRepFile(name, 0);
  const std::string dest =
      JoinPath(st_.CurrOutputFilePath, c_.chkCompatAdHoc.Value == 1 ? "SR_OUT.TXT" : name + c_.txtOutExt.Text);
  const bool filed = Reported(CopyDurably(st_.SR_Out, dest), ok);
  WriteSessionResult(JoinPath(st_.CurrErrorFilePath, name), true);
  // The input is the only record of a printed receipt until its result is filed.
  if (!filed) return false;
  return DeleteInput() && ok;
}

bool Dispatcher::HandleKora1Error(const std::string& message) {
  bool ok = true;
  if (!st_.SR_Err.empty() && !fs_.Exists(st_.SR_Err)) {
    Reported(fs_.WriteAll(st_.SR_Err, "E599: " + message + "\r\n"), ok);
    SleepDelay(500);
  }
  const std::string name = BaseName(st_.CurrentSelectedFile);
  const bool adHoc = c_.chkCompatAdHoc.Value == 1;
  if (c_.OptionFasyVola.Value) WriteRepFile(name, 3);
  StripLeadingStar(c_.txtErrExt);

  const std::string jobDest = JoinPath(st_.CurrErrorFilePath, adHoc ? name : name + c_.txtErrExt.Text);
  // The job goes to the error folder; a job that never reached KORA1 has no
  // job file, and then the input itself is filed, so it is never lost.
  std::string logged;
  bool filed = true;
  if (Present(st_.SR_Dati)) {
    filed = Reported(CopyDurably(st_.SR_Dati, jobDest), ok);
    logged = jobDest;
  } else if (Present(st_.CurrentSelectedFile)) {
    // Half a receipt still being written is no copy of it.
    filed = !fs_.HeldByWriter(st_.CurrentSelectedFile) && Reported(CopyDurably(st_.CurrentSelectedFile, jobDest), ok);
    logged = jobDest;
  }
  LogEvent(kErrDriver, logged);

  if (Present(st_.SR_Err)) {
    logged = JoinPath(st_.CurrErrorFilePath, adHoc ? "SR_ERR.TXT" : name + "_ERR" + c_.txtErrExt.Text);
    Reported(CopyDurably(st_.SR_Err, logged), ok);
    WriteSessionResult(JoinPath(st_.CurrErrorFilePath, name), false);
  }
  LogEvent(kErrDriver, logged);

  bool paperOut = false;
  Reported(IsPaperOut(paperOut), ok);
  st_.isStatoErroreFineCarta = paperOut;
  // The input goes before KORA1's report of it, so that a crash in between
  // never finds the report gone and the job still waiting for one.
  const bool deleted = filed && DeleteInput();  // not filed: its content is nowhere else
  SubKillFile(st_.SR_Dati);
  if (!st_.isStatoErroreFineCarta) SubKillFile(st_.SR_Err);
  return deleted && ok;
}

}  // namespace dorvane
