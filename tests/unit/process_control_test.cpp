// Finding and closing KORA1's process and waiting in slices, on fakes and a
// virtual clock.
#include <gtest/gtest.h>

#include "support/fakes.h"

namespace dorvane::test {
namespace {

class ProcessControlTest : public ::testing::Test {
 protected:
  Dispatcher& d() { return *h.d; }
  // A process whose module list cannot be read, with that error code.
  void AddUnreadable(std::int32_t pid, int modulesError) { h.processes.procs.push_back({pid, {0, modulesError, "", ""}}); }
  Harness h;
};

TEST_F(ProcessControlTest, SearchMatchesTheBaseNameInAnyCaseButNotWithoutExtension) {
  h.processes.Add(4, "System", 5);
  h.processes.Add(10, "explorer.exe");
  h.processes.Add(20, "kkora1.exe");
  EXPECT_TRUE(d().SearchProcess("kkora1.exe"));
  EXPECT_TRUE(d().SearchProcess("KKORA1.EXE"));
  EXPECT_TRUE(d().SearchProcess("KKora1.Exe"));
  EXPECT_FALSE(d().SearchProcess("kkora1"));
  EXPECT_FALSE(d().SearchProcess("kkora1.exe "));
  EXPECT_FALSE(d().SearchProcess("kora1.exe"));
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(ProcessControlTest, AnEmptyNameNeverMatchesAnUnreadableProcess) {
  h.processes.Add(4, "System", 5);
  EXPECT_FALSE(d().SearchProcess(""));
  EXPECT_FALSE(d().SearchProcessAndKillIt(""));
  EXPECT_TRUE(h.processes.closeRequests.empty());
}

TEST_F(ProcessControlTest, UnreadableProcessesAreSkippedSilentlyWithTheExpectedCodes) {
  h.processes.Add(4, "kkora1.exe", 5);  // access denied
  h.processes.Add(8, "kkora1.exe", 87);  // vanished
  AddUnreadable(12, 5);
  AddUnreadable(16, 299);  // the other bitness: only part of a read
  h.processes.Add(20, "kkora1.exe");
  EXPECT_TRUE(d().SearchProcess("kkora1.exe"));
  EXPECT_TRUE(h.ui.messages.empty());

  ProcessInfoC denied = d().ProcessInfo(4);
  EXPECT_EQ(denied.PID, 4);
  EXPECT_EQ(denied.Name, "");
  EXPECT_EQ(denied.FileName, "");
  ProcessInfoC found = d().ProcessInfo(20);
  EXPECT_EQ(found.PID, 20);
  EXPECT_EQ(found.Name, "kkora1.exe");
  EXPECT_EQ(found.FileName, "C:\\bin\\kkora1.exe");
}

TEST_F(ProcessControlTest, OtherErrorsShowTheSystemTextAndTheSearchGoesOn) {
  h.processes.Add(4, "x.exe", 6);
  AddUnreadable(8, 87);  // quiet when opening, not when reading the modules
  h.processes.Add(12, "kkora1.exe");
  EXPECT_TRUE(d().SearchProcess("kkora1.exe"));
  ASSERT_EQ(h.ui.messages.size(), 2u);
  EXPECT_EQ(h.ui.messages[0], "Error 6: system error 6");
  EXPECT_EQ(h.ui.messages[1], "Error 87: system error 87");
  EXPECT_EQ(d().ProcessInfo(8).FileName, "");
}

TEST_F(ProcessControlTest, KillAsksOnlyTheFirstMatchAndGivesItThreeSeconds) {
  h.processes.Add(30, "notepad.exe");
  h.processes.Add(40, "KKORA1.EXE");
  h.processes.Add(50, "kkora1.exe");
  const std::int64_t before = h.clock.MonotonicMs();
  const int pumpsBefore = h.ui.eventPumps;
  EXPECT_TRUE(d().SearchProcessAndKillIt("kkora1.exe"));
  EXPECT_EQ(h.processes.closeRequests, std::vector<std::int32_t>{40});
  EXPECT_EQ(h.clock.MonotonicMs() - before, 3000);
  EXPECT_EQ(h.ui.eventPumps - pumpsBefore, 60);
}

TEST_F(ProcessControlTest, KillWithoutMatchRunsNothingAndDoesNotWait) {
  h.processes.Add(30, "notepad.exe");
  EXPECT_FALSE(d().SearchProcessAndKillIt("kkora1.exe"));
  EXPECT_FALSE(d().SearchProcessAndKillIt("notepad"));
  EXPECT_TRUE(h.processes.closeRequests.empty());
  EXPECT_EQ(h.clock.MonotonicMs(), 0);
}

TEST_F(ProcessControlTest, EmptyProcessListFindsNothing) {
  EXPECT_FALSE(d().SearchProcess("kkora1.exe"));
  EXPECT_FALSE(d().SearchProcessAndKillIt("kkora1.exe"));
}

TEST_F(ProcessControlTest, SleepDelayRoundsHalfToEvenAndWaitsWholeSlices) {
  struct Case {
    double timeout;
    int slices;
  } cases[] = {{0, 0},    {49, 0},     {49.4, 0},   {49.5, 1},  {50, 1}, {50.5, 1},   {99, 1},     {99.5, 2},
               {148.5, 2}, {149.5, 3}, {150.5, 3}, {3000, 60}, {-1, 0}, {-500, 0}, {2049.9, 41}};
  for (const Case& k : cases) {
    Harness fresh;
    fresh.d->SleepDelay(k.timeout);
    EXPECT_EQ(fresh.clock.MonotonicMs(), 50 * k.slices) << k.timeout;
    EXPECT_EQ(fresh.ui.eventPumps, k.slices) << k.timeout;
  }
}

TEST_F(ProcessControlTest, SleepDelayPumpsEventsAfterEachSlice) {
  std::vector<std::int64_t> pumpedAt;
  h.ui.onPump = [&] { pumpedAt.push_back(h.clock.MonotonicMs()); };
  d().SleepDelay(200);
  EXPECT_EQ(pumpedAt, (std::vector<std::int64_t>{50, 100, 150, 200}));
}

TEST_F(ProcessControlTest, HandlerQueuedDuringTheWaitRunsBeforeItReturns) {
  // A click arriving 120 ms into the wait is handled at the next pump.
  std::vector<std::function<void()>> queue;
  std::int64_t handledAt = -1;
  h.clock.At(120, [&] { queue.push_back([&] { handledAt = h.clock.MonotonicMs(); }); });
  h.ui.onPump = [&] {
    auto pending = std::move(queue);
    queue.clear();
    for (auto& f : pending) f();
  };
  d().SleepDelay(300);
  EXPECT_EQ(handledAt, 150);
}

TEST_F(ProcessControlTest, DueTimerTickRunsInsideTheWait) {
  h.processes.Add(20, "kkora1.exe");
  ASSERT_TRUE(d().Form_Load());
  ASSERT_TRUE(d().Ctl().Timer1.Enabled());
  ASSERT_TRUE(d().State().SR_Matr.empty());
  d().SleepDelay(2000);
  // The first tick came at 2000 ms and looked for KORA1's exchange files.
  EXPECT_FALSE(d().State().SR_Matr.empty());
  EXPECT_TRUE(d().Ctl().Timer1.Enabled());
}

}  // namespace
}  // namespace dorvane::test
