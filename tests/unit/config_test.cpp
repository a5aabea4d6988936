// DORVCONF.txt: the positional lines other shops already have files in.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  Dispatcher& d() { return *h.d; }
  DispatchState& st() { return h.d->State(); }
  Controls& c() { return h.d->Ctl(); }
  std::string OwnConfig() { return JoinPath(h.appDir, "DORVCONF.txt"); }
  std::string Kora1Config() { return JoinPath(h.kora1Dir, "DORVCONF.txt"); }
  std::vector<std::string> Saved() { return SplitLines(h.mem.Content(OwnConfig())); }
  // A full file with one line replaced.
  static std::vector<std::string> Full(int number = 0, const std::string& value = "") {
    std::vector<std::string> lines = {"1", "*.001", "  ", "IN", "OUT", "ERR", ".OUT", " 0 ", " 0 ", ".ERR",
                                      "2", "0", " 0 ", " ", "  ", " 0 ", " 0 ", " 0 "};
    if (number) lines[number - 1] = value;
    return lines;
  }
  Harness h;
};

TEST_F(ConfigTest, TheProgramDirectoryWinsAndSavingWritesOnlyThere) {
  h.PutConfig(Full(3, "OWN"), h.appDir);
  h.PutConfig(Full(3, "KORA"), h.kora1Dir);
  d().Form_Load();
  EXPECT_EQ(c().txtFilePrefix.Text, "OWN");
  d().cmdSaveConfig_Click();
  EXPECT_EQ(Saved()[2], "OWN");
  EXPECT_EQ(SplitLines(h.mem.Content(Kora1Config()))[2], "KORA");
}

TEST_F(ConfigTest, Kora1CopyIsLoadedAndTheFirstSaveCreatesTheProgramCopy) {
  h.PutConfig(Full(3, "KORA"), h.kora1Dir);
  d().Form_Load();
  EXPECT_EQ(c().txtFilePrefix.Text, "KORA");
  EXPECT_FALSE(h.mem.Has(OwnConfig()));
  d().cmdSaveConfig_Click();
  EXPECT_EQ(Saved()[2], "KORA");
  EXPECT_TRUE(h.mem.Has(Kora1Config()));
}

TEST_F(ConfigTest, PortLineThatIsNotANumberSelectsPortOne) {
  for (const char* line : {"COM3", "", "x"}) {
    Harness fresh;
    fresh.PutConfig(Full(1, line), fresh.appDir);
    fresh.d->Form_Load();
    EXPECT_EQ(fresh.d->State().CurrKora1ActiveCom, "1") << line;
    EXPECT_EQ(fresh.d->Ctl().cboComSelect.ListIndex, 0) << line;
    EXPECT_EQ(fresh.d->Ctl().txtFilePrefix.Text, "") << line;
    EXPECT_EQ(fresh.d->State().CurrInputFilePath, "IN") << line;
  }
}

TEST_F(ConfigTest, PortLineSelectsItsEntry) {
  h.PutConfig(Full(1, "3"), h.appDir);
  d().Form_Load();
  EXPECT_EQ(st().CurrKora1ActiveCom, "3");
  EXPECT_EQ(c().cboComSelect.ListIndex, 2);
}

TEST_F(ConfigTest, PortNineStopsLoadingWithAnErrorBox) {
  h.PutConfig(Full(1, "9"), h.appDir);
  d().Form_Load();
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0], ErrorDescription(kErrInvalidProperty) + " 380");
  // Lines 2 to 18 were not applied.
  EXPECT_EQ(st().CurrFileFilter, "*.00X");
  EXPECT_EQ(st().CurrInputFilePath, h.kora1Dir);
  EXPECT_TRUE(h.ui.topmost);
}

