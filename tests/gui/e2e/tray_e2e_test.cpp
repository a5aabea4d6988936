// The tray icon on a real X server with a window manager that has a notification area: the real program's
// window, minimised, comes back with a double click on its icon; a notification through the Qt Ui reaches the
// toolkit and shows beside the icon (Qt's own balloon beside icewm's XEmbed icon; Qt would use D-Bus if there).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
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

// Xvfb and icewm, killed with it; error says why when the notification area is not up.
struct Desktop {
  explicit Desktop(const TempDir& tree) { error = Start(tree); }
  std::string Start(const TempDir& tree) {
    const std::vector<std::string> found = XRun("", "which Xvfb icewm xdotool");
    if (found.size() != 3u) return "Xvfb, icewm or xdotool is missing: scripts/deps.sh desktop installs them";
    xdotool = found[2];
    tree.MakeDir("home");
    // The server picks a free display itself and writes its number to stdout.
    server = std::make_unique<Child>(std::vector<std::string>{found[0], "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                                     std::vector<std::string>{}, tree.Path("xvfb.txt"));
    if (!WaitFor(20000, [&] {
          std::string text = tree.Read("xvfb.txt");  // its messages too: the number is a whole line of its own
          text.erase(text.rfind('\n') + 1);
          std::stringstream out(text);
          for (std::string line; std::getline(out, line);)
            if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) display = ":" + line;
          return !display.empty();
        }))
      return "no X server: " + tree.Read("xvfb.txt");
    wm = std::make_unique<Child>(std::vector<std::string>{found[1]}, std::vector<std::string>{"DISPLAY=" + display, "HOME=" + tree.Path("home")},
                                 tree.Path("icewm.txt"));
    // The notification area is up once icewm's tray proxy, which owns it, is; a
    // program started earlier would find no notification area.
    if (!WaitFor(20000, [&] {
          return !Run(xdotool + " search --onlyvisible --name '^TaskBar$'").empty() && !Run(xdotool + " search --name '^YXTrayProxy$'").empty();
        }))
      return "no notification area: " + tree.Read("icewm.txt");
    ::usleep(500 * 1000);
    return "";
  }
  std::vector<std::string> Run(const std::string& command) const { return XRun(display, command); }

  std::string display, xdotool, error;
  std::unique_ptr<Child> server, wm;
};

TEST(TrayOnARealDesktop, DoubleClickOnTheIconBringsTheMinimisedWindowBack) {
  Installation inst;
  const TempDir& tree = inst.tree;
  Desktop desktop(tree);
  ASSERT_EQ(desktop.error, "");
  auto env = inst.Env();
  env.insert(env.end(), {"DISPLAY=" + desktop.display, "QT_QPA_PLATFORM=xcb", "DBUS_SESSION_BUS_ADDRESS=disabled:"});
  Child dorvane({DORVANE_EXE, "/NONID", "/STOP"}, env, tree.Path("dorvane.txt"));
  const std::string pid = std::to_string(dorvane.Pid()), xdotool = desktop.xdotool;
  const std::string shown = xdotool + " search --onlyvisible --name '^ZTK DORVANE $'";
  std::vector<std::string> window;
  ASSERT_TRUE(WaitFor(15000, [&] { return !(window = desktop.Run(shown)).empty(); })) << tree.Read("dorvane.txt");

  desktop.Run(xdotool + " windowminimize --sync " + window[0]);
  ASSERT_TRUE(WaitFor(15000, [&] { return desktop.Run(shown).empty(); })) << "a minimised window is hidden";

  // With the main window hidden, the program's one visible window is its tray icon.
  std::vector<std::string> icon;
  ASSERT_TRUE(WaitFor(10000, [&] { return (icon = desktop.Run(xdotool + " search --onlyvisible --pid " + pid)).size() == 1; }))
      << "no tray icon; " << tree.Read("data/ZTKKORA1/DORVLOG.txt");
  desktop.Run(xdotool + " mousemove --window " + icon[0] + " 8 8 click --repeat 2 --delay 60 1");
  EXPECT_TRUE(WaitFor(15000, [&] { return !desktop.Run(shown).empty(); })) << "the double click did not bring the window back";
  dorvane.Signal(SIGTERM);
  EXPECT_EQ(dorvane.Wait(15000), 0);
}  // the window manager and the server are killed with the desktop

TEST(TrayOnARealDesktop, ANotificationReachesTheToolkitAndShowsBesideTheIcon) {
  TempDir tree;
  Desktop desktop(tree);
  ASSERT_EQ(desktop.error, "");
  ::setenv("DISPLAY", desktop.display.c_str(), 1), ::setenv("QT_QPA_PLATFORM", "xcb", 1), ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  static int argc = 1;
  static char name[] = "gui_e2e_tests", *argv[] = {name, nullptr};
  QApplication app(argc, argv);
  auto until = [&](int ms, const std::function<bool()>& cond) {
    QElapsedTimer t;
    for (t.start(); !cond() && t.elapsed() < ms;) app.processEvents(), ::usleep(10 * 1000);
    return cond();
  };
  MainWindow window;
  QtUi ui(window);
  ui.TrayAdd(kTipWaiting);
  ASSERT_TRUE(until(10000, [&] { return QSystemTrayIcon::isSystemTrayAvailable() && ui.Tray().geometry().isValid(); })) << "no icon";

  const std::string title = "CARTA ESAURITA O COPERCHIO APERTO", text = "STAMPA FERMA SU ABC.001: E096: FINE CARTA. CAMBIARE IL ROTOLO";
  ui.Notify(NoticeIcon::kWarning, title, text);
  QWidget* balloon = nullptr;
  ASSERT_TRUE(until(10000, [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && top->inherits("QBalloonTip")) balloon = top;
    return balloon != nullptr;
  })) << "no notification shown";
  QStringList shown;
  for (QLabel* label : balloon->findChildren<QLabel*>()) shown << label->text();
  EXPECT_TRUE(shown.contains(FromAnsi(title)) && shown.contains(FromAnsi(text))) << shown.join("|").toStdString();
  // A window of its own on the X server: the program shows two, the icon and the notification.
  EXPECT_TRUE(until(5000, [&] { return desktop.Run(desktop.xdotool + " search --onlyvisible --pid " + std::to_string(::getpid())).size() == 2; }));
  // scripts/screenshots.sh asks for a picture of the notification and the icon.
  if (const char* picture = std::getenv("DORVANE_NOTICE_PICTURE")) {
    until(800, [] { return false; });
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect around = balloon->frameGeometry().united(ui.Tray().geometry()).adjusted(-80, -16, 80, 16) & screen->geometry();
    EXPECT_TRUE(screen->grabWindow(0, around.x(), around.y(), around.width(), around.height()).save(picture));
  }
}

}  // namespace
}  // namespace dorvane::test
