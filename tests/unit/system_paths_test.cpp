// Where DORVANE and KORA1 keep their files, the two KORA1 buttons and the
// manual, on fakes.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"

namespace dorvane::test {
namespace {

class SystemPathsTest : public ::testing::Test {
 protected:
  Dispatcher& d() { return *h.d; }
  DispatchState& st() { return h.d->State(); }
  Controls& c() { return h.d->Ctl(); }
  std::string DorvaneDir() const { return JoinPath(h.commonDir, "ZTKDORVANE"); }
  Harness h;
};

TEST_F(SystemPathsTest, RegistryValuesFillTheKora1Directories) {
  h.system.registry = {{"ZTKKora1", "C:\\K1\\DATA"}, {"CustomPathDataDir", ""}, {"AppPath", "C:\\K1"}};
  d().VerifyAndSetPathFromRegistry();
  EXPECT_EQ(st().CurrentKora1DataDir, "C:\\K1\\DATA");
  EXPECT_EQ(st().CurrentKora1AppPathDir, "C:\\K1");

  h.system.registry["CustomPathDataDir"] = "D:\\X";
  d().VerifyAndSetPathFromRegistry();
  EXPECT_EQ(st().CurrentKora1DataDir, "D:\\X");

  // The program directory is taken even when empty.
  h.system.registry["AppPath"] = "";
  d().VerifyAndSetPathFromRegistry();
  EXPECT_EQ(st().CurrentKora1AppPathDir, "");
}

TEST_F(SystemPathsTest, MissingValuesChangeNothing) {
  st().CurrentKora1DataDir = "OLD DATA";
  st().CurrentKora1AppPathDir = "OLD APP";
  // Without the data directory the other two are not even read.
  h.system.registry = {{"CustomPathDataDir", "D:\\X"}, {"AppPath", "C:\\K1"}};
  d().VerifyAndSetPathFromRegistry();
  EXPECT_EQ(st().CurrentKora1DataDir, "OLD DATA");
  EXPECT_EQ(st().CurrentKora1AppPathDir, "OLD APP");

  h.system.registry = {{"ZTKKora1", "C:\\K1\\DATA"}};
  d().VerifyAndSetPathFromRegistry();
  EXPECT_EQ(st().CurrentKora1DataDir, "C:\\K1\\DATA");
  EXPECT_EQ(st().CurrentKora1AppPathDir, "OLD APP");
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(SystemPathsTest, CommonApplicationDataOrAMessage) {
  EXPECT_EQ(d().Read_CSIDL_COMMON_APPDATA(), h.commonDir);
  EXPECT_EQ(st().strBuffer, h.commonDir);
  EXPECT_TRUE(h.ui.messages.empty());

  h.system.commonAppData = "";
  EXPECT_EQ(d().Read_CSIDL_COMMON_APPDATA(), "");
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"Path non disponibile"});
}

TEST_F(SystemPathsTest, DorvaneDataDirectory) {
  d().CheckDorvaneDataDir();
  EXPECT_TRUE(st().OS_IsWindowVista);
  EXPECT_EQ(st().CurrentDorvaneDataDir, DorvaneDir());

  h.system.commonAppData = "";
  d().CheckDorvaneDataDir();
  EXPECT_EQ(st().CurrentDorvaneDataDir, h.appDir);
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"Path non disponibile"});

  // Before Vista the folder is not even asked for.
  h.ui.messages.clear();
  h.system.nt6 = false;
  d().CheckDorvaneDataDir();
  EXPECT_FALSE(st().OS_IsWindowVista);
  EXPECT_EQ(st().CurrentDorvaneDataDir, h.appDir);
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(SystemPathsTest, Kora1DataDirectoryDecisions) {
  const std::string k1app = h.Path("k1app");
  h.mem.AddDir(k1app);
  struct Case {
    const char* name;
    bool nt6;
    bool common;
    std::string appBefore, dataBefore;
    std::string app, data;
  } cases[] = {
      {"vista, no program dir", true, true, "", "", h.appDir, h.kora1Dir},
      {"vista, program dir kept", true, true, k1app, "", k1app, h.kora1Dir},
      {"vista, data dir replaced", true, true, k1app, "REG DATA", k1app, h.kora1Dir},
      {"vista, no common folder", true, false, k1app, "REG DATA", h.appDir, h.appDir},
      {"before vista", false, true, k1app, "REG DATA", h.appDir, h.appDir},
  };
  for (const Case& k : cases) {
    Harness fresh;
    fresh.mem.AddDir(k1app);
    fresh.system.nt6 = k.nt6;
    if (!k.common) fresh.system.commonAppData = "";
    DispatchState& s = fresh.d->State();
    s.CurrentKora1AppPathDir = k.appBefore;
    s.CurrentKora1DataDir = k.dataBefore;
    fresh.d->CheckKora1DataDir();
    EXPECT_EQ(s.OS_IsWindowVista, k.nt6) << k.name;
    EXPECT_EQ(s.CurrentKora1AppPathDir, k.app) << k.name;
    EXPECT_EQ(s.CurrentKora1DataDir, k.data) << k.name;
  }
}