TEST_F(ConfigTest, BadCheckBoxLineStopsLoadingThere) {
  struct Case {
    const char* line;
    int error;
  } cases[] = {{"", kErrTypeMismatch}, {"x", kErrTypeMismatch}, {" 3 ", kErrInvalidProperty}, {"99999", kErrOverflow}};
  for (const Case& k : cases) {
    Harness fresh;
    auto lines = Full(9, k.line);
    lines[9] = ".XYZ";
    fresh.PutConfig(lines, fresh.appDir);
    fresh.d->Form_Load();
    ASSERT_EQ(fresh.ui.messages.size(), 1u) << k.line;
    EXPECT_EQ(fresh.ui.messages[0], Status::Of(k.error).Message()) << k.line;
    EXPECT_EQ(fresh.d->Ctl().txtOutExt.Text, ".OUT");   // line 7 applied
    EXPECT_EQ(fresh.d->Ctl().txtErrExt.Text, ".ERR");   // line 10 not
  }
}

TEST_F(ConfigTest, BlankFilterLoadsEmptyAndIsSavedAsStarDot001) {
  h.PutConfig(Full(2, "   "), h.appDir);
  d().Form_Load();
  EXPECT_EQ(c().txtFileFilter.Text, "");
  EXPECT_EQ(st().CurrFileFilter, "");
  d().cmdSaveConfig_Click();
  EXPECT_EQ(Saved()[1], "*.001");
  EXPECT_EQ(st().CurrFileFilter, "*.001");
  EXPECT_EQ(c().txtFileFilter.Text, "");
}

TEST_F(ConfigTest, LayoutLine) {
  struct Case {
    const char* line;
    int layout;
  } cases[] = {{"0", 0}, {"1", 1}, {" 2 ", 2}, {"5", 0}, {"", 0}, {"x", 0}, {"1.0", 1}};
  for (const Case& k : cases) {
    Harness fresh;
    fresh.PutConfig(Full(12, k.line), fresh.appDir);
    fresh.d->Form_Load();
    EXPECT_EQ(fresh.d->Ctl().InputLayout(), k.layout) << k.line;
  }
}

TEST_F(ConfigTest, TimerLine) {
  struct Case {
    const char* line;
    int ms;
    const char* field;
  } cases[] = {{"2", 2000, "2"}, {"500", 500, "500ms"}, {"90", 60000, "60"}, {"0", 2000, "1"},
               {"-4", 2000, "1"}, {"", 2000, "1"}, {"x", 2000, "1"}, {" 1.5 ", 1500, "1.5"}};
  for (const Case& k : cases) {
    Harness fresh;
    fresh.PutConfig(Full(11, k.line), fresh.appDir);
    fresh.d->Form_Load();
    EXPECT_EQ(fresh.d->State().iStdTimerVal, k.ms) << k.line;
    EXPECT_EQ(fresh.d->Ctl().Timer1.Interval(), k.ms) << k.line;
    EXPECT_EQ(fresh.d->Ctl().txtTimerVal.Text, k.field) << k.line;
  }
}

TEST_F(ConfigTest, ShortFileKeepsDefaultsButEmptiesTheProcessName) {
  h.PutConfig({"2", "*.002", "PFX", "IN", "OUT", "ERR", ".O"}, h.appDir);
  st().CurrKora1ProcName = "before.exe";
  c().chkErrorReset.Value = 0;
  d().LoadConfig();
  EXPECT_EQ(st().CurrKora1ProcName, "");
  EXPECT_EQ(st().CurrKora1ActiveCom, "2");
  EXPECT_EQ(c().txtOutExt.Text, ".O");
  EXPECT_EQ(c().txtErrExt.Text, ".ERR");
  for (CheckBox* box : {&c().chbExitKora1, &c().chbLogEnable, &c().chkCompatAdHoc, &c().chkInversioneScontiSuReso,
                        &c().chbOutUnitario, &c().chkErrorReset})
    EXPECT_EQ(box->Value, 0);
  EXPECT_EQ(c().InputLayout(), 0);
}

