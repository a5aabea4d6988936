// kkora1: stand-in for the KORA1 print driver, for running DORVANE without a
// fiscal printer.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileio.h"
#include "options.h"
#include "platform.h"
#include "simulator.h"

using namespace dorvane::kkora1;

namespace {
constexpr const char* kVersion = "kkora1 1.0 (simulatore del driver KORA1)";
}

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const CommandLine line = ParseCommandLine(args, [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
  });
  if (!line.error.empty()) {
    std::fprintf(stderr, "kkora1: %s\n(try --help)\n", line.error.c_str());
    return 2;
  }
  const Options& options = line.options;
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts(kVersion);
    return 0;
  }

  std::string dataDir = options.dataDir;
  if (dataDir.empty()) {
    const std::string common = CommonAppDataDir();
    if (common.empty()) {
      std::fputs("kkora1: no common application-data folder; give --data-dir\n", stderr);
      return 2;
    }
    dataDir = JoinPath(common, "ZTKKORA1");
  }
  dataDir = StripTrailingSeparators(dataDir);

  std::string ports;
  for (int p : options.ports) ports += (ports.empty() ? "" : ",") + std::to_string(p);
  Log(std::string(kVersion) + " starting; data directory " + dataDir + ", ports " + ports);

  InstallCloseHandlers();
  Simulator simulator(options, dataDir);
  if (!simulator.Start()) {
    RemoveCloseHandlers();
    return 1;
  }
  if (options.registerPaths) {
    const std::string programDir = OwnProgramDir(argc > 0 ? argv[0] : nullptr);
    const Registration r = RegisterPaths(dataDir, programDir);
    if (r.ok)
      Log("registered ZTKKora1=" + dataDir + " and AppPath=" + programDir + " in " + r.where);
    else
      Log("could not register the directories in " + r.where + ": " + r.error);
    if (!r.customPathDataDir.empty() && r.customPathDataDir != dataDir)
      Log("warning: CustomPathDataDir=" + r.customPathDataDir + " in " + r.where +
          " sends DORVANE to another data directory");
  }
  Log("journal " + simulator.JournalPath());

  while (!CloseRequested() && !simulator.QuitRequested()) {
    simulator.Poll();
    SleepUnlessClosing(simulator.MillisToNextPoll());
  }
  Log(CloseRequested() ? "close requested" : "quit requested");
  simulator.Stop();
  RemoveCloseHandlers();
  Log("kkora1 ended");
  return 0;
}
