// Where DORVANE and KORA1 keep their files: KORA1's registry values, the OS
// version and the common application-data folder decide.
#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

void Dispatcher::VerifyAndSetPathFromRegistry() {
  std::string value;
  if (!system_.QueryKora1Value("ZTKKora1", value)) return;
  st_.CurrentKora1DataDir = value;
  if (system_.QueryKora1Value("CustomPathDataDir", value) && !value.empty()) st_.CurrentKora1DataDir = value;
  if (system_.QueryKora1Value("AppPath", value)) st_.CurrentKora1AppPathDir = value;
}

std::string Dispatcher::Read_CSIDL_COMMON_APPDATA() {
  std::string path = system_.CommonAppData();
  if (path.empty()) ui_.ShowMessage("Path non disponibile");
  return path;
}

bool Dispatcher::IsOS_Vista() { return system_.IsNt6OrLater(); }

void Dispatcher::CheckDorvaneDataDir() {
  std::string common = IsOS_Vista() ? Read_CSIDL_COMMON_APPDATA() : std::string();
  st_.CurrentDorvaneDataDir = common.empty() ? system_.OwnDirectory() : JoinPath(common, "ZTKDORVANE");
}

void Dispatcher::CheckKora1DataDir() {
  const std::string own = system_.OwnDirectory();
  if (!IsOS_Vista()) {
    st_.CurrentKora1AppPathDir = own;
    st_.CurrentKora1DataDir = own;
    return;
  }
  std::string common = Read_CSIDL_COMMON_APPDATA();
  if (!common.empty()) {
    st_.CurrentKora1DataDir = JoinPath(common, "ZTKKORA1");
    if (st_.CurrentKora1AppPathDir.empty()) st_.CurrentKora1AppPathDir = own;
  } else {
    st_.CurrentKora1AppPathDir = own;
    st_.CurrentKora1DataDir = own;
  }
  if (!fs_.IsDirectory(st_.CurrentKora1AppPathDir)) {
    ui_.ShowMessage(st_.CurrentKora1AppPathDir + " : DIR NON ESISTENTE");
    ui_.EndNow(1);
  }
}

void Dispatcher::AdoptKora1ProgramDir() {
  if (Trim(st_.CurrKora1PathSet).empty()) return;
  st_.CurrentKora1AppPathDir = st_.CurrKora1PathSet;
  // KORA1's data directory follows only while it is still the fallback.
  if (st_.CurrentKora1DataDir != st_.CurrentDorvaneDataDir) return;
  if (IsOS_Vista()) {
    std::string common = Read_CSIDL_COMMON_APPDATA();
    if (!common.empty()) st_.CurrentKora1DataDir = JoinPath(common, "ZTKKORA1");
  } else {
    st_.CurrentKora1DataDir = st_.CurrentKora1AppPathDir;
  }
}

// Both buttons hold the cycle while they change KORA1's identity, then put
// the timer back as it was: enabling it unconditionally would start a cycle
// the user had stopped, behind a button that still reads "START".
void Dispatcher::cmdSetKora1PathDir_Click() {
  const bool wasEnabled = c_.Timer1.Enabled();
  c_.Timer1.SetEnabled(false);
  Step([&] {
    c_.txtKora1PathDir.Set(c_.Dir1Path);
    st_.CurrKora1PathSet = c_.Dir1Path;
  });
  Step([&] { AdoptKora1ProgramDir(); });
  NormaliseProcessName();
  c_.Timer1.SetEnabled(wasEnabled);
}

void Dispatcher::cmdSetKora1Proc_Click() {
  const bool wasEnabled = c_.Timer1.Enabled();
  c_.Timer1.SetEnabled(false);
  st_.CurrKora1ProcName = c_.txtKora1ProcName.Text;
  NormaliseProcessName();
  c_.Timer1.SetEnabled(wasEnabled);
}

void Dispatcher::m_manual_Click() {
  const std::string path = JoinPath(st_.CurrentDorvaneDataDir, "ManDorvane.pdf");
  // Where a program cannot write into a user's data folder, the manual is
  // looked for second with the program: in the Linux package's documentation
  // folder, beside dorvane.exe on Windows.
  const std::string docDir = system_.InstalledDocDirectory();
  std::string found = path;
  if (!fs_.Exists(found) && !docDir.empty()) found = JoinPath(docDir, "ManDorvane.pdf");
  if (!fs_.Exists(found)) {
    ui_.ShowMessage("File: " + path + " non trovato");
    return;
  }
  if (!OpenDocument(found, "0")) ui_.ShowMessage("Operazione non eseguita: verificare presenza Reader ");
}

bool Dispatcher::OpenDocument(const std::string& path, const std::string& params) {
  // The opener's verdict, waited for about 2 s with the window's events
  // running: a desktop opener that shows the viewer itself ends only when
  // the viewer is closed, so one still running has opened the file. It is
  // never ended by us.
  const std::unique_ptr<ShellOpening> opening = processes_.ShellOpenFollowed(path, params, 1);
  ShellOpening::State state = opening->Poll();
  for (int slice = 0; slice < 40 && state == ShellOpening::State::Running; ++slice) {
    SleepDelay(50);
    state = opening->Poll();
  }
  return state != ShellOpening::State::Failed;
}

}  // namespace dorvane
