// The real program on a real X server with a window manager that has a
// notification area: minimise the window, double-click the tray icon with
// the mouse, and the window comes back.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/process.h"

namespace dorvane::test {
namespace {

std::string Which(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    std::string full = dir + "/" + program;
    if (::access(full.c_str(), X_OK) == 0) return full;
  }
  return "";
}

// Output of a command run with the test display.
std::string XRun(const std::string& display, const std::string& command) {
  std::string line = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  std::string out;
  if (FILE* p = ::popen(line.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  return out;
}

std::vector<std::string> Words(const std::string& text) {
  std::stringstream s(text);
  std::vector<std::string> words;
  for (std::string w; s >> w;) words.push_back(w);
  return words;
}

TEST(TrayOnARealDesktop, DoubleClickOnTheIconBringsTheMinimisedWindowBack) {
  const std::string xvfb = Which("Xvfb"), icewm = Which("icewm"), xdotool = Which("xdotool");
  ASSERT_FALSE(xvfb.empty() || icewm.empty() || xdotool.empty())
      << "Xvfb, icewm or xdotool is missing: scripts/deps.sh desktop installs them";

  Installation inst;
  const TempDir& tree = inst.tree;
  tree.MakeDir("home");
  // The server picks a free display itself and writes its number to stdout.
  Child server({xvfb, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}, tree.Path("xvfb.txt"));
  std::string display;
  ASSERT_TRUE(WaitFor(20000, [&] {
    std::string text = tree.Read("xvfb.txt");  // its messages too: the number is a whole line of its own
    text.erase(text.rfind('\n') + 1);
    std::stringstream out(text);
    for (std::string line; std::getline(out, line);)
      if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) display = ":" + line;
    return !display.empty();
  })) << tree.Read("xvfb.txt");
  Child wm({icewm}, {"DISPLAY=" + display, "HOME=" + tree.Path("home")}, tree.Path("icewm.txt"));
  // The notification area is up once icewm's tray proxy, which owns it, is; a
  // program started earlier would find no notification area.
  ASSERT_TRUE(WaitFor(20000, [&] {
    return !XRun(display, xdotool + " search --onlyvisible --name '^TaskBar$'").empty() &&
           !XRun(display, xdotool + " search --name '^YXTrayProxy$'").empty();
  })) << tree.Read("icewm.txt");
  ::usleep(500 * 1000);

  auto env = inst.Env();
  env.insert(env.end(), {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "DBUS_SESSION_BUS_ADDRESS=disabled:"});
  Child dorvane({DORVANE_EXE, "/NONID", "/STOP"}, env, tree.Path("dorvane.txt"));
  const std::string pid = std::to_string(dorvane.Pid());
  std::string window;
  ASSERT_TRUE(WaitFor(15000, [&] {
    auto ids = Words(XRun(display, xdotool + " search --onlyvisible --name '^ZTK DORVANE $'"));
    if (!ids.empty()) window = ids[0];
    return !window.empty();
  })) << tree.Read("dorvane.txt");

  XRun(display, xdotool + " windowminimize --sync " + window);
  ASSERT_TRUE(WaitFor(15000, [&] { return XRun(display, xdotool + " search --onlyvisible --name '^ZTK DORVANE $'").empty(); }))
      << "a minimised window is hidden";

  // With the main window hidden, the program's one visible window is its tray icon.
  std::string icon;
  ASSERT_TRUE(WaitFor(10000, [&] {
    auto ids = Words(XRun(display, xdotool + " search --onlyvisible --pid " + pid));
    if (ids.size() == 1) icon = ids[0];
    return !icon.empty();
  })) << "no tray icon; " << tree.Read("data/ZTKKORA1/DORVLOG.txt");
  XRun(display, xdotool + " mousemove --window " + icon + " 8 8 click --repeat 2 --delay 60 1");
  EXPECT_TRUE(WaitFor(15000, [&] { return !XRun(display, xdotool + " search --onlyvisible --name '^ZTK DORVANE $'").empty(); }))
      << "the double click did not bring the window back";

  dorvane.Signal(SIGTERM);
  EXPECT_EQ(dorvane.Wait(15000), 0);
  wm.Signal(SIGTERM);
  wm.Wait(5000);
  server.Signal(SIGTERM);
  server.Wait(5000);
}

}  // namespace
}  // namespace dorvane::test
