// DORVANE's own files: DORVCONF.txt, whose positional lines other shops
// already have files in, and the event log's line layout.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

// A full file with one line replaced.
std::vector<std::string> Full(int number = 0, const std::string& value = "") {
  std::vector<std::string> lines = {"1", "*.001", "  ", "IN", "OUT", "ERR", ".OUT", " 0 ", " 0 ", ".ERR",
                                    "2", "0", " 0 ", " ", "  ", " 0 ", " 0 ", " 0 "};
  if (number) lines[number - 1] = value;
  return lines;
}

class Config : public OnFakes {
 protected:
  std::string OwnConfig() { return JoinPath(h.appDir, "DORVCONF.txt"); }
  std::vector<std::string> Saved() { return SplitLines(h.mem.Content(OwnConfig())); }
  void LogToKora1sFolder() {
    st().CurrentKora1DataDir = h.kora1Dir;
    c().chbLogEnable.Value = 1;
  }
};

TEST_F(Config, TheProgramFolderWinsOverKora1sAndSavingWritesOnlyThere) {
  h.PutConfig(Full(3, "KORA"), h.kora1Dir);
  d().Form_Load();
  EXPECT_EQ(c().txtFilePrefix.Text, "KORA");
  h.PutConfig(Full(3, "OWN"), h.appDir);
  h.Restart();
  d().Form_Load();
  EXPECT_EQ(c().txtFilePrefix.Text, "OWN");
  c().txtFilePrefix.Set("NEW");
  d().cmdSaveConfig_Click();
  EXPECT_EQ(Saved()[2], "NEW");
  EXPECT_EQ(SplitLines(h.mem.Content(JoinPath(h.kora1Dir, "DORVCONF.txt")))[2], "KORA");
}

TEST_F(Config, EachLineIsReadAsTheSystemReadsIt) {
  // {line number, line, what is read, expected}
  using Case = std::tuple<int, const char*, std::function<std::string(Dispatcher&)>, std::string>;
  auto com = [](Dispatcher& d) { return d.State().CurrKora1ActiveCom + "/" + std::to_string(d.Ctl().cboComSelect.ListIndex); };
  auto filter = [](Dispatcher& d) { return d.Ctl().txtFileFilter.Text + "/" + d.State().CurrFileFilter; };
  auto layout = [](Dispatcher& d) { return std::to_string(d.Ctl().InputLayout()); };
  auto timer = [](Dispatcher& d) { return std::to_string(d.Ctl().Timer1.Interval()) + "/" + d.Ctl().txtTimerVal.Text; };
  const Case cases[] = {
      {1, "3", com, "3/2"},         {1, "COM3", com, "1/0"},       {1, "", com, "1/0"},
      {2, "   ", filter, "/"},      {2, "*.TXT", filter, "*.TXT/*.TXT"},
      {12, "1", layout, "1"},       {12, " 2 ", layout, "2"},      {12, "5", layout, "0"},
      {12, "x", layout, "0"},       {12, "1.0", layout, "1"},
      {11, "500", timer, "500/500ms"}, {11, "90", timer, "60000/60"}, {11, "0", timer, "2000/1"},
      {11, "x", timer, "2000/1"},   {11, " 1.5 ", timer, "1500/1.5"},
  };
  for (const auto& [number, line, read, expected] : cases) {
    Harness fresh;
    fresh.PutConfig(Full(number, line), fresh.appDir);
    fresh.d->Form_Load();
    EXPECT_EQ(read(*fresh.d), expected) << "line " << number << " \"" << line << "\"";
    EXPECT_TRUE(fresh.ui.messages.empty()) << number << " " << line;
  }
}

TEST_F(Config, ABadLineStopsLoadingThereWithAnErrorBox) {
  const std::tuple<int, const char*, int> cases[] = {
      {1, "9", kErrInvalidProperty}, {9, "", kErrTypeMismatch}, {9, "x", kErrTypeMismatch},
      {9, " 3 ", kErrInvalidProperty}, {9, "99999", kErrOverflow}, {9, "-99999", kErrOverflow}};
  for (auto [number, line, error] : cases) {
    Harness fresh;
    auto lines = Full(number, line);
    lines[9] = ".XYZ";
    fresh.PutConfig(lines, fresh.appDir);
    fresh.d->Form_Load();
    EXPECT_EQ(fresh.ui.messages, std::vector<std::string>{Status::Of(error).Message()}) << line;
    EXPECT_EQ(fresh.d->State().CurrInputFilePath, number == 1 ? fresh.kora1Dir : "IN") << line;
    EXPECT_EQ(fresh.d->Ctl().txtErrExt.Text, ".ERR") << "line 10 is not applied";
  }
}

TEST_F(Config, AShortFileKeepsDefaultsButEmptiesTheProcessName) {
  h.PutConfig({"2", "*.002", "PFX", "IN", "OUT", "ERR", ".O"}, h.appDir);
  st().CurrKora1ProcName = "before.exe";
  c().txtKora1PathDir.Text = st().CurrKora1PathSet = "EARLIER";
  d().LoadConfig();
  EXPECT_EQ(st().CurrKora1ProcName, "");
  EXPECT_EQ(c().txtOutExt.Text, ".O");
  EXPECT_EQ(c().txtErrExt.Text, ".ERR");
  EXPECT_EQ(c().chbLogEnable.Value, 0);
  // A blank program folder line keeps the earlier value; a blank extension too.
  h.PutConfig(Full(7, " "), h.appDir);
  st().CurrKora1ProcName = "before.exe";
  d().LoadConfig();
  EXPECT_EQ(st().CurrKora1PathSet, "EARLIER");
  EXPECT_EQ(c().txtKora1PathDir.Text, "EARLIER");
  EXPECT_EQ(c().txtOutExt.Text, ".O");
  EXPECT_EQ(st().CurrKora1ProcName, "") << "line 15 is blank: emptied all the same";
}

