// A real settings window bound to a dispatcher on fakes, for tests on the
// offscreen platform.
#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "support/fakes.h"
#include "ui/qt/binding.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

namespace dorvane::test {

// Runs f on the next modal window that comes up (a message box, the About box).
void OnNextModal(std::function<void(QWidget*)> f);

// The window on the harness's own dispatcher, whose messages go to FakeUi.
struct FakeUiWindow {
  explicit FakeUiWindow(const std::string& commandLine = "/NONID /STOP");
  Controls& c() { return h.d->Ctl(); }
  DispatchState& st() { return h.d->State(); }
  template <typename W>
  W* Find(const char* name) {
    return w.findChild<W*>(name);
  }
  // The close box of the window, as the user presses it.
  void Close() { w.close(); }

  Harness h;
  MainWindow w;
  std::unique_ptr<Binding> b;
};

// The window with the Qt implementation of the Ui port: tray icon, message
// boxes, the window's placement.
struct QtUiWindow {
  QtUiWindow(bool trayAvailable, const std::string& commandLine);
  int LogLines(const std::string& part);

  Harness h;
  MainWindow w;
  QtUi ui{w};
  std::unique_ptr<Dispatcher> d;
  std::unique_ptr<Binding> b;
};

}  // namespace dorvane::test
