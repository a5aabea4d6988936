// The Ui port on Qt: message boxes with the topmost handling, the window's
// placement, the tray icon with its menu, the closing notice, the pump.
#pragma once

#include <functional>

#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <QWidget>

#include "dispatch/dispatcher.h"
#include "platform/ui.h"
#include "ui/qt/main_window.h"

namespace dorvane {

// Loads Qt's Italian texts for its own widgets (the text boxes' menus,
// standard buttons), from Debian's qt6-translations-l10n; null without it.
// The translator belongs to app.
QTranslator* InstallQtItalian(QCoreApplication& app);

class QtUi : public Ui {
 public:
  explicit QtUi(MainWindow& window);
  void Attach(Dispatcher* d) { d_ = d; }

  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void SetTopmost(bool topmost) override;
  void ShowWindowNormal() override;
  void HideWindow() override;
  void TrayAdd(const std::string& tip) override;
  void TrayModify(const std::string& tip) override;
  void TrayDelete() override;
  // A message from the tray icon (a desktop notification, or Qt's own
  // balloon beside an XEmbed tray); nothing without a notification area.
  void Notify(NoticeIcon icon, const std::string& title, const std::string& text) override;
  void ShowClosingNotice() override;
  void ProcessEvents() override;
  [[noreturn]] void EndNow(int exitCode) override;

  // The tray icon's activations, and a minimise of the main window.
  void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
  void OnMinimised();
  // Brings the main window back, normal and on top.
  void RestoreFromTray();
  // Shows the About box, modal and owned by the main window.
  void ShowAbout();

  QSystemTrayIcon& Tray() { return tray_; }
  QMenu& TrayMenu() { return trayMenu_; }
  QWidget* ClosingNotice() const { return notice_; }
  // Whether the desktop has a notification area; replaceable for tests.
  std::function<bool()> trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

 private:
  bool Closing() const { return d_ && d_->State().InChiusura; }
  // Without a notification area a hidden window could never be brought back.
  void NoteNoTray();

  MainWindow& w_;
  Dispatcher* d_ = nullptr;
  QSystemTrayIcon tray_;
  QMenu trayMenu_;
  QPointer<QWidget> notice_;
  bool noTrayNoted_ = false;
};

}  // namespace dorvane
