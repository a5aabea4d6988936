// The dispatcher on fakes and a virtual clock, outside its cycle: start-up
// and shutdown, the switches, where DORVANE and KORA1 keep their files, the
// KORA1 buttons, finding and closing KORA1's process, the cycle's timer
// controls, the manual.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

using Registry = std::map<std::string, std::string>;
const std::vector<std::string> kLogOnConfig = {"1", "*.001", "  ", "", "", "", ".OUT", " 0 ", " 1 ", ".ERR", "2", "0"};

class Program : public OnFakes {
 protected:
  std::string DorvaneDir() const { return JoinPath(h.commonDir, "ZTKDORVANE"); }
  // A process whose module list cannot be read, with that error code.
  void AddUnreadable(std::int32_t pid, int modulesError) { h.processes.procs.push_back({pid, {0, modulesError, "", ""}}); }
};

TEST_F(Program, PlainStartHidesTheWindowAndStartsTheCycleOnKora1sDataFolder) {
  ASSERT_TRUE(d().Form_Load());
  EXPECT_TRUE(c().Timer1.Enabled());
  EXPECT_FALSE(h.ui.windowShown);
  EXPECT_TRUE(h.ui.topmost);
  EXPECT_TRUE(h.ui.trayPresent);
  EXPECT_FALSE(c().txtInputDir.Locked);
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.appDir);
  EXPECT_EQ(st().CurrentDorvaneDataDir, DorvaneDir());
  for (const std::string* dir : {&st().CurrentKora1DataDir, &st().CurrInputFilePath, &st().CurrErrorFilePath})
    EXPECT_EQ(*dir, h.kora1Dir);
  EXPECT_TRUE(x().Matr.empty()) << "start-up does not touch KORA1";
}

TEST_F(Program, SwitchesAreFoundAnywhereInAnyCase) {
  const std::tuple<const char*, bool, bool> cases[] = {
      {"", false, true},          {"/nonid", true, true},           {"/STOP", false, false},
      {"/stop /NonId", true, false}, {"xx/NONID/sToPyy", true, false}, {"/NON ID /ST OP", false, true}};
  for (auto [line, shown, running] : cases) {
    Harness fresh;
    fresh.system.commandLine = line;
    ASSERT_TRUE(fresh.d->Form_Load()) << line;
    EXPECT_EQ(fresh.ui.windowShown, shown) << line;
    EXPECT_EQ(fresh.d->Ctl().Timer1.Enabled(), running) << line;
  }
}

TEST_F(Program, FoldersAtStartUpFromRegistryConfigurationAndSystem) {
  struct Case {
    const char* name;
    bool nt6;
    Registry registry;
    std::string typedApp;  // line 14 of the configuration
    std::string data, app;
  } cases[] = {
      {"registry: no fallback, even for a missing program folder", true,
       {{"ZTKKora1", "C:\\K1\\DATA"}, {"AppPath", "C:\\K1"}}, "", "C:\\K1\\DATA", "C:\\K1"},
      {"registry: a custom data folder wins", true,
       {{"ZTKKora1", "C:\\K1\\DATA"}, {"CustomPathDataDir", "D:\\X"}, {"AppPath", "C:\\K1"}}, "", "D:\\X", "C:\\K1"},
      {"registry without data folder", true, {{"AppPath", "K1APP"}}, "", h.kora1Dir, h.appDir},
      {"before Vista, empty data folder", false, {{"ZTKKora1", ""}, {"AppPath", "C:\\K1"}}, "", h.appDir, h.appDir},
      {"typed program folder, data elsewhere", true, {}, "TYPEDAPP", h.kora1Dir, "TYPEDAPP"},
      {"typed program folder, data the fallback before Vista", false, {}, "TYPEDAPP", "TYPEDAPP", "TYPEDAPP"},
  };
  for (const Case& k : cases) {
    Harness fresh;
    fresh.system.nt6 = k.nt6;
    fresh.system.registry = k.registry;
    auto lines = kLogOnConfig;
    lines.resize(14, " 0 ");
    lines[13] = k.typedApp;
    fresh.PutConfig(lines, fresh.appDir);
    ASSERT_TRUE(fresh.d->Form_Load()) << k.name;
    EXPECT_EQ(fresh.d->State().CurrentKora1DataDir, k.data) << k.name;
    EXPECT_EQ(fresh.d->State().CurrentKora1AppPathDir, k.app) << k.name;
  }
}

