#include "gui/gui_support.h"

#include "text/paths.h"

namespace dorvane::test {

void OnNextModal(std::function<void(QWidget*)> f) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, f] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      f(modal);
    }
  });
  poll->start(5);
}

FakeUiWindow::FakeUiWindow(const std::string& commandLine) {
  h.PutConfig(ShopConfig(h), h.appDir);
  h.system.commandLine = commandLine;
  b = std::make_unique<Binding>(w, *h.d, nullptr);
  w.onClose = [this] {
    h.d->RequestClose();
    return h.d->Ended();
  };
  h.d->Form_Load();
  b->Refresh();
  w.show();
}

QtUiWindow::QtUiWindow(bool trayAvailable, const std::string& commandLine) {
  h.PutConfig(ShopConfig(h), h.appDir);
  h.system.commandLine = commandLine;
  ui.trayAvailable = [trayAvailable] { return trayAvailable; };
  d = std::make_unique<Dispatcher>(h.fs, h.clock, h.processes, h.system, ui);
  ui.Attach(d.get());
  b = std::make_unique<Binding>(w, *d, [this] { ui.ShowAbout(); });
  w.onClose = [this] {
    d->RequestClose();
    return d->Ended();
  };
  d->Form_Load();
  b->Refresh();
}

int QtUiWindow::LogLines(const std::string& part) {
  return Count(h.Log(), part);
}

}  // namespace dorvane::test
