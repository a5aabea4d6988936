// Finding, starting and losing KORA1, as the cycle sees it.
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

class Connection : public Shop {
 protected:
  std::string Exe() { return JoinPath(st().CurrentKora1AppPathDir, "kkora1.exe"); }
};

TEST_F(Connection, Kora1AlreadyRunningIsConnectedOnTheFirstTick) {
  kora1.Start();
  Open();
  h.mem.Put(kora1.File("SR_OUT"), "stale");
  h.mem.Put(kora1.File("FINESCO"), "stale");
  h.RunFor(2000);
  EXPECT_TRUE(jobs().Snapshot().connected);
  // SR_MATR is KORA1's own, never ours to delete.
  EXPECT_EQ(There({kora1.File("SR_OUT"), kora1.File("FINESCO"), kora1.File("SR_MATR")}), "--+");
  EXPECT_TRUE(h.processes.opened.empty());
  EXPECT_EQ(h.clock.MonotonicMs(), 2000);
  EXPECT_EQ(LogEvents(), std::vector<std::string>{"OK:  |KORA1 CONNESSO (b)|"});
}

TEST_F(Connection, MissingKora1StopsTheCycleUntilStartIsPressed) {
  Open();
  h.RunFor(2000);
  EXPECT_TRUE(jobs().Snapshot().kora1NotFound);
  EXPECT_EQ(c().txtKora1Result.Text, "KORA1 NON TROVATO O DUMP NON ESEGUITO");
  EXPECT_EQ(c().cmdKora1Connection.BackColor, kRed);
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{"ERR: |KORA1 NON TROVATO O DUMP NON ESEGUITO|",
                                                   "ERR: |KORA1 NON CONNESSO|"}));
  EXPECT_FALSE(c().Timer1.Enabled());
  EXPECT_EQ(c().cmdEnableTimer.Caption, "STOP");
  h.RunFor(10000);
  EXPECT_EQ(LogEvents().size(), 2u);

  // The button finds the timer stopped and runs one more tick.
  d().cmdEnableTimer_Click();
  EXPECT_EQ(c().cmdEnableTimer.Caption, "STOP");
  h.RunFor(10000);
  EXPECT_EQ(LogEvents().size(), 4u);
  EXPECT_FALSE(c().Timer1.Enabled());
}

TEST_F(Connection, Kora1IsStartedAndGivenTimeToSettle) {
  Open();
  h.processes.programs.insert(Exe());
  h.processes.onOpen = [&](const std::string&) { h.clock.After(3000, [&] { kora1.Start(1000); }); };
  c().txtKora1Result.Set("KORA1 NON TROVATO O DUMP NON ESEGUITO");  // from an earlier try: cleared once started
  h.RunFor(2000);
  EXPECT_EQ(h.processes.opened, std::vector<std::string>{Exe() + "|0|2"});
  // Seen at the second 2-second check (6 s), then 5 s of settling.
  EXPECT_EQ(h.clock.MonotonicMs(), 11000);
  EXPECT_EQ(c().txtKora1Result.Text, "");
  EXPECT_EQ(LogEvents(), std::vector<std::string>{"OK:  |KORA1 CONNESSO (b)|"});
}

TEST_F(Connection, Kora1ThatNeverComesUpEndsTheProgramAtOnce) {
  Open();
  h.processes.programs.insert(Exe());
  c().chbLogEnable.Set(1);
  st().SomethingModified = true;
  EXPECT_THROW(h.RunFor(2000), ProgramEnded);
  EXPECT_EQ(h.clock.MonotonicMs(), 2000 + 10 * 2000);
  EXPECT_EQ(LogEvents(), std::vector<std::string>{"ERR: |KORA1 NON AVVIATO O DUMP NON ESEGUITO|"});
  // None of the closing steps: no question, no notice, no closing line.
  EXPECT_TRUE(h.ui.questions.empty());
  EXPECT_FALSE(h.ui.closingNoticeShown);
}

TEST_F(Connection, RunningKora1WithoutItsDumpIsAskedAgainEveryTick) {
  kora1.Start(5000);
  Open();
  h.mem.Put(kora1.File("SR_DATI"), "stale");
  h.RunFor(4000);
  EXPECT_FALSE(h.mem.Has(kora1.File("SR_DATI")));
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{"ERR: |KORA1 NON CONNESSO|", "ERR: |KORA1 NON CONNESSO|"}));
  // KORA1 was found running, so the tick after its dump is a connected one.
  h.RunFor(2000);
  EXPECT_EQ(LogEvents().back(), "OK:  |KORA1 CONNESSO (a)|");
  EXPECT_TRUE(h.processes.opened.empty());
}

TEST_F(Connection, AVanishedKora1IsNoticedOnTheNextIdleTicks) {
  kora1.Start();
  Open();
  h.RunFor(4000);
  ASSERT_TRUE(jobs().Snapshot().connected);
  kora1.Stop();
  h.RunFor(4000);
  EXPECT_EQ(c().cmdKora1Connection.Caption, "KORA1 NON CONNESSO");
  EXPECT_TRUE(jobs().Snapshot().kora1NotFound);
}

// Only ports 1 to 8 build the exchange paths; without a port the ticks idle
// and the timer keeps running.
TEST_F(Connection, OnlyPortsOneToEightBuildTheExchangePaths) {
  kora1.Start();
  Open();
  st().CurrKora1ActiveCom = "3";
  Probe::CheckKora1Dump(d());
  EXPECT_EQ(x().Matr + x().End, JoinPath(h.kora1Dir, "SR_MATR.003") + JoinPath(h.kora1Dir, "FINESCO.003"));
  for (const char* port : {"9", "0", "", "12"}) {
    st().CurrKora1ActiveCom = port;
    Probe::CheckKora1Dump(d());
    EXPECT_EQ(x().Dati, JoinPath(h.kora1Dir, "SR_DATI.003")) << port;
  }
  st().CurrKora1ActiveCom = "";
  h.RunFor(10000);
  EXPECT_TRUE(LogEvents().empty());
  EXPECT_TRUE(c().Timer1.Enabled());
}

}  // namespace
}  // namespace dorvane::test