TEST_F(Program, DataFolderDecisions) {
  const std::string k1app = h.Path("k1app");
  struct Case {
    const char* name;
    bool nt6, common;
    std::string appBefore, dataBefore, app, data, dorvane;
  } cases[] = {
      {"vista, no program folder", true, true, "", "", h.appDir, h.kora1Dir, DorvaneDir()},
      {"vista, program folder kept, data replaced", true, true, k1app, "REG", k1app, h.kora1Dir, DorvaneDir()},
      {"vista, no common folder", true, false, k1app, "REG", h.appDir, h.appDir, h.appDir},
      {"before vista", false, true, k1app, "REG", h.appDir, h.appDir, h.appDir},
  };
  for (const Case& k : cases) {
    Harness fresh;
    fresh.mem.AddDir(k1app);
    fresh.system.nt6 = k.nt6;
    if (!k.common) fresh.system.commonAppData = "";
    DispatchState& s = Probe::State(*fresh.d);
    s.CurrentKora1AppPathDir = k.appBefore;
    s.CurrentKora1DataDir = k.dataBefore;
    Probe::CheckKora1DataDir(*fresh.d);
    Probe::CheckDorvaneDataDir(*fresh.d);
    EXPECT_EQ(s.CurrentKora1AppPathDir, k.app) << k.name;
    EXPECT_EQ(s.CurrentKora1DataDir, k.data) << k.name;
    EXPECT_EQ(s.CurrentDorvaneDataDir, k.dorvane) << k.name;
    // Asked for the common folder only from Vista on, and told when it is missing.
    EXPECT_EQ(fresh.ui.messages.size(), k.nt6 && !k.common ? 2u : 0u) << k.name;
  }
  // A program folder that is not there ends the program, from Vista on.
  st().CurrentKora1AppPathDir = "C:\\NOPE";
  EXPECT_THROW(Probe::CheckKora1DataDir(d()), ProgramEnded);
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"C:\\NOPE : DIR NON ESISTENTE"});
}

TEST_F(Program, ChoosingTheProgramFolderMovesOnlyAFallbackDataFolder) {
  const std::string k1 = h.Path("k1");
  const std::tuple<bool, bool, std::string> cases[] = {
      {false, true, k1}, {true, true, h.kora1Dir}, {true, false, h.appDir} /* no common folder now either */};
  for (auto [nt6, common, data] : cases) {
    Harness fresh;
    fresh.system.nt6 = nt6;
    if (!common) fresh.system.commonAppData = "";
    DispatchState& s = Probe::State(*fresh.d);
    s.CurrentDorvaneDataDir = s.CurrentKora1DataDir = fresh.appDir;
    fresh.d->Ctl().Dir1Path = k1;
    fresh.d->cmdSetKora1PathDir_Click();
    EXPECT_EQ(s.CurrentKora1AppPathDir, k1) << nt6 << common;
    EXPECT_EQ(s.CurrentKora1DataDir, data) << nt6 << common;
  }
  // Data elsewhere: only the program folder changes, and nothing is saved.
  ASSERT_TRUE(d().Form_Load());
  c().Dir1Path = k1;
  d().cmdSetKora1PathDir_Click();
  EXPECT_EQ(c().txtKora1PathDir.Text, k1);
  EXPECT_EQ(st().CurrentKora1DataDir, h.kora1Dir);
  EXPECT_TRUE(st().SomethingModified);
  EXPECT_FALSE(h.mem.Has(JoinPath(h.appDir, "DORVCONF.txt")));
  // A blank one is shown but not adopted.
  c().Dir1Path = "   ";
  d().cmdSetKora1PathDir_Click();
  EXPECT_EQ(st().CurrKora1PathSet, "   ");
  EXPECT_EQ(st().CurrentKora1AppPathDir, k1);
}

