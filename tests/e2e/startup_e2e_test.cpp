// The real dorvane, console front end, started and stopped as a shop would.
#include <gtest/gtest.h>
#include <signal.h>

#include "e2e/process_helpers.h"

namespace dorvane::e2e {
namespace {

int CountLines(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct Installation {
  Installation() {
    for (const char* dir : {"app", "data/ZTKKORA1", "config", "run"}) tree.MakeDir(dir);
    // Port 1, log on, everything else default.
    tree.Write("app/DORVCONF.txt",
               "1\r\n*.001\r\n  \r\n" + tree.Path("data/ZTKKORA1") + "\r\n" + tree.Path("data/ZTKKORA1") + "\r\n" +
                   tree.Path("data/ZTKKORA1") + "\r\n.OUT\r\n 0 \r\n 1 \r\n.ERR\r\n1\r\n0\r\n");
  }
  std::vector<std::string> Env() const {
    return {"DORVANE_HOME=" + tree.Path("app"), "XDG_DATA_HOME=" + tree.Path("data"),
            "XDG_CONFIG_HOME=" + tree.Path("config"), "XDG_RUNTIME_DIR=" + tree.Path("run")};
  }
  std::string Log() const { return tree.Read("data/ZTKKORA1/DORVLOG.txt"); }
  TempTree tree;
};

TEST(DorvaneProcess, SigtermRunsTheNormalShutdown) {
  Installation inst;
  Child dorvane({DORVANE_EXE, "--headless"}, inst.Env(), inst.tree.Path("out.txt"));
  ASSERT_TRUE(WaitFor(10000, [&] { return CountLines(inst.Log(), "AVVIO di ZTK DORVANE") == 1; }));
  dorvane.Signal(SIGTERM);
  EXPECT_EQ(dorvane.Wait(15000), 0);
  const std::string log = inst.Log();
  EXPECT_EQ(CountLines(log, "OK:  |AVVIO di ZTK DORVANE||"), 1) << log;
  EXPECT_EQ(CountLines(log, "OK:  |CHIUSURA ZTK DORVANE||"), 1) << log;
  EXPECT_NE(inst.tree.Read("out.txt").find("Chiusura di ZTK DORVANE in corso"), std::string::npos);
}

TEST(DorvaneProcess, WindowFrontEndClosesNormallyOnSigtermToo) {
  Installation inst;
  auto env = inst.Env();
  env.push_back("QT_QPA_PLATFORM=offscreen");
  Child dorvane({DORVANE_EXE, "/NONID"}, env, inst.tree.Path("out.txt"));
  ASSERT_TRUE(WaitFor(10000, [&] { return CountLines(inst.Log(), "AVVIO di ZTK DORVANE") == 1; }));
  dorvane.Signal(SIGTERM);
  EXPECT_EQ(dorvane.Wait(15000), 0);
  EXPECT_EQ(CountLines(inst.Log(), "OK:  |CHIUSURA ZTK DORVANE||"), 1) << inst.Log();
}

TEST(DorvaneProcess, SecondInstanceEndsSilently) {
  Installation inst;
  Child first({DORVANE_EXE, "--headless", "/STOP"}, inst.Env(), inst.tree.Path("first.txt"));
  ASSERT_TRUE(WaitFor(10000, [&] { return CountLines(inst.Log(), "AVVIO") == 1; }));
  Child second({DORVANE_EXE, "--headless"}, inst.Env(), inst.tree.Path("second.txt"));
  EXPECT_EQ(second.Wait(10000), 0);
  EXPECT_EQ(inst.tree.Read("second.txt"), "");
  first.Signal(SIGINT);
  EXPECT_EQ(first.Wait(15000), 0);
  EXPECT_EQ(CountLines(inst.Log(), "AVVIO"), 1);
  EXPECT_EQ(CountLines(inst.Log(), "CHIUSURA"), 1);
}

TEST(DorvaneProcess, HelpTellsTheOptions) {
  TempTree tree;
  Child help({DORVANE_EXE, "--help"}, {}, tree.Path("help.txt"));
  EXPECT_EQ(help.Wait(5000), 0);
  const std::string text = tree.Read("help.txt");
  for (const char* option : {"/NONID", "/STOP", "--headless"}) EXPECT_NE(text.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace dorvane::e2e
