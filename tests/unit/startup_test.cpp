// Start-up and shutdown of the dispatcher on fakes and a virtual clock.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

const std::vector<std::string> kLogOnConfig = {"1", "*.001", "  ", "", "", "", ".OUT", " 0 ", " 1 ", ".ERR", "2", "0"};

class StartupTest : public ::testing::Test {
 protected:
  Dispatcher& d() { return *h.d; }
  DispatchState& st() { return h.d->State(); }
  Controls& c() { return h.d->Ctl(); }
  std::string Log() { return h.mem.Content(JoinPath(h.kora1Dir, "DORVLOG.txt")); }
  int CountInLog(const std::string& text) {
    int n = 0;
    for (const auto& line : SplitLines(Log())) n += line.find(text) != std::string::npos;
    return n;
  }
  Harness h;
};

TEST_F(StartupTest, PlainStartHidesTheWindowAndStartsTheCycle) {
  ASSERT_TRUE(d().Form_Load());
  EXPECT_EQ(st().CurrKora1ActiveCom, "1");
  EXPECT_EQ(c().cboComSelect.ListIndex, 0);
  EXPECT_EQ(st().iStdTimerVal, 2000);
  EXPECT_EQ(c().Timer1.Interval(), 2000);
  EXPECT_TRUE(c().Timer1.Enabled());
  EXPECT_EQ(c().cmdEnableTimer.Caption, "STOP");
  EXPECT_EQ(c().cmdEnableTimer.BackColor, kLightRed);
  EXPECT_FALSE(h.ui.windowShown);
  EXPECT_TRUE(h.ui.topmost);
  EXPECT_TRUE(h.ui.trayPresent);
  EXPECT_EQ(h.ui.trayTip, " DORVANE in attesa di connessione con KORA1 ...");
  EXPECT_FALSE(st().SomethingModified);
  EXPECT_EQ(st().StatoEsecuzioneKora1, 0);
  EXPECT_EQ(st().CurrFileFilter, "*.00X");
  EXPECT_EQ(st().CurrKora1ProcName, "kkora1.exe");
  EXPECT_TRUE(c().OptionItinerisXml.Visible);
  EXPECT_FALSE(c().txtInputDir.Locked);
  EXPECT_FALSE(c().txtKora1PathDir.Locked);
  // Without configuration every directory is KORA1's data directory.
  EXPECT_EQ(st().CurrentKora1DataDir, h.kora1Dir);
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.appDir);
  EXPECT_EQ(st().CurrentDorvaneDataDir, JoinPath(h.commonDir, "ZTKDORVANE"));
  EXPECT_EQ(st().CurrInputFilePath, h.kora1Dir);
  EXPECT_EQ(st().CurrOutputFilePath, h.kora1Dir);
  EXPECT_EQ(st().CurrErrorFilePath, h.kora1Dir);
  // Start-up does not touch KORA1.
  EXPECT_TRUE(st().SR_Matr.empty());
  EXPECT_FALSE(st().StatoConnessioneKora1);
}

TEST_F(StartupTest, SwitchesAreFoundAnywhereInAnyCase) {
  struct Case {
    const char* line;
    bool shown, running;
  } cases[] = {
      {"", false, true},
      {"/nonid", true, true},
      {"/STOP", false, false},
      {"/stop /NonId", true, false},
      {"xx/NONID/sToPyy", true, false},
      {"/NON ID /ST OP", false, true},
  };
  for (const Case& k : cases) {
    Harness fresh;
    fresh.system.commandLine = k.line;
    ASSERT_TRUE(fresh.d->Form_Load()) << k.line;
    EXPECT_EQ(fresh.ui.windowShown, k.shown) << k.line;
    EXPECT_EQ(fresh.d->Ctl().Timer1.Enabled(), k.running) << k.line;
    EXPECT_EQ(fresh.d->Ctl().cmdEnableTimer.Caption, k.running ? "STOP" : "START") << k.line;
    EXPECT_EQ(fresh.ui.trayTip, kTipWaiting) << k.line;
  }
}

TEST_F(StartupTest, SecondInstanceEndsSilently) {
  h.PutConfig(kLogOnConfig, h.appDir);
  h.system.otherInstance = true;
  EXPECT_FALSE(d().Form_Load());
  EXPECT_TRUE(d().Ended());
  EXPECT_FALSE(h.ui.trayPresent);
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(Log(), "");
}

TEST_F(StartupTest, ProcessNameGetsExeUnlessItHasOne) {
  struct Case {
    const char* configured;
    const char* expected;
  } cases[] = {
      {"kkora1", "kkora1.exe"},
      {"KKORA1.EXE", "KKORA1.EXE"},
      {"k.ExE.bak", "k.ExE.bak"},
      {"  ", "kkora1.exe"},
      {"   ", "kkora1.exe"},
  };
  for (const Case& k : cases) {
    Harness fresh;
    auto lines = kLogOnConfig;
    lines.resize(15, " 0 ");
    lines[12] = " 0 ";
    lines[13] = " ";
    lines[14] = k.configured;
    fresh.PutConfig(lines, fresh.appDir);
    ASSERT_TRUE(fresh.d->Form_Load());
    EXPECT_EQ(fresh.d->State().CurrKora1ProcName, k.expected) << k.configured;
  }
}

TEST_F(StartupTest, Kora1DirectoriesFromTheRegistry) {
  h.system.registry = {{"ZTKKora1", "K1DATA"}, {"CustomPathDataDir", ""}, {"AppPath", h.appDir}};
  d().Form_Load();
  EXPECT_EQ(st().CurrentKora1DataDir, "K1DATA");
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.appDir);

  Harness custom;
  custom.system.registry = {{"ZTKKora1", "K1DATA"}, {"CustomPathDataDir", "XDATA"}, {"AppPath", "K1APP"}};
  custom.d->Form_Load();
  EXPECT_EQ(custom.d->State().CurrentKora1DataDir, "XDATA");
  EXPECT_EQ(custom.d->State().CurrentKora1AppPathDir, "K1APP");
}

