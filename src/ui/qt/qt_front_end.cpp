#include "ui/qt/qt_front_end.h"

#include <csignal>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "dispatch/dispatcher.h"

namespace dorvane {

namespace {

// SIGINT and SIGTERM ask for the normal shutdown, as a close of the window does.
volatile std::sig_atomic_t g_closeSignal = 0;
extern "C" void OnQtCloseSignal(int) { g_closeSignal = 1; }

// Model colours are 0x00BBGGRR.
QString Css(Colour c) {
  return QString("background-color: rgb(%1,%2,%3);").arg(c & 0xFF).arg((c >> 8) & 0xFF).arg((c >> 16) & 0xFF);
}

// Texts are Windows-1252 bytes in the core.
QString FromAnsi(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<int>(s.size())); }

class MainWindow : public QMainWindow {
 public:
  std::function<bool()> onClose;  // true once the program has ended

 protected:
  void closeEvent(QCloseEvent* e) override {
    // Until the shutdown is done the dispatcher decides; quitting then closes us.
    if (onClose && onClose()) {
      e->accept();
    } else {
      e->ignore();
    }
  }
};

class QtUi : public Ui {
 public:
  explicit QtUi(MainWindow& w) : w_(w) {}
  void Attach(Dispatcher* d) { d_ = d; }

  void ShowMessage(const std::string& text) override {
    SetTopmost(false);
    QMessageBox::information(&w_, FromAnsi(kWindowCaption), FromAnsi(text));
    SetTopmost(true);
  }
  bool AskYesNo(const std::string& text) override {
    SetTopmost(false);
    bool yes = QMessageBox::question(&w_, FromAnsi(kWindowCaption), FromAnsi(text)) == QMessageBox::Yes;
    SetTopmost(true);
    return yes;
  }
  void SetTopmost(bool topmost) override {
    bool visible = w_.isVisible();
    w_.setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    if (visible) w_.show();
  }
  void ShowWindowNormal() override { w_.showNormal(); }
  void HideWindow() override {
    // Without a notification area a hidden window could never come back.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
      w_.hide();
    } else {
      w_.showMinimized();
    }
  }
  void TrayAdd(const std::string& tip) override {
    tray_.setIcon(w_.style()->standardIcon(QStyle::SP_ComputerIcon));
    tray_.setToolTip(FromAnsi(tip));
    tray_.show();
    QObject::connect(&tray_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason r) {
      if (r == QSystemTrayIcon::DoubleClick) {
        w_.showNormal();
        w_.raise();
      }
    });
  }
  void TrayModify(const std::string& tip) override { tray_.setToolTip(FromAnsi(tip)); }
  void TrayDelete() override { tray_.hide(); }
  void ShowClosingNotice() override {
    notice_ = new QLabel(FromAnsi(kClosingNotice));
    notice_->setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    notice_->setMinimumWidth(320);
    notice_->show();
  }
  void ProcessEvents() override {
    QApplication::processEvents();
    if (d_) d_->RunPending();
  }
  [[noreturn]] void EndNow(int exitCode) override { std::exit(exitCode); }

 private:
  MainWindow& w_;
  Dispatcher* d_ = nullptr;
  QSystemTrayIcon tray_;
  QLabel* notice_ = nullptr;
};

}  // namespace

int RunQtFrontEnd(int argc, char** argv, FileSystem& fs, Clock& clock, Processes& processes, SystemInfo& system) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  MainWindow window;
  window.setWindowTitle(FromAnsi(kWindowCaption));
  window.setStyleSheet("QMainWindow { background-color: rgb(64,64,64); }");
  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  auto* startStop = new QPushButton;
  startStop->setObjectName("cmdEnableTimer");
  startStop->setToolTip("Avvia o blocca il ciclo di analisi dei files da trasmettere");
  auto* connection = new QPushButton;
  connection->setObjectName("cmdKora1Connection");
  connection->setToolTip("Indica lo stato di connessione con il programma ZTK Kora1");
  auto* result = new QLineEdit;
  result->setObjectName("txtKora1Result");
  result->setReadOnly(true);
  result->setToolTip("Indica il risultato della sessione di trasmissione di ZTK Kora1");
  auto* label = new QLabel("Risultato KORA1");
  label->setStyleSheet("color: white;");
  layout->addWidget(startStop);
  layout->addWidget(connection);
  layout->addWidget(label);
  layout->addWidget(result);
  window.setCentralWidget(central);
  window.resize(420, 160);

  QtUi ui(window);
  Dispatcher dispatcher(fs, clock, processes, system, ui);
  ui.Attach(&dispatcher);
  QObject::connect(startStop, &QPushButton::clicked, [&] { dispatcher.cmdEnableTimer_Click(); });
  window.onClose = [&] {
    dispatcher.RequestClose();
    return dispatcher.Ended();
  };

  // The binding: model to widgets, and the window timer, on a short pump.
  QTimer pump;
  QObject::connect(&pump, &QTimer::timeout, [&] {
    Controls& c = dispatcher.Ctl();
    startStop->setText(FromAnsi(c.cmdEnableTimer.Caption));
    startStop->setStyleSheet(Css(c.cmdEnableTimer.BackColor));
    connection->setText(FromAnsi(c.cmdKora1Connection.Caption));
    connection->setStyleSheet(Css(c.cmdKora1Connection.BackColor));
    if (result->text() != FromAnsi(c.txtKora1Result.Text)) result->setText(FromAnsi(c.txtKora1Result.Text));
    if (g_closeSignal) {
      g_closeSignal = 0;
      dispatcher.RequestClose();
    }
    dispatcher.RunPending();
    if (dispatcher.Ended()) app.quit();
  });
  std::signal(SIGINT, OnQtCloseSignal);
  std::signal(SIGTERM, OnQtCloseSignal);
  if (!dispatcher.Form_Load()) return 0;
  pump.start(25);
  return app.exec();
}

}  // namespace dorvane