TEST_F(SystemPathsTest, MissingProgramDirectoryEndsTheProgramFromVistaOn) {
  st().CurrentKora1AppPathDir = "C:\\NOPE";
  EXPECT_THROW(d().CheckKora1DataDir(), ProgramEnded);
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"C:\\NOPE : DIR NON ESISTENTE"});

  // Before Vista the own directory replaces it, so nothing is checked.
  Harness old;
  old.system.nt6 = false;
  old.d->State().CurrentKora1AppPathDir = "C:\\NOPE";
  EXPECT_NO_THROW(old.d->CheckKora1DataDir());
  EXPECT_TRUE(old.ui.messages.empty());
}

TEST_F(SystemPathsTest, StartUpTakesKora1DataFromTheRegistryAndLeavesTheFallbackAlone) {
  // The registry gives both: no fallback runs, even for a program directory
  // that does not exist here.
  h.system.registry = {{"ZTKKora1", "C:\\K1\\DATA"}, {"AppPath", "C:\\K1"}};
  ASSERT_TRUE(d().Form_Load());
  EXPECT_EQ(st().CurrentKora1DataDir, "C:\\K1\\DATA");
  EXPECT_EQ(st().CurrentKora1AppPathDir, "C:\\K1");
  EXPECT_EQ(st().CurrentDorvaneDataDir, DorvaneDir());
  EXPECT_EQ(st().CurrInputFilePath, "C:\\K1\\DATA");
}

TEST_F(SystemPathsTest, StartUpBeforeVistaIgnoresTheRegistryProgramDirectoryWhenDataIsEmpty) {
  h.system.nt6 = false;
  h.system.registry = {{"ZTKKora1", ""}, {"AppPath", "C:\\K1"}};
  ASSERT_TRUE(d().Form_Load());
  EXPECT_EQ(st().CurrentKora1DataDir, h.appDir);
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.appDir);
}

// ---- The two KORA1 buttons ----

TEST_F(SystemPathsTest, ChoosingTheProgramDirectoryWhileDataDiffersChangesOnlyIt) {
  ASSERT_TRUE(d().Form_Load());
  c().Dir1Path = h.Path("k1");
  d().cmdSetKora1PathDir_Click();
  EXPECT_EQ(c().txtKora1PathDir.Text, h.Path("k1"));
  EXPECT_EQ(st().CurrKora1PathSet, h.Path("k1"));
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.Path("k1"));
  EXPECT_EQ(st().CurrentKora1DataDir, h.kora1Dir);
  EXPECT_TRUE(st().SomethingModified);
  // Nothing is saved by the button.
  EXPECT_FALSE(h.mem.Has(JoinPath(h.appDir, "DORVCONF.txt")));
  EXPECT_FALSE(h.mem.Has(JoinPath(h.kora1Dir, "DORVCONF.txt")));
}

TEST_F(SystemPathsTest, ChoosingTheProgramDirectoryMovesAFallbackDataDirectory) {
  // KORA1's data directory still equal to DORVANE's: the fallback.
  struct Case {
    bool nt6;
    bool common;
    std::string data;
  } cases[] = {
      {false, true, h.Path("k1")},
      {true, true, h.kora1Dir},
      {true, false, h.appDir},  // no common folder now either: unchanged
  };
  for (const Case& k : cases) {
    Harness fresh;
    fresh.system.nt6 = k.nt6;
    if (!k.common) fresh.system.commonAppData = "";
    DispatchState& s = fresh.d->State();
    s.CurrentDorvaneDataDir = s.CurrentKora1DataDir = fresh.appDir;
    fresh.d->Ctl().Dir1Path = h.Path("k1");
    fresh.d->cmdSetKora1PathDir_Click();
    EXPECT_EQ(s.CurrentKora1AppPathDir, h.Path("k1")) << k.nt6 << k.common;
    EXPECT_EQ(s.CurrentKora1DataDir, k.data) << k.nt6 << k.common;
  }
}