TEST_F(Program, Kora1ButtonsNormaliseTheNameAndPutTheTimerBackAsItWas) {
  const std::pair<const char*, const char*> cases[] = {
      {"kkora1", "kkora1.exe"}, {"KKORA1.EXE", "KKORA1.EXE"}, {"k.Exe.old", "k.Exe.old"}, {"   ", "kkora1.exe"}, {" k2", " k2.exe"}};
  ASSERT_TRUE(d().Form_Load());
  for (bool running : {true, false}) {
    if (!running) d().cmdEnableTimer_Click();  // a cycle the user stopped stays stopped
    for (auto [typed, name] : cases) {
      c().txtKora1ProcName.Set(typed);
      d().cmdSetKora1Proc_Click();
      EXPECT_EQ(st().CurrKora1ProcName, name) << typed;
      EXPECT_EQ(c().Timer1.Enabled(), running);
    }
    d().cmdSetKora1PathDir_Click();
    EXPECT_EQ(c().Timer1.Enabled(), running);
  }
}

TEST_F(Program, ManualFromTheDataFolderElseTheInstalledDocumentationElseNotFound) {
  st().CurrentDorvaneDataDir = DorvaneDir();
  const std::string manual = JoinPath(DorvaneDir(), "ManDorvane.pdf");
  h.system.docDir = h.Path("doc");
  const std::string installed = JoinPath(h.system.docDir, "ManDorvane.pdf");
  d().m_manual_Click();
  h.mem.Put(installed, "%PDF");
  d().m_manual_Click();
  h.mem.Put(manual, "%PDF");
  d().m_manual_Click();  // the data folder's own copy comes first
  EXPECT_EQ(h.processes.opened, (std::vector<std::string>{installed + "|0|1", manual + "|0|1"}));
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"File: " + manual + " non trovato"});
}

// A desktop opener (xdg-open) tells a missing viewer by its exit status and
// runs a viewer it found in the foreground until it is closed: its verdict
// is waited for about 2 s, with the window's events running.
TEST_F(Program, ManualOpenerFailureIsReportedAndAStillRunningOpenerHasOpenedIt) {
  st().CurrentDorvaneDataDir = DorvaneDir();
  h.mem.Put(JoinPath(DorvaneDir(), "ManDorvane.pdf"), "%PDF");
  // Opener works; ms to its verdict (-1: still running); reported; virtual ms the click took.
  const std::tuple<bool, std::int64_t, bool, std::int64_t> cases[] = {
      {false, 0, true, 0}, {false, 1500, true, 1500}, {false, 2500, false, 2000}, {true, 300, false, 300}, {true, -1, false, 2000}};
  for (auto [works, openerMs, reported, tookMs] : cases) {
    h.ui.messages.clear();
    h.processes.shellOpenWorks = works, h.processes.openerMs = openerMs;
    const std::int64_t start = h.clock.MonotonicMs(), pumps = h.ui.eventPumps;
    d().m_manual_Click();
    EXPECT_EQ(h.ui.messages, std::vector<std::string>(reported, "Operazione non eseguita: verificare presenza Reader "));
    EXPECT_NEAR(static_cast<double>(h.clock.MonotonicMs() - start), static_cast<double>(tookMs), 50) << openerMs;
    EXPECT_GE(h.ui.eventPumps - pumps, tookMs / 50) << openerMs << ": the window must not freeze";
  }
}

