// The settings window against the dispatcher: texts, limits, colours, and
// that every user edit reaches the dispatch state.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "gui/gui_support.h"
#include "text/paths.h"
#include "ui/qt/ansi.h"

namespace dorvane::test {
namespace {

// Types any Latin-1 text, as a keyboard with those keys would.
void Type(QWidget* w, const QString& text) {
  for (QChar ch : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
}

QColor Back(QWidget* w) {
  return w->palette().color(qobject_cast<QAbstractButton*>(w) ? QPalette::Button : QPalette::Base);
}

TEST(SettingsWindow, ShowsWhatTheCoreWritesWithoutFiringHandlers) {
  FakeUiWindow f;
  EXPECT_FALSE(f.w.txtInputDir->isReadOnly()) << "unlocked by start-up";
  EXPECT_TRUE(f.w.OptionItinerisXml->isVisible());
  EXPECT_EQ(f.w.txtFileFilter->text(), "*.001") << "loaded from the configuration";
  EXPECT_EQ(f.w.cboComSelect->currentText(), "1");
  EXPECT_TRUE(f.w.chbLogEnable->isChecked());
  EXPECT_EQ(f.w.cmdEnableTimer->text(), "START");
  EXPECT_EQ(Back(f.w.cmdEnableTimer), ToQColor(kGreen));

  f.c().txtKora1Result.Set(std::string("Stampa interrotta: \x80 5,00 \xE0"));
  f.c().cmdResetError.BackColor = kRed;
  f.c().cmdKora1Connection.Show("KORA1 NON CONNESSO", kRed);
  f.c().txtSelectedFile.Set("ABC.001");
  f.c().SelectLayout(1);
  f.st().SomethingModified = false;
  f.b->Refresh();
  EXPECT_EQ(f.w.txtKora1Result->text(), QString::fromUtf8("Stampa interrotta: € 5,00 à"));
  EXPECT_EQ(Back(f.w.cmdResetError), ToQColor(kRed));
  EXPECT_EQ(f.w.cmdKora1Connection->text(), "KORA1 NON CONNESSO");
  EXPECT_EQ(f.w.txtSelectedFile->text(), "ABC.001");
  EXPECT_TRUE(f.w.OptionFasyVola->isChecked());
  EXPECT_FALSE(f.w.OptionSL->isChecked());
  EXPECT_FALSE(f.st().SomethingModified) << "showing the model is not an edit";

  // A longer text from the program is shown whole, though typing stops at the limit.
  f.c().txtTimerVal.Set("250ms");
  f.b->Refresh();
  EXPECT_EQ(f.w.txtTimerVal->text(), "250ms");
}

TEST(SettingsWindow, TypedPathsMirrorIntoTheDispatchState) {
  FakeUiWindow f;
  const std::pair<QLineEdit*, std::string DispatchState::*> boxes[] = {
      {f.w.txtInputDir, &DispatchState::CurrInputFilePath},
      {f.w.txtOutputDir, &DispatchState::CurrOutputFilePath},
      {f.w.txtErrorDir, &DispatchState::CurrErrorFilePath},
      {f.w.txtKora1PathDir, &DispatchState::CurrKora1PathSet}};
  const QString typed = FromAnsi("C:\\Out\xE8");
  for (auto [box, field] : boxes) {
    f.st().SomethingModified = false;
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(f.st().*field, "") << box->objectName().toStdString();
    for (int n = 1; n <= typed.size(); ++n) {
      Type(box, typed.mid(n - 1, 1));
      EXPECT_EQ(f.st().*field, ToAnsi(typed.left(n))) << box->objectName().toStdString();
    }
    EXPECT_TRUE(f.st().SomethingModified);
  }
  // Typed filter and port reach their fields too; a port is stored as its digit.
  f.w.txtFileFilter->selectAll();
  QTest::keyClicks(f.w.txtFileFilter, "*.TXT");
  EXPECT_EQ(f.st().CurrFileFilter, "*.TXT");
  f.w.cboComSelect->setFocus();
  QTest::keyClick(f.w.cboComSelect, Qt::Key_Down);
  QTest::keyClick(f.w.cboComSelect, Qt::Key_Down);
  EXPECT_EQ(f.w.cboComSelect->currentText(), "3");
  EXPECT_EQ(f.st().CurrKora1ActiveCom, "3");
}

TEST(SettingsWindow, SetButtonsCopyTheOpenFolderIntoBoxAndField) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  ASSERT_TRUE(QDir(tmp.path()).mkpath("Out/sub"));
  const QString open = QDir::toNativeSeparators(tmp.path() + "/Out");
  FakeUiWindow f;
  ASSERT_TRUE(f.w.Dir1->OpenFolder(tmp.path() + "/Out"));
  // Highlighting another folder does not open it.
  const QModelIndex sub = static_cast<QFileSystemModel*>(f.w.Dir1->model())->index(tmp.path() + "/Out/sub");
  ASSERT_TRUE(sub.isValid());
  f.w.Dir1->setCurrentIndex(sub);

  struct Case {
    QPushButton* set;
    QLineEdit* box;
    std::string DispatchState::*field;
  };
  const Case cases[] = {{f.w.cmdSetInputDir, f.w.txtInputDir, &DispatchState::CurrInputFilePath},
                        {f.w.cmdSetOutputDir, f.w.txtOutputDir, &DispatchState::CurrOutputFilePath},
                        {f.w.cmdSetErrorDir, f.w.txtErrorDir, &DispatchState::CurrErrorFilePath},
                        {f.w.cmdSetKora1PathDir, f.w.txtKora1PathDir, &DispatchState::CurrKora1PathSet}};
  for (const Case& c : cases) {
    f.st().SomethingModified = false;
    QTest::mouseClick(c.set, Qt::LeftButton);
    EXPECT_EQ(c.box->text(), open) << c.set->objectName().toStdString();
    EXPECT_EQ(f.st().*c.field, ToAnsi(open)) << c.set->objectName().toStdString();
    EXPECT_TRUE(f.st().SomethingModified) << c.set->objectName().toStdString();
  }

  // Choosing a drive opens its root.
  f.w.Dir1->SetDrive(QDir::rootPath());
  QTest::mouseClick(f.w.cmdSetOutputDir, Qt::LeftButton);
  QString root = QDir::toNativeSeparators(QDir::rootPath());  // held as "C:" on Windows; "/" stays
  if (root.size() > 1) root.chop(1);
  EXPECT_EQ(f.st().CurrOutputFilePath, ToAnsi(root));
}

TEST(SettingsWindow, TheCloseQuestionComesOnlyAfterAChange) {
  {
    FakeUiWindow f;
    f.Close();
    EXPECT_TRUE(f.h.d->Ended());
    EXPECT_TRUE(f.h.ui.questions.empty());
  }
  const std::function<void(MainWindow&)> changes[] = {
      [](MainWindow& w) { QTest::mouseClick(w.chbLogEnable, Qt::LeftButton); },
      [](MainWindow& w) { QTest::keyClicks(w.txtFilePrefix, "AB"); },
      [](MainWindow& w) { QTest::mouseClick(w.OptionFasyVola, Qt::LeftButton); },
      [](MainWindow& w) { QTest::mouseClick(w.chkErrorReset, Qt::LeftButton); },
  };
  for (const auto& change : changes) {
    FakeUiWindow f;
    QTest::mouseClick(f.w.cmdSaveConfig, Qt::LeftButton);
    change(f.w);
    f.h.ui.answerYes = true;
    f.Close();
    EXPECT_TRUE(f.h.d->Ended());
    ASSERT_EQ(f.h.ui.questions.size(), 1u);
    EXPECT_EQ(f.h.ui.questions[0], "Salvare i Parametri modificati ?");
  }
  // Saved and not changed since: nothing asked.
  FakeUiWindow f;
  QTest::keyClicks(f.w.txtFilePrefix, "AB");
  QTest::mouseClick(f.w.cmdSaveConfig, Qt::LeftButton);
  f.Close();
  EXPECT_TRUE(f.h.ui.questions.empty());
  EXPECT_NE(f.h.mem.Content(JoinPath(f.h.appDir, "DORVCONF.txt")).find("\r\nAB\r\n"), std::string::npos);
}

TEST(SettingsWindow, ProcessNameReachesTheFieldOnlyThroughItsSetButton) {
  FakeUiWindow f;
  const std::string before = f.st().CurrKora1ProcName;
  QTest::keyClicks(f.w.txtKora1ProcName, "kora");
  EXPECT_EQ(f.st().CurrKora1ProcName, before);
  QTest::mouseClick(f.w.cmdSetKora1Proc, Qt::LeftButton);
  EXPECT_EQ(f.st().CurrKora1ProcName, "kora.exe");
}

TEST(SettingsWindow, StartStopAndTimerButtonsRunTheirHandlers) {
  FakeUiWindow f;
  QTest::mouseClick(f.w.cmdEnableTimer, Qt::LeftButton);
  EXPECT_EQ(f.w.cmdEnableTimer->text(), "STOP");
  EXPECT_EQ(Back(f.w.cmdEnableTimer), ToQColor(kLightRed));
  EXPECT_TRUE(f.c().Timer1.Enabled());
  f.w.txtTimerVal->selectAll();
  QTest::keyClicks(f.w.txtTimerVal, "x5");
  EXPECT_EQ(f.w.txtTimerVal->text(), "5") << "the field filter clears what is not a number";
  QTest::mouseClick(f.w.cmdChgTimer, Qt::LeftButton);
  EXPECT_EQ(f.st().iStdTimerVal, 5000);
  f.c().cmdResetError.BackColor = kRed;
  f.st().StatoEsecuzioneKora1 = 2;
  QTest::mouseClick(f.w.cmdResetError, Qt::LeftButton);
  EXPECT_EQ(f.st().StatoEsecuzioneKora1, 0);
  EXPECT_EQ(Back(f.w.cmdResetError), ToQColor(kGrey));
}

}  // namespace
}  // namespace dorvane::test