TEST_F(ConfigTest, BlankProgramDirectoryLineKeepsTheEarlierValue) {
  h.PutConfig(Full(14, "   "), h.appDir);
  c().txtKora1PathDir.Text = "EARLIER";
  st().CurrKora1PathSet = "EARLIER";
  d().LoadConfig();
  EXPECT_EQ(st().CurrKora1PathSet, "EARLIER");
  EXPECT_EQ(c().txtKora1PathDir.Text, "EARLIER");
}

TEST_F(ConfigTest, SaveWritesTheExactLayout) {
  d().Form_Load();
  c().txtFilePrefix.Set("");
  c().txtKora1PathDir.Set("");
  c().txtKora1ProcName.Set("");
  c().chbLogEnable.Set(1);
  c().chkCompatAdHoc.Set(1);
  d().CalculateTimer("2.5");
  d().cmdSaveConfig_Click();
  EXPECT_EQ(h.mem.Content(OwnConfig()),
            "1\r\n*.00X\r\n  \r\n" + h.kora1Dir + "\r\n" + h.kora1Dir + "\r\n" + h.kora1Dir +
                "\r\n.OUT\r\n 0 \r\n 1 \r\n.ERR\r\n2.5\r\n0\r\n 0 \r\n \r\n  \r\n 0 \r\n 0 \r\n 1 \r\n");
}

TEST_F(ConfigTest, SaveAndLoadGiveBackEverySetting) {
  for (int ms : {500, 3000, 60000}) {
    Harness a;
    a.d->Form_Load();
    Controls& ca = a.d->Ctl();
    ca.cboComSelect.Select(4);
    ca.txtFileFilter.Set("*.005");
    ca.txtFilePrefix.Set("ABC");
    ca.txtInputDir.Set("IN");
    ca.txtOutputDir.Set("OUT");
    ca.txtErrorDir.Set("ERR");
    ca.txtOutExt.Set(".O1");
    ca.txtErrExt.Set(".E1");
    for (CheckBox* box : {&ca.chbExitKora1, &ca.chbLogEnable, &ca.chkCompatAdHoc, &ca.chkInversioneScontiSuReso,
                          &ca.chbOutUnitario, &ca.chkErrorReset})
      box->Set(1);
    ca.SelectLayout(2);
    ca.txtKora1PathDir.Set("K1APP");
    ca.txtKora1ProcName.Set("kk.exe");
    a.d->CalculateTimer(ms < 1000 ? std::to_string(ms) : FormatNumber(ms / 1000.0));
    ASSERT_EQ(a.d->State().iStdTimerVal, ms);
    a.d->cmdSaveConfig_Click();

    a.Restart();
    a.d->Form_Load();
    DispatchState& s = a.d->State();
    Controls& cb = a.d->Ctl();
    EXPECT_EQ(s.CurrKora1ActiveCom, "5");
    EXPECT_EQ(cb.cboComSelect.ListIndex, 4);
    EXPECT_EQ(s.CurrFileFilter, "*.005");
    EXPECT_EQ(cb.txtFilePrefix.Text, "ABC");
    EXPECT_EQ(s.CurrInputFilePath, "IN");
    EXPECT_EQ(s.CurrOutputFilePath, "OUT");
    EXPECT_EQ(s.CurrErrorFilePath, "ERR");
    EXPECT_EQ(cb.txtOutExt.Text, ".O1");
    EXPECT_EQ(cb.txtErrExt.Text, ".E1");
    for (CheckBox* box : {&cb.chbExitKora1, &cb.chbLogEnable, &cb.chkCompatAdHoc, &cb.chkInversioneScontiSuReso,
                          &cb.chbOutUnitario, &cb.chkErrorReset})
      EXPECT_EQ(box->Value, 1);
    EXPECT_EQ(cb.InputLayout(), 2);
    EXPECT_EQ(s.CurrKora1PathSet, "K1APP");
    EXPECT_EQ(s.CurrentKora1AppPathDir, "K1APP");
    EXPECT_EQ(s.CurrKora1ProcName, "kk.exe");
    EXPECT_EQ(s.iStdTimerVal, ms);
    EXPECT_FALSE(s.SomethingModified);
  }
}

