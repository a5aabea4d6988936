// DORVCONF.txt loader on arbitrary bytes: integrators edit the file by hand,
// so any content must load or stop with an error box, never crash or hang.
#include <cstdint>
#include <string>

#include "dispatch/dispatcher.h"
#include "fuzz_check.h"
#include "fuzz_ui.h"
#include "platform/sim/mem_filesystem.h"
#include "platform/sim/virtual_clock.h"
#include "text/paths.h"

using namespace dorvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  VirtualClock clock;
  MemFileSystem fs(&clock);
  for (const char* dir : {"/app", "/d", "/d/ZTKKORA1", "/d/ZTKDORVANE"}) fs.AddDir(dir);
  fs.Put(JoinPath("/app", "DORVCONF.txt"), std::string(reinterpret_cast<const char*>(data), size));
  fuzz::CountingUi ui;
  NoProcesses processes;
  FixedSystemInfo system;
  system.commonAppData = "/d";
  system.ownDirectory = "/app";
  system.commandLine = "/STOP";
  Dispatcher d(fs, clock, processes, system, ui);
  d.Form_Load();
  FUZZ_CHECK(ui.messages <= 1);  // loading stops at the first bad line
  FUZZ_CHECK(!d.State().CurrKora1ProcName.empty());
  const int ms = d.State().iStdTimerVal;
  FUZZ_CHECK(ms >= 0 && ms <= 60000);
  // Whatever loaded must save and load back without a new error.
  d.SaveConfig();
  return 0;
}
