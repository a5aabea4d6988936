// Finding and closing KORA1's process, on fakes and a virtual clock.
#include <gtest/gtest.h>

#include "support/fakes.h"

namespace dorvane::test {
namespace {

class ProcessControl : public OnFakes {
 protected:
  // A process whose module list cannot be read, with that error code.
  void AddUnreadable(std::int32_t pid, int modulesError) { h.processes.procs.push_back({pid, {0, modulesError, "", ""}}); }
};

TEST_F(ProcessControl, SearchMatchesTheBaseNameInAnyCaseAndSkipsUnreadableProcessesQuietly) {
  EXPECT_FALSE(d().SearchProcess("kkora1.exe")) << "no process at all";
  h.processes.Add(4, "kkora1.exe", 5);   // access denied
  h.processes.Add(8, "kkora1.exe", 87);  // vanished
  AddUnreadable(12, 5);
  AddUnreadable(16, 299);  // the other bitness: only part of a read
  EXPECT_FALSE(d().SearchProcess("")) << "an empty name never matches an unreadable process";
  EXPECT_FALSE(d().SearchProcess("kkora1.exe"));
  h.processes.Add(20, "kkora1.exe");
  const std::pair<const char*, bool> names[] = {{"kkora1.exe", true}, {"KKora1.Exe", true}, {"kkora1", false},
                                                {"kkora1.exe ", false}, {"kora1.exe", false}};
  for (auto [name, found] : names) EXPECT_EQ(d().SearchProcess(name), found) << name;
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(d().ProcessInfo(4).Name, "");
  EXPECT_EQ(d().ProcessInfo(20).FileName, "C:\\bin\\kkora1.exe");
}

TEST_F(ProcessControl, OtherErrorsShowTheSystemTextAndTheSearchGoesOn) {
  h.processes.Add(4, "x.exe", 6);
  AddUnreadable(8, 87);  // quiet when opening, not when reading the modules
  h.processes.Add(12, "kkora1.exe");
  EXPECT_TRUE(d().SearchProcess("kkora1.exe"));
  EXPECT_EQ(h.ui.messages, (std::vector<std::string>{"Error 6: system error 6", "Error 87: system error 87"}));
}

TEST_F(ProcessControl, KillAsksOnlyTheFirstMatchAndGivesItThreeSeconds) {
  h.processes.Add(30, "notepad.exe");
  EXPECT_FALSE(d().SearchProcessAndKillIt("kkora1.exe"));
  EXPECT_FALSE(d().SearchProcessAndKillIt("notepad"));
  EXPECT_EQ(h.clock.MonotonicMs(), 0) << "no match, no wait";
  h.processes.Add(40, "KKORA1.EXE");
  h.processes.Add(50, "kkora1.exe");
  EXPECT_TRUE(d().SearchProcessAndKillIt("kkora1.exe"));
  EXPECT_EQ(h.processes.closeRequests, std::vector<std::int32_t>{40});
  EXPECT_EQ(h.clock.MonotonicMs(), 3000);
  EXPECT_EQ(h.ui.eventPumps, 60);
}

}  // namespace
}  // namespace dorvane::test