TEST_F(StartupTest, RegistryWithoutDataDirectoryFallsBack) {
  h.system.registry = {{"AppPath", "K1APP"}};
  d().Form_Load();
  EXPECT_EQ(st().CurrentKora1DataDir, h.kora1Dir);
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.appDir);
}

TEST_F(StartupTest, TypedProgramDirectoryChangesOnlyTheProgramDirectoryWhenDataDiffers) {
  auto lines = kLogOnConfig;
  lines.resize(14, " 0 ");
  lines[13] = "TYPEDAPP";
  h.PutConfig(lines, h.appDir);
  d().Form_Load();
  EXPECT_EQ(st().CurrentKora1AppPathDir, "TYPEDAPP");
  EXPECT_EQ(st().CurrKora1PathSet, "TYPEDAPP");
  EXPECT_EQ(st().CurrentKora1DataDir, h.kora1Dir);
}

TEST_F(StartupTest, TypedProgramDirectoryBecomesTheDataDirectoryBeforeVistaWhenDataIsTheFallback) {
  h.system.nt6 = false;
  auto lines = kLogOnConfig;
  lines.resize(14, " 0 ");
  lines[13] = "TYPEDAPP";
  h.PutConfig(lines, h.appDir);
  d().Form_Load();
  EXPECT_EQ(st().CurrentKora1AppPathDir, "TYPEDAPP");
  EXPECT_EQ(st().CurrentKora1DataDir, "TYPEDAPP");
}

TEST_F(StartupTest, StartAndCloseEachLogOneLine) {
  h.PutConfig(kLogOnConfig, h.appDir);
  d().Form_Load();
  d().m_esci_Click();
  EXPECT_TRUE(d().Ended());
  EXPECT_EQ(CountInLog("OK:  |AVVIO di ZTK DORVANE|"), 1);
  EXPECT_EQ(CountInLog("OK:  |CHIUSURA ZTK DORVANE|"), 1);
  EXPECT_TRUE(h.ui.closingNoticeShown);
  EXPECT_FALSE(h.ui.trayPresent);
  EXPECT_FALSE(h.ui.windowShown);
  EXPECT_FALSE(c().Timer1.Enabled());
}

TEST_F(StartupTest, ClosingWaitsForTheRunningCycleAndShowsTheNoticeForTwoSeconds) {
  d().Form_Load();
  const std::int64_t before = h.clock.MonotonicMs();
  d().m_esci_Click();
  // The next tick came inside the wait and left the timer off.
  EXPECT_GE(h.clock.MonotonicMs() - before, 2000 + 2000);
  EXPECT_TRUE(st().InChiusura);
  EXPECT_TRUE(d().Ended());
}

TEST_F(StartupTest, CloseQuestionOnlyAfterAnUnsavedChange) {
  d().Form_Load();
  d().m_esci_Click();
  EXPECT_TRUE(h.ui.questions.empty());

  Harness changed;
  changed.d->Form_Load();
  changed.d->Ctl().txtOutputDir.Set("OUT");
  changed.d->m_esci_Click();
  EXPECT_EQ(changed.ui.questions, std::vector<std::string>{"Salvare i Parametri modificati ?"});
  EXPECT_FALSE(changed.mem.Has(JoinPath(changed.appDir, "DORVCONF.txt")));  // answered No

  Harness saved;
  saved.d->Form_Load();
  saved.d->Ctl().chbLogEnable.Set(1);
  saved.d->cmdSaveConfig_Click();
  saved.d->m_esci_Click();
  EXPECT_TRUE(saved.ui.questions.empty());

  Harness yes;
  yes.ui.answerYes = true;
  yes.d->Form_Load();
  yes.d->Ctl().txtOutputDir.Set("OUT");
  yes.d->m_esci_Click();
  EXPECT_EQ(SplitLines(yes.mem.Content(JoinPath(yes.appDir, "DORVCONF.txt")))[4], "OUT");
}

TEST_F(StartupTest, ClosingAsksOnlyTheFirstKora1ToClose) {
  h.processes.Add(10, "other.exe");
  h.processes.Add(20, "KKORA1.EXE");
  h.processes.Add(30, "kkora1.exe");
  d().Form_Load();
  c().chbExitKora1.Set(1);
  st().SomethingModified = false;
  d().m_esci_Click();
  EXPECT_EQ(h.processes.closeRequests, std::vector<std::int32_t>{20});

  Harness untouched;
  untouched.processes.Add(20, "kkora1.exe");
  untouched.d->Form_Load();
  untouched.d->m_esci_Click();
  EXPECT_TRUE(untouched.processes.closeRequests.empty());
}

TEST_F(StartupTest, CloseRequestedInsideATickWaitsForTheTickToEnd) {
  d().Form_Load();
  bool requested = false, endedInsideTick = false;
  // A close arriving while the tick lets events run (a menu click, a signal).
  h.ui.onPump = [&] {
    if (d().InTick() && !requested) {
      requested = true;
      d().RequestClose();
      endedInsideTick = d().Ended();
    }
  };
  h.clock.Sleep(2000);
  d().RunPending();
  ASSERT_TRUE(requested);
  EXPECT_FALSE(endedInsideTick);
  EXPECT_FALSE(d().InTick());
  EXPECT_FALSE(c().Timer1.Enabled());  // the tick saw the close and did not re-arm
  d().RunPending();
  EXPECT_TRUE(d().Ended());
}

}  // namespace
}  // namespace dorvane::test
