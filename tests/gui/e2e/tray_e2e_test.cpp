// A real X server with a window manager that has a notification area: the
// real program's window, minimised, comes back with a double click on its
// icon; a notification through the Qt Ui reaches the toolkit and shows beside
// the icon (Qt's own balloon beside icewm's XEmbed icon; Qt would use D-Bus if there).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>

#include "support/process.h"
#include "ui/qt/ansi.h"
#include "ui/qt/qt_ui.h"

namespace dorvane::test {
namespace {

// The words a shell command prints, run with the test display.
std::vector<std::string> XRun(const std::string& display, const std::string& command) {
  std::vector<std::string> words;
  if (FILE* p = ::popen(("DISPLAY=" + display + " " + command + " 2>/dev/null").c_str(), "r")) {
    for (char word[256]; std::fscanf(p, "%255s", word) == 1;) words.push_back(word);
    ::pclose(p);
  }
  return words;
}

TEST(TrayOnARealDesktop, DoubleClickOnTheIconBringsTheWindowBackAndNotificationsShow) {
  const std::vector<std::string> found = XRun("", "which Xvfb icewm xdotool");
  ASSERT_EQ(found.size(), 3u) << "Xvfb, icewm or xdotool is missing: scripts/deps.sh desktop installs them";
  const std::string &xvfb = found[0], &icewm = found[1], &xdotool = found[2];

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
  const std::string shown = xdotool + " search --onlyvisible --name '^ZTK DORVANE $'";
  std::vector<std::string> window;
  ASSERT_TRUE(WaitFor(15000, [&] { return !(window = XRun(display, shown)).empty(); })) << tree.Read("dorvane.txt");

  // Asked again until it is hidden: a busy machine may still be mapping the window.
  ASSERT_TRUE(WaitFor(15000, [&] { return XRun(display, xdotool + " windowminimize " + window[0]), XRun(display, shown).empty(); }))
      << "a minimised window is hidden";

  // With the main window hidden, the program's one visible window is its tray icon.
  std::vector<std::string> icon;
  const auto describe = [&](const std::vector<std::string>& ids) {
    std::string out;
    for (const std::string& id : ids)
      for (const std::string& w : XRun(display, xdotool + " getwindowname " + id + " getwindowgeometry " + id)) out += w + " ";
    return out;
  };
  ASSERT_TRUE(WaitFor(10000, [&] {
    // Under icewm the window now and then comes back just after its first
    // minimise (about one run in ten): minimised again.
    if (!XRun(display, shown).empty()) XRun(display, xdotool + " windowminimize " + window[0]);
    return (icon = XRun(display, xdotool + " search --onlyvisible --pid " + pid)).size() == 1;
  }))
      << "no tray icon; the program's visible windows: " << describe(icon) << "; " << tree.Read("data/ZTKKORA1/DORVLOG.txt");
  XRun(display, xdotool + " mousemove --window " + icon[0] + " 8 8 click --repeat 2 --delay 60 1");
  EXPECT_TRUE(WaitFor(15000, [&] { return !XRun(display, shown).empty(); })) << "the double click did not bring the window back";
  // A second start (the menu, while autostart runs one in the tray) shows it too, and ends.
  ASSERT_TRUE(WaitFor(15000, [&] { return XRun(display, xdotool + " windowminimize " + window[0]), XRun(display, shown).empty(); }));
  Child second({DORVANE_EXE, "/NONID", "/STOP"}, env, tree.Path("second.txt"));
  EXPECT_EQ(second.Wait(15000), 0);
  EXPECT_TRUE(WaitFor(15000, [&] { return !XRun(display, shown).empty(); })) << "a second start did not show the window";
  dorvane.Signal(SIGTERM);
  EXPECT_EQ(dorvane.Wait(15000), 0);

  // A notification, from the Qt Ui in this test on the same desktop.
  ::setenv("DISPLAY", display.c_str(), 1), ::setenv("QT_QPA_PLATFORM", "xcb", 1), ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  static int argc = 1;
  static char name[] = "gui_e2e_tests", *argv[] = {name, nullptr};
  QApplication app(argc, argv);
  auto until = [&](int ms, const std::function<bool()>& cond) {
    QElapsedTimer t;
    for (t.start(); !cond() && t.elapsed() < ms;) app.processEvents(), ::usleep(10 * 1000);
    return cond();
  };
  MainWindow mainWindow;
  QtUi ui(mainWindow);
  ui.TrayAdd(kTipWaiting);
  ASSERT_TRUE(until(10000, [&] { return QSystemTrayIcon::isSystemTrayAvailable() && ui.Tray().geometry().isValid(); })) << "no icon";
  const std::string title = "CARTA ESAURITA O COPERCHIO APERTO",
                    text = "STAMPA FERMA SU ABC.001: E096: FINE CARTA. CAMBIARE IL ROTOLO O CHIUDERE IL COPERCHIO";
  ui.Notify(NoticeIcon::kWarning, title, text);
  QWidget* balloon = nullptr;
  ASSERT_TRUE(until(10000, [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && top->inherits("QBalloonTip")) balloon = top;
    return balloon != nullptr;
  })) << "no notification shown";
  QStringList labels;
  for (QLabel* label : balloon->findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(FromAnsi(title)) && labels.contains(FromAnsi(text))) << labels.join("|").toStdString();
  // A window of its own on the X server: the icon and the notification.
  EXPECT_TRUE(until(5000, [&] { return XRun(display, xdotool + " search --onlyvisible --pid " + std::to_string(::getpid())).size() == 2; }));
  // scripts/screenshots.sh asks for a picture of the notification and the icon.
  if (const char* picture = std::getenv("DORVANE_NOTICE_PICTURE")) {
    until(800, [] { return false; });
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect around = balloon->frameGeometry().united(ui.Tray().geometry()).adjusted(-80, -16, 80, 16) & screen->geometry();
    EXPECT_TRUE(screen->grabWindow(0, around.x(), around.y(), around.width(), around.height()).save(picture));
  }
}  // the window manager and the server are killed with their Child

}  // namespace
}  // namespace dorvane::test