TEST_F(ConfigTest, SaveLogsAndDumps) {
  d().Form_Load();
  c().chbLogEnable.Set(1);
  d().cmdSaveConfig_Click();
  EXPECT_EQ(h.mem.Content(JoinPath(h.kora1Dir, "DORVLOG.txt")), "OK:  |SALVATAGGIO PARAMETRI ||2026-03-05 09:00:00\r\n");
  EXPECT_EQ(SplitLines(h.mem.Content(JoinPath(h.appDir, "ztk_log.txt"))).size(), 12u);
}

// A save that fails at any step leaves the previous file byte for byte, and
// is logged as a failure.
TEST_F(ConfigTest, FailedSaveLeavesThePreviousFileIntact) {
  const std::string previous = JoinLines(Full(3, "OLD"));
  for (int n = 1;; ++n) {
    Harness f;
    f.PutConfig(Full(3, "OLD"), f.appDir);
    f.d->Form_Load();
    f.d->Ctl().chbLogEnable.Set(1);
    f.d->Ctl().txtFilePrefix.Set("NEW");
    f.fs.ResetCount();
    f.fs.FailNth(n);
    f.d->SaveConfig();
    const int operations = f.fs.Operations();
    const std::string now = f.mem.Content(JoinPath(f.appDir, "DORVCONF.txt"));
    const std::string log = f.mem.Content(JoinPath(f.kora1Dir, "DORVLOG.txt"));
    if (n > operations) break;  // every operation has failed once
    if (SplitLines(now).size() == 18 && SplitLines(now)[2] == "NEW") {
      // Saved: the fault hit the log line, the dump, or the flush that makes
      // the new file durable, which is reported with its message.
      EXPECT_EQ(log.find("ERR: |SALVATAGGIO") == std::string::npos, f.ui.messages.empty()) << n;
    } else {
      EXPECT_EQ(now, previous) << "failing operation " << n;
      EXPECT_NE(log.find("ERR: |SALVATAGGIO PARAMETRI |"), std::string::npos) << n;
      EXPECT_EQ(f.ui.messages.size(), 1u) << n;
    }
    EXPECT_FALSE(f.mem.Has(JoinPath(f.appDir, "DORVCONF.txt.tmp"))) << n;
  }
}

TEST_F(ConfigTest, DiskFullSaveLeavesThePreviousFileIntact) {
  h.PutConfig(Full(3, "OLD"), h.appDir);
  d().Form_Load();
  c().chbLogEnable.Set(1);
  c().txtFilePrefix.Set("NEW");
  h.fs.SetDiskFull(true);
  d().SaveConfig();
  EXPECT_EQ(h.mem.Content(OwnConfig()), JoinLines(Full(3, "OLD")));
  EXPECT_FALSE(h.mem.Has(OwnConfig() + ".tmp"));
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{Status::Of(kErrDiskFull).Message()});
}

TEST_F(ConfigTest, ChangeHandlersMirrorTheBoxesIntoTheState) {
  d().Form_Load();
  c().txtOutputDir.Set("O");
  c().txtOutputDir.Set("OU");
  EXPECT_EQ(st().CurrOutputFilePath, "OU");
  c().txtErrorDir.Set("E");
  EXPECT_EQ(st().CurrErrorFilePath, "E");
  c().txtKora1PathDir.Set("K");
  EXPECT_EQ(st().CurrKora1PathSet, "K");
  c().cboComSelect.Select(2);
  EXPECT_EQ(st().CurrKora1ActiveCom, "3");
  EXPECT_TRUE(st().SomethingModified);
  c().Dir1Path = "PICKED";
  d().cmdSetOutputDir_Click();
  EXPECT_EQ(c().txtOutputDir.Text, "PICKED");
  EXPECT_EQ(st().CurrOutputFilePath, "PICKED");
}

}  // namespace
}  // namespace dorvane::test