TEST_F(Config, SaveWritesTheExactLayoutAndLoadGivesEverySettingBack) {
  d().Form_Load();
  c().chbLogEnable.Set(1);
  c().chkCompatAdHoc.Set(1);
  d().CalculateTimer("2.5");
  d().cmdSaveConfig_Click();
  EXPECT_EQ(h.mem.Content(OwnConfig()),
            "1\r\n*.00X\r\n  \r\n" + h.kora1Dir + "\r\n" + h.kora1Dir + "\r\n" + h.kora1Dir +
                "\r\n.OUT\r\n 0 \r\n 1 \r\n.ERR\r\n2.5\r\n0\r\n 0 \r\n \r\n  \r\n 0 \r\n 0 \r\n 1 \r\n");
  EXPECT_EQ(h.Log(), "OK:  |SALVATAGGIO PARAMETRI ||2026-03-05 09:00:00\r\n");

  st().SomethingModified = false;
  c().cboComSelect.Select(4);
  EXPECT_TRUE(st().SomethingModified) << "a port chosen is asked about on closing";
  const std::pair<TextBox*, const char*> texts[] = {
      {&c().txtFileFilter, "*.005"}, {&c().txtFilePrefix, "ABC"}, {&c().txtInputDir, "IN"},
      {&c().txtOutputDir, "OUT"},    {&c().txtErrorDir, "ERR"},   {&c().txtOutExt, ".O1"},
      {&c().txtErrExt, ".E1"},       {&c().txtKora1PathDir, "K1APP"}, {&c().txtKora1ProcName, "kk.exe"}};
  for (auto [box, text] : texts) box->Set(text);
  for (CheckBox* box : {&c().chbExitKora1, &c().chkInversioneScontiSuReso, &c().chbOutUnitario, &c().chkErrorReset})
    box->Set(1);
  c().SelectLayout(2);
  for (int ms : {500, 60000}) {
    d().CalculateTimer(ms < 1000 ? std::to_string(ms) : "60");
    d().cmdSaveConfig_Click();
    const std::string saved = h.mem.Content(OwnConfig());
    h.Restart();
    d().Form_Load();
    EXPECT_EQ(st().iStdTimerVal, ms);
    EXPECT_FALSE(st().SomethingModified);
    d().cmdSaveConfig_Click();
    EXPECT_EQ(h.mem.Content(OwnConfig()), saved) << "every setting read back";
  }
}

// A save that fails at any step leaves the previous file byte for byte, and
// is logged as a failure.
TEST_F(Config, AFailedSaveLeavesThePreviousFileIntact) {
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
    if (n > f.fs.Operations()) break;  // every operation has failed once
    const std::string now = f.mem.Content(JoinPath(f.appDir, "DORVCONF.txt"));
    const bool failed = f.Log().find("ERR: |SALVATAGGIO PARAMETRI |") != std::string::npos;
    if (SplitLines(now).size() == 18 && SplitLines(now)[2] == "NEW") {
      // Saved: the fault hit the log line, the dump, or the flush that makes
      // the new file durable, which is reported with its message.
      EXPECT_EQ(failed, !f.ui.messages.empty()) << n;
    } else {
      EXPECT_EQ(now, previous) << "failing operation " << n;
      EXPECT_TRUE(failed) << n;
      EXPECT_EQ(f.ui.messages.size(), 1u) << n;
    }
    EXPECT_FALSE(f.mem.Has(JoinPath(f.appDir, "DORVCONF.txt.tmp"))) << n;
  }
}

TEST_F(Config, LogLinesAreAppendedOnlyWhileTheBoxIsTicked) {
  LogToKora1sFolder();
  h.mem.Put(h.LogPath(), "earlier\r\n");
  d().LogEvent(kOk, "SALVATAGGIO PARAMETRI ");
  h.clock.Sleep(3723 * 1000);
  Assume("IN|A.001");
  d().LogEvent(kErr, "A|B");
  d().LogEvent(kErrDriver, "E001: X");
  for (int value : {0, 2}) {
    c().chbLogEnable.Value = value;
    d().LogEvent(kOk, "NOT LOGGED");
  }
  EXPECT_EQ(h.Log(),
            "earlier\r\n"
            "OK:  |SALVATAGGIO PARAMETRI ||2026-03-05 09:00:00\r\n"
            "ERR: |A|B|IN|A.001|2026-03-05 10:02:03\r\n"
            "ERR:|E001: X|IN|A.001|2026-03-05 10:02:03\r\n");
}

TEST_F(Config, LogNeverFailsItsCaller) {
  LogToKora1sFolder();
  for (const std::string& dir : {h.Path("missing"), std::string()}) {
    st().CurrentKora1DataDir = dir;
    d().LogEvent(kOk, "M");
  }
  st().CurrentKora1DataDir = h.kora1Dir;
  h.fs.SetDiskFull(true);
  d().LogEvent(kOk, "M");
  EXPECT_TRUE(h.ui.messages.empty());
}

}  // namespace
}  // namespace dorvane::test
