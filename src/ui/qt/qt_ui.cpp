#include "ui/qt/qt_ui.h"

#include <cstdlib>

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include "ui/qt/about_box.h"
#include "ui/qt/ansi.h"
#include "ui/qt/program_icon.h"

namespace dorvane {

namespace {
// How long a notification stays up where the desktop lets the program say.
constexpr int kNoticeMs = 15000;
}  // namespace

QtUi::QtUi(MainWindow& window) : w_(window) {
  // The tray menu is the File menu's one command, shown as the default entry.
  trayMenu_.setObjectName("m_file_popup");
  trayMenu_.addAction(w_.m_esci);
  trayMenu_.setDefaultAction(w_.m_esci);
  tray_.setContextMenu(&trayMenu_);
  QObject::connect(&tray_, &QSystemTrayIcon::activated, &tray_,
                   [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
  w_.onMinimised = [this] { OnMinimised(); };
}

namespace {

// A message box of the program: its caption, and the standard buttons in
// Italian whether or not Qt's own translation is installed.
int RunMessageBox(QWidget* owner, QMessageBox::Icon icon, const std::string& text,
                  QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, FromAnsi(kWindowCaption), FromAnsi(text), buttons, owner);
  const std::pair<QMessageBox::StandardButton, QString> italian[] = {
      {QMessageBox::Ok, "OK"}, {QMessageBox::Yes, FromAnsi("&S\xEC")}, {QMessageBox::No, "&No"}};
  for (const auto& [which, caption] : italian)
    if (QAbstractButton* button = box.button(which)) button->setText(caption);
  return box.exec();
}

}  // namespace

QTranslator* InstallQtItalian(QCoreApplication& app) {
  auto* qtbase = new QTranslator(&app);
  if (!qtbase->load(QLocale(QLocale::Italian, QLocale::Italy), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(qtbase)) {
    delete qtbase;
    return nullptr;
  }
  return qtbase;
}

void QtUi::ShowMessage(const std::string& text) {
  SetTopmost(false);
  RunMessageBox(&w_, QMessageBox::Information, text, QMessageBox::Ok);
  SetTopmost(true);
}

bool QtUi::AskYesNo(const std::string& text) {
  SetTopmost(false);
  const bool yes = RunMessageBox(&w_, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  SetTopmost(true);
  return yes;
}

void QtUi::SetTopmost(bool topmost) {
  if (w_.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) return;
  const bool visible = w_.isVisible();
  w_.setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
  // Changing the flag may take the window down; it keeps its state.
  if (visible && !w_.isVisible()) w_.show();
}

void QtUi::ShowWindowNormal() {
  w_.showNormal();
  w_.raise();
  w_.activateWindow();
}

void QtUi::HideWindow() {
  if (Closing() || trayAvailable()) {
    w_.hide();
    return;
  }
  w_.showMinimized();
  NoteNoTray();
}

void QtUi::NoteNoTray() {
  if (noTrayNoted_) return;
  noTrayNoted_ = true;
  if (d_) d_->LogEvent(kErr, "AREA DI NOTIFICA NON DISPONIBILE: FINESTRA RIDOTTA A ICONA, NON NASCOSTA");
}

void QtUi::TrayAdd(const std::string& tip) {
  tray_.setIcon(ProgramIcon());
  tray_.setToolTip(FromAnsi(tip));
  tray_.show();
}

void QtUi::TrayModify(const std::string& tip) { tray_.setToolTip(FromAnsi(tip)); }

void QtUi::TrayDelete() { tray_.hide(); }

void QtUi::Notify(NoticeIcon icon, const std::string& title, const std::string& text) {
  // Without a notification area the event log line tells the episode.
  if (Closing() || !tray_.isVisible() || !trayAvailable()) return;
  QSystemTrayIcon::MessageIcon shown = QSystemTrayIcon::Information;
  if (icon == NoticeIcon::kWarning) shown = QSystemTrayIcon::Warning;
  if (icon == NoticeIcon::kError) shown = QSystemTrayIcon::Critical;
  tray_.showMessage(FromAnsi(title), FromAnsi(text), shown, kNoticeMs);
}

void QtUi::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::DoubleClick:
      w_.raise();
      RestoreFromTray();
      break;
    case QSystemTrayIcon::Context:
      // The menu itself is shown by the tray icon.
      SetTopmost(true);
      break;
    default:
      break;  // a single click does nothing
  }
}

void QtUi::RestoreFromTray() { ShowWindowNormal(); }

void QtUi::OnMinimised() {
  if (Closing()) return;
  if (!trayAvailable()) {
    NoteNoTray();
    return;
  }
  // Hidden once the minimise has been handled, not from inside it.
  QTimer::singleShot(0, &w_, [this] {
    if (w_.isMinimized()) w_.hide();
  });
}

void QtUi::ShowAbout() {
  {
    AboutBox about(&w_);
    about.exec();
  }
  SetTopmost(true);
  if (w_.isVisible()) w_.raise();
}

void QtUi::ShowClosingNotice() {
  auto* notice = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
  notice->setObjectName("Form2");
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->setWindowTitle(FromAnsi(kWindowCaption));
  auto* label = new QLabel(FromAnsi(kClosingNotice), notice);
  label->setObjectName("Label1");
  QFont font = label->font();
  font.setPointSizeF(font.pointSizeF() * 1.2);
  label->setFont(font);
  auto* layout = new QVBoxLayout(notice);
  layout->setContentsMargins(28, 22, 28, 22);
  layout->addWidget(label);
  notice->adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    notice->move(screen->availableGeometry().center() - notice->rect().center());
  notice->show();
  notice_ = notice;
}

void QtUi::ProcessEvents() {
  QApplication::processEvents();
  if (d_) d_->RunPending();
}

void QtUi::EndNow(int exitCode) { std::exit(exitCode); }

}  // namespace dorvane