TEST_F(Program, CloseWaitsForTheCycleLogsAndAsksTheFirstKora1ToClose) {
  h.PutConfig(kLogOnConfig, h.appDir);
  h.processes.Add(10, "other.exe");
  h.processes.Add(20, "KKORA1.EXE");
  h.processes.Add(30, "kkora1.exe");
  d().Form_Load();
  c().chbExitKora1.Set(1);
  st().SomethingModified = false;
  d().m_esci_Click();
  EXPECT_TRUE(d().Ended());
  // The next tick came inside the wait and left the timer off; then the notice's two seconds.
  EXPECT_GE(h.clock.MonotonicMs(), 2000 + 2000);
  EXPECT_EQ(h.processes.closeRequests, std::vector<std::int32_t>{20});
  EXPECT_EQ(Count(h.Log(), "OK:  |AVVIO di ZTK DORVANE|") + Count(h.Log(), "OK:  |CHIUSURA ZTK DORVANE|"), 2) << h.Log();
  EXPECT_TRUE(h.ui.closingNoticeShown && !h.ui.trayPresent);

  Harness untouched;  // the box left clear: KORA1 stays
  untouched.processes.Add(20, "kkora1.exe");
  untouched.d->Form_Load();
  untouched.d->m_esci_Click();
  EXPECT_TRUE(untouched.processes.closeRequests.empty());
}

TEST_F(Program, CloseQuestionOnlyAfterAnUnsavedChange) {
  for (auto [saveFirst, yes] : {std::pair{false, true}, {true, false}, {false, false}}) {
    Harness f;
    f.ui.answerYes = yes;
    f.d->Form_Load();
    f.d->Ctl().txtOutputDir.Set("OUT");
    if (saveFirst) f.d->cmdSaveConfig_Click();
    f.d->m_esci_Click();
    EXPECT_EQ(f.ui.questions, std::vector<std::string>(saveFirst ? 0 : 1, "Salvare i Parametri modificati ?"));
    EXPECT_EQ(f.mem.Has(JoinPath(f.appDir, "DORVCONF.txt")), saveFirst || yes) << saveFirst << yes;
  }
}

TEST_F(Program, CloseRequestedInsideATickWaitsForTheTickToEnd) {
  h.processes.Add(20, "kkora1.exe");  // found, so only the close can keep the timer off
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
  EXPECT_FALSE(c().Timer1.Enabled());  // the tick saw the close and did not re-arm
  d().RunPending();
  EXPECT_TRUE(d().Ended());
}

TEST_F(Program, ProcessSearchMatchesTheBaseNameInAnyCaseAndSkipsUnreadableProcessesQuietly) {
  EXPECT_FALSE(process().SearchProcess("kkora1.exe")) << "no process at all";
  h.processes.Add(4, "kkora1.exe", 5);   // access denied
  h.processes.Add(8, "kkora1.exe", 87);  // vanished
  AddUnreadable(12, 5);
  AddUnreadable(16, 299);  // the other bitness: only part of a read
  EXPECT_FALSE(process().SearchProcess("")) << "an empty name never matches an unreadable process";
  EXPECT_FALSE(process().SearchProcess("kkora1.exe"));
  h.processes.Add(20, "kkora1.exe");
  const std::pair<const char*, bool> names[] = {{"kkora1.exe", true}, {"KKora1.Exe", true}, {"kkora1", false},
                                                {"kkora1.exe ", false}, {"kora1.exe", false}};
  for (auto [name, found] : names) EXPECT_EQ(process().SearchProcess(name), found) << name;
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(process().ProcessInfo(4).Name, "");
  EXPECT_EQ(process().ProcessInfo(20).FileName, "C:\\bin\\kkora1.exe");
  // Other errors show the system's text, and the search goes on.
  Harness other;
  other.processes.Add(4, "x.exe", 6);
  other.processes.procs.push_back({8, {0, 87, "", ""}});  // quiet when opening, not when reading the modules
  other.processes.Add(12, "kkora1.exe");
  EXPECT_TRUE(Probe::Process(*other.d).SearchProcess("kkora1.exe"));
  EXPECT_EQ(other.ui.messages, (std::vector<std::string>{"Error 6: system error 6", "Error 87: system error 87"}));
}

