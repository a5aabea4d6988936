// The real dorvane started and stopped as a shop would.
#include <gtest/gtest.h>
#include <signal.h>

#include "support/process.h"

namespace dorvane::test {
namespace {

// Both front ends run the normal shutdown on SIGTERM.
TEST(DorvaneProcess, SigtermRunsTheNormalShutdown) {
  for (bool window : {false, true}) {
    Installation inst;
    auto env = inst.Env();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    Child dorvane({DORVANE_EXE, window ? "/NONID" : "--headless"}, env, inst.tree.Path("out.txt"));
    ASSERT_TRUE(WaitFor(10000, [&] { return Count(inst.Log(), "AVVIO di ZTK DORVANE") == 1; })) << window;
    dorvane.Signal(SIGTERM);
    EXPECT_EQ(dorvane.Wait(15000), 0) << window;
    EXPECT_EQ(Count(inst.Log(), "OK:  |AVVIO di ZTK DORVANE||"), 1) << window;
    EXPECT_EQ(Count(inst.Log(), "OK:  |CHIUSURA ZTK DORVANE||"), 1) << window;
    if (!window) {
      EXPECT_NE(inst.tree.Read("out.txt").find("Chiusura di ZTK DORVANE in corso"), std::string::npos);
    }
  }
}

TEST(DorvaneProcess, SecondInstanceEndsSilently) {
  Installation inst;
  Child first({DORVANE_EXE, "--headless", "/STOP"}, inst.Env(), inst.tree.Path("first.txt"));
  ASSERT_TRUE(WaitFor(10000, [&] { return Count(inst.Log(), "AVVIO") == 1; }));
  Child second({DORVANE_EXE, "--headless"}, inst.Env(), inst.tree.Path("second.txt"));
  EXPECT_EQ(second.Wait(10000), 0);
  EXPECT_EQ(inst.tree.Read("second.txt"), "");
  first.Signal(SIGINT);
  EXPECT_EQ(first.Wait(15000), 0);
  EXPECT_EQ(Count(inst.Log(), "AVVIO"), 1);
  EXPECT_EQ(Count(inst.Log(), "CHIUSURA"), 1);
}

}  // namespace
}  // namespace dorvane::test