TEST_F(SystemPathsTest, BlankProgramDirectoryIsShownButNotAdopted) {
  st().CurrentKora1AppPathDir = h.appDir;
  c().Dir1Path = "   ";
  d().cmdSetKora1PathDir_Click();
  EXPECT_EQ(st().CurrKora1PathSet, "   ");
  EXPECT_EQ(st().CurrentKora1AppPathDir, h.appDir);
}

TEST_F(SystemPathsTest, ProcessNameButtonNormalisesTheName) {
  struct Case {
    const char* typed;
    const char* name;
  } cases[] = {{"kkora1", "kkora1.exe"}, {"KKORA1.EXE", "KKORA1.EXE"}, {"k.Exe.old", "k.Exe.old"},
               {"", "kkora1.exe"},       {"   ", "kkora1.exe"},        {" k2", " k2.exe"}};
  for (const Case& k : cases) {
    c().txtKora1ProcName.Set(k.typed);
    d().cmdSetKora1Proc_Click();
    EXPECT_EQ(st().CurrKora1ProcName, k.name) << k.typed;
    EXPECT_EQ(c().txtKora1ProcName.Text, k.typed) << "the box is not updated";
  }
}

TEST_F(SystemPathsTest, ButtonsPutTheTimerBackAsItWas) {
  ASSERT_TRUE(d().Form_Load());
  ASSERT_TRUE(c().Timer1.Enabled());
  c().Dir1Path = h.Path("k1");
  d().cmdSetKora1PathDir_Click();
  EXPECT_TRUE(c().Timer1.Enabled());
  d().cmdSetKora1Proc_Click();
  EXPECT_TRUE(c().Timer1.Enabled());

  // A cycle the user stopped stays stopped.
  d().cmdEnableTimer_Click();
  ASSERT_FALSE(c().Timer1.Enabled());
  d().cmdSetKora1PathDir_Click();
  EXPECT_FALSE(c().Timer1.Enabled());
  d().cmdSetKora1Proc_Click();
  EXPECT_FALSE(c().Timer1.Enabled());
  EXPECT_EQ(c().cmdEnableTimer.Caption, "START");
}

// ---- The manual ----

TEST_F(SystemPathsTest, ManualHasThreeOutcomes) {
  st().CurrentDorvaneDataDir = DorvaneDir();
  const std::string manual = JoinPath(DorvaneDir(), "ManDorvane.pdf");

  d().m_manual_Click();
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"File: " + manual + " non trovato"});
  EXPECT_TRUE(h.processes.opened.empty());

  h.ui.messages.clear();
  h.mem.Put(manual, "%PDF");
  d().m_manual_Click();
  EXPECT_TRUE(h.ui.messages.empty());
  EXPECT_EQ(h.processes.opened, std::vector<std::string>{manual + "|0|1"});

  h.processes.shellOpenWorks = false;
  d().m_manual_Click();
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"Operazione non eseguita: verificare presenza Reader "});
}

TEST_F(SystemPathsTest, ManualFallsBackToTheInstalledDocumentation) {
  st().CurrentDorvaneDataDir = DorvaneDir();
  h.system.docDir = h.Path("doc");
  const std::string installed = JoinPath(h.system.docDir, "ManDorvane.pdf");
  h.mem.Put(installed, "%PDF");
  d().m_manual_Click();
  h.mem.Put(JoinPath(DorvaneDir(), "ManDorvane.pdf"), "%PDF");
  d().m_manual_Click();  // the data folder's own copy comes first
  EXPECT_EQ(h.processes.opened,
            (std::vector<std::string>{installed + "|0|1", JoinPath(DorvaneDir(), "ManDorvane.pdf") + "|0|1"}));
  EXPECT_TRUE(h.ui.messages.empty());
}

}  // namespace
}  // namespace dorvane::test