TEST_F(Program, ProcessKillAsksOnlyTheFirstMatchAndGivesItThreeSeconds) {
  h.processes.Add(30, "notepad.exe");
  EXPECT_FALSE(process().SearchProcessAndKillIt("kkora1.exe"));
  EXPECT_FALSE(process().SearchProcessAndKillIt("notepad"));
  EXPECT_EQ(h.clock.MonotonicMs(), 0) << "no match, no wait";
  h.processes.Add(40, "KKORA1.EXE");
  h.processes.Add(50, "kkora1.exe");
  EXPECT_TRUE(process().SearchProcessAndKillIt("kkora1.exe"));
  EXPECT_EQ(h.processes.closeRequests, std::vector<std::int32_t>{40});
  EXPECT_EQ(h.clock.MonotonicMs(), 3000);
  EXPECT_EQ(h.ui.eventPumps, 60);
}

TEST_F(Program, TimerIntervalRule) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"2", 2000, "2"},        {"1.5", 1500, "1.5"},   {"0.5", 500, "0.5"},      {"60", 60000, "60"},
      {"75", 60000, "60"},     {"250", 250, "250ms"},  {"60000", 60000, "60000ms"}, {"90000", 60000, "60"},
      {"-5", 2000, "1"},       {"", 2000, "1"},        {"0.0004", 0, "0.0004"},  {"0.0025", 2, "0.0025"}};
  for (auto [text, ms, field] : cases) {
    Harness fresh;
    fresh.d->CalculateTimer(text);
    EXPECT_EQ(fresh.d->State().iStdTimerVal, ms) << text;
    EXPECT_EQ(fresh.d->Ctl().txtTimerVal.Text, field) << text;
  }
}

TEST_F(Program, TimerSetTimerAppliesTheFieldRefusesZeroAndKeepsTheCycleAsItWas) {
  h.system.commandLine = "/STOP";
  d().Form_Load();
  c().txtTimerVal.Set("a");
  EXPECT_EQ(c().txtTimerVal.Text, "") << "the field filter clears what is not a number";
  c().txtTimerVal.Set("0");
  st().SomethingModified = false;
  d().cmdChgTimer_Click();
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"Valore non ammesso"});
  EXPECT_EQ(c().Timer1.Interval(), 2000);
  EXPECT_FALSE(st().SomethingModified);

  c().txtTimerVal.Set("5");
  d().cmdChgTimer_Click();
  EXPECT_EQ(c().Timer1.Interval(), 5000);
  EXPECT_FALSE(c().Timer1.Enabled());
  EXPECT_TRUE(st().SomethingModified);
  d().CalculateTimer("250");  // shown as "250ms", applied as 250 ms
  d().cmdChgTimer_Click();
  EXPECT_EQ(c().Timer1.Interval(), 250);
}

TEST_F(Program, TimerTicksNeverOverlapEvenWhenATickPumpsEvents) {
  d().Form_Load();
  int depth = 0, maxDepth = 0;
  h.ui.onPump = [&] {
    if (!d().InTick()) return;
    maxDepth = std::max(maxDepth, ++depth);
    // A start/stop press inside the tick re-enables the timer and lets time pass.
    d().cmdEnableTimer_Click();
    h.clock.Sleep(5000);
    d().RunPending();
    --depth;
  };
  for (int i = 0; i < 5; ++i) {
    h.clock.Sleep(2000);
    d().RunPending();
  }
  EXPECT_EQ(maxDepth, 1);
}

}  // namespace
}  // namespace dorvane::test
