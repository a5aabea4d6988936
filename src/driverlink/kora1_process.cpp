// Finding and closing KORA1's process.
#include "driverlink/kora1_process.h"
#include "text/text.h"

namespace dorvane {

namespace {
// Codes for protected, vanished or foreign-bitness processes: expected, never shown.
bool Quiet(int code, int alsoQuiet) { return code == 0 || code == 5 || code == alsoQuiet; }
}  // namespace

ProcessInfoC Kora1Process::ProcessInfo(std::int32_t processId) {
  ProcessInfoC info;
  info.PID = processId;
  ProcessModule m = link_.processes.ReadModule(processId);
  auto report = [&](int code) {
    link_.host.ShowMessage("Error " + std::to_string(code) + ": " + link_.processes.ErrorText(code));
  };
  if (m.openError != 0) {
    if (!Quiet(m.openError, 87)) report(m.openError);
    return info;
  }
  if (m.modulesError != 0) {
    if (!Quiet(m.modulesError, 299)) report(m.modulesError);
    return info;
  }
  info.FileName = m.fileName;
  info.Name = m.name;
  return info;
}

namespace {
// A process whose name could not be read matches nothing, not even an empty name.
bool NameMatches(const ProcessInfoC& info, const std::string& wantedUpper) {
  return !info.Name.empty() && UpperAnsi(info.Name) == wantedUpper;
}
}  // namespace

bool Kora1Process::SearchProcess(const std::string& processName) {
  const std::string wanted = UpperAnsi(processName);
  // Idle ticks ask every interval: the process found last time is asked
  // first, which spares reading every other process.
  if (foundPid_ != 0 && NameMatches(ProcessInfo(foundPid_), wanted)) return true;
  for (std::int32_t pid : link_.processes.EnumerateIds()) {
    if (NameMatches(ProcessInfo(pid), wanted)) {
      foundPid_ = pid;
      return true;
    }
  }
  return false;
}

bool Kora1Process::SearchProcessAndKillIt(const std::string& processName) {
  const std::string wanted = UpperAnsi(processName);
  for (std::int32_t pid : link_.processes.EnumerateIds()) {
    if (!NameMatches(ProcessInfo(pid), wanted)) continue;
    link_.processes.AskToClose(pid);
    link_.host.SleepDelay(3000);  // KORA1's grace time to close by itself
    return true;
  }
  return false;
}

}  // namespace dorvane
