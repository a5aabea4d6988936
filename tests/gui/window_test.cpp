// The settings window against the dispatcher: every user edit reaches the
// dispatch state, what the core writes shows without firing handlers, and
// Dir1 keeps the user's scrolling. The message boxes speak Italian.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/fakes.h"
#include "ui/qt/ansi.h"
#include "ui/qt/binding.h"
#include "ui/qt/dir_tree.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

namespace dorvane::test {
namespace {

TEST(SettingsWindow, EditsReachTheModelAndModelChangesShow) {
  Harness h;
  h.PutConfig(ShopConfig(h), h.appDir);
  h.system.commandLine = "/NONID /STOP";
  MainWindow w;
  Binding b(w, *h.d, nullptr);
  h.d->Form_Load();
  b.Refresh();
  w.show();
  DispatchState& st = Probe::State(*h.d);
  EXPECT_FALSE(w.txtInputDir->isReadOnly()) << "unlocked by start-up";
  EXPECT_EQ(w.txtFileFilter->text(), "*.001") << "loaded from the configuration";

  const std::pair<QLineEdit*, std::string DispatchState::*> boxes[] = {
      {w.txtInputDir, &DispatchState::CurrInputFilePath}, {w.txtOutputDir, &DispatchState::CurrOutputFilePath},
      {w.txtErrorDir, &DispatchState::CurrErrorFilePath}, {w.txtKora1PathDir, &DispatchState::CurrKora1PathSet},
      {w.txtFileFilter, &DispatchState::CurrFileFilter}};
  for (auto [box, field] : boxes) {
    st.SomethingModified = false;
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "C:\\Out");
    // A Latin-1 letter, as an Italian keyboard types it.
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_Egrave, QString(QChar(0xE8)), Qt::NoModifier);
    EXPECT_EQ(st.*field, "C:\\Out\xE8") << box->objectName().toStdString();
    EXPECT_TRUE(st.SomethingModified) << box->objectName().toStdString();
  }
  QTest::mouseClick(w.cmdEnableTimer, Qt::LeftButton);
  EXPECT_TRUE(h.d->Ctl().Timer1.Enabled());
  EXPECT_EQ(w.cmdEnableTimer->text(), "STOP");

  Controls& c = h.d->Ctl();
  c.txtKora1Result.Set(std::string("Stampa interrotta: \x80 5,00 \xE0"));
  c.cmdResetError.BackColor = kRed;
  c.SelectLayout(1);
  st.SomethingModified = false;
  b.Refresh();
  EXPECT_EQ(w.txtKora1Result->text(), QString::fromUtf8("Stampa interrotta: € 5,00 à"));
  EXPECT_EQ(w.cmdResetError->palette().color(QPalette::Button), ToQColor(kRed));
  EXPECT_TRUE(w.OptionFasyVola->isChecked());
  EXPECT_FALSE(st.SomethingModified) << "showing the model is not an edit";

  w.m_registro->trigger();  // today's ledger summary, opened
  ASSERT_EQ(h.processes.opened.size(), 1u);
  EXPECT_NE(h.processes.opened[0].find("DORVREG-RIEPILOGO.txt"), std::string::npos);
}

// Dir1 keeps the user's scrolling while other programs create and delete
// folders beside the open one and beside its parents.
TEST(DirTree, FolderChangesNeverUndoTheUsersScrolling) {
  QTemporaryDir tmp;
  QDir top(tmp.path());
  for (int i = 0; i < 60; ++i) top.mkpath(QString("a%1").arg(i, 2, 10, QChar('0')));
  top.mkpath("a30/shop/in");
  DirTree tree;
  tree.resize(200, 150);
  tree.show();
  ASSERT_TRUE(tree.OpenFolder(top.filePath("a30/shop/in")));
  const QString open = tree.OpenPath();
  QTest::qWait(1000);  // the folders on the way are read and the open one revealed
  ASSERT_GT(tree.verticalScrollBar()->value(), 0);

  tree.verticalScrollBar()->setValue(0);  // the user scrolls to the top
  for (const char* dir : {"a30/shop/new", "a30/other", "zz"}) top.mkpath(dir);
  QTest::qWait(1000);
  for (const char* dir : {"a30/shop/new", "a30/other", "zz"}) top.rmdir(dir);
  QTest::qWait(1000);
  EXPECT_EQ(tree.verticalScrollBar()->value(), 0);
  EXPECT_EQ(tree.OpenPath(), open);
  EXPECT_EQ(QDir::toNativeSeparators(static_cast<QFileSystemModel*>(tree.model())->filePath(tree.currentIndex())), open);
}

// The closing question reads "Sì" and "No", as the manual says, even
// without Qt's Italian translation; Qt's own texts come from it
// (qt6-translations-l10n, from scripts/deps.sh qt).
// The program's pump is a timer of the main loop (status file, notices,
// the door): a message box's own loop keeps it running, so a box waiting for
// its OK never holds the status file's rewrite.
TEST(MessageBoxes, ThePumpRunsWhileABoxWaits) {
  MainWindow w;
  QtUi ui(w);
  int pumped = 0;
  QTimer pump;
  QObject::connect(&pump, &QTimer::timeout, [&] {
    ++pumped;
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box && pumped >= 20) box->button(QMessageBox::Ok)->click();
  });
  pump.start(5);
  ui.ShowMessage("Impossibile trovare il file 53");
  EXPECT_GE(pumped, 20);
}

TEST(MessageBoxes, ButtonsSpeakItalian) {
  MainWindow w;
  QtUi ui(w);
  QStringList buttons;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    for (QAbstractButton* button : box ? box->buttons() : QList<QAbstractButton*>()) buttons << button->text();
    if (box) poll.stop(), box->button(QMessageBox::No)->click();
  });
  poll.start(10);
  EXPECT_FALSE(ui.AskYesNo("Salvare i Parametri modificati ?"));
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"&No", FromAnsi("&S\xEC")}));
  ASSERT_NE(InstallQtItalian(*qApp), nullptr) << "Qt's Italian translation is missing: scripts/deps.sh qt";
  EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), "&Copia");
}

}  // namespace
}  // namespace dorvane::test
