// The settings window against the dispatcher: texts, limits, colours, and
// that every user edit reaches the dispatch state.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>

#include "gui/gui_support.h"
#include "text/paths.h"
#include "ui/qt/ansi.h"

namespace dorvane::test {
namespace {

QString Caption(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

// Types any Latin-1 text, as a keyboard with those keys would.
void Type(QWidget* w, const QString& text) {
  for (QChar ch : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
}

QColor Back(QWidget* w) {
  return w->palette().color(qobject_cast<QAbstractButton*>(w) ? QPalette::Button : QPalette::Base);
}

TEST(SettingsWindow, EveryControlHasItsTextToolTipColourAndLimit) {
  // The design values, before start-up loads anything.
  Harness h;
  MainWindow w;
  Binding b(w, *h.d, nullptr);
  struct Expected {
    const char* name;
    QString caption, tip;
    Colour back = 0xFFFFFFFF;  // not checked
    int limit = 0;
  };
  const QString none;
  const Expected controls[] = {
      {"cboComSelect", none, "Ports Seriale"},
      {"txtFileFilter", "*.00X", "Filtro selezione file di input", 0xFFFFFFFF, 8},
      {"txtFilePrefix", "", "Eventuale prefisso per i nomi dei file di input", 0xFFFFFFFF, 12},
      {"txtInputDir", "", "Indica la Path dei files di Input da trasmettere", 0x00C0C0FF},
      {"txtOutputDir", "", "Indica la Path dei files di Output", 0x00C0C0FF},
      {"txtErrorDir", "", "Indica la Path dei files di Errore", 0x00C0C0FF},
      {"txtOutExt", ".OUT", "Estensione relativa ai file di Output", 0xFFFFFFFF, 8},
      {"txtErrExt", ".ERR", "Estensione relativa ai file di Errore", 0xFFFFFFFF, 8},
      {"chbExitKora1", "Termina ZTK Kora1 in uscita", "Se attivo, chiude anche il programma ZTK Kora1 in uscita"},
      {"chbLogEnable", "Abilita Log Eventi", "Abilita / Disabilita il file di Log degli eventi"},
      {"chkCompatAdHoc", FromAnsi("Compatibilit\xE0 AdHoc"), none},
      {"chkInversioneScontiSuReso", "Inverti Sconti su Reso",
       "Opzione di inversione comandi di Sconto se successivi a comandi di Reso"},
      {"chbOutUnitario", "Crea file BTO di risultato sessione", "Se abilitato, crea file .BTO con risultato sessione"},
      {"chkErrorReset", "Auto Reset stato di errore", "Auto Reset stato di errore"},
      {"OptionSL", "Sarema SL / XonXoff", "Selezione tracciato di input come \"Sarema Language\"  (default) o \"Xon-Xoff\""},
      {"OptionFasyVola", "Fasy Vola", "Selezione tracciato di input come \"Fasy Vola\""},
      {"OptionItinerisXml", "ItinerisXml", none},
      {"txtKora1PathDir", "", "Indica la Path dei files di esecuzione di ZTK_Kora1", 0x00C0C0FF},
      {"txtKora1ProcName", "", none, 0xFFFFFFFF, 12},
      {"Drive1", none, "Selezione del Drive", 0x00C0FFFF},
      {"Dir1", none, "Selezione delle directory di I/O", 0x00C0FFFF},
      {"cmdSetInputDir", "Set", "Inserisce la Path selezionata per i files di Input", 0x00FFFF80},
      {"cmdSetOutputDir", "Set", "Inserisce la Path selezionata per i files di Output", 0x00FFFF80},
      {"cmdSetErrorDir", "Set", "Inserisce la Path selezionata per i files di Errore", 0x00FFFF80},
      {"cmdSetKora1PathDir", "Set", none, 0x00FFFF80},
      {"cmdSetKora1Proc", "Set", none, 0x00FFFF80},
      {"cmdSaveConfig", "Salva Configurazione", "Salva le configurazioni su file", 0x00FFFF80},
      {"txtTimerVal", "1", "Valore del timer in secondi", 0xFFFFFFFF, 2},
      {"cmdChgTimer", "Set Timer", "Cliccare per settare il timer"},
      {"cmdEnableTimer", "", "Avvia o blocca il ciclo di analisi dei files da trasmettere"},
      {"cmdResetError", "Reset Errore", "Resetta lo stato di blocco per errore"},
      {"cmdKora1Connection", "Ricerca Kora1 ....", "Indica lo stato di connessione con il programma ZTK Kora1"},
      {"txtKora1Result", "", "Indica il risultato della sessione di trasmissione di ZTK Kora1", 0xFFFFFFFF, 255},
      {"txtSelectedFile", "", "Indica il file correntemente selezionato", 0x00C0FFC0},
  };
  for (const Expected& e : controls) {
    auto* widget = w.findChild<QWidget*>(e.name);
    ASSERT_NE(widget, nullptr) << e.name;
    if (!e.caption.isNull()) {
      EXPECT_EQ(Caption(widget), e.caption) << e.name;
    }
    EXPECT_EQ(widget->toolTip(), e.tip) << e.name;
    if (e.back != 0xFFFFFFFF) {
      EXPECT_EQ(Back(widget), ToQColor(e.back)) << e.name;
    }
    if (e.limit) {
      auto* edit = qobject_cast<QLineEdit*>(widget);
      edit->setFocus();
      edit->selectAll();
      QTest::keyClicks(edit, QString(300, '9'));
      EXPECT_EQ(edit->text().size(), e.limit) << e.name << ": no more can be typed";
    }
  }
  EXPECT_EQ(w.cboComSelect->count(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(w.cboComSelect->itemText(i), QString::number(i + 1));
  EXPECT_EQ(w.cboComSelect->currentIndex(), -1);
  EXPECT_TRUE(w.OptionSL->isChecked());
  EXPECT_TRUE(w.OptionItinerisXml->isHidden()) << "shown by start-up";
  EXPECT_TRUE(w.txtInputDir->isReadOnly()) << "unlocked by start-up";
  EXPECT_TRUE(w.txtSelectedFile->isReadOnly());

  EXPECT_EQ(w.windowTitle(), "ZTK DORVANE ");
  EXPECT_EQ(w.centralWidget()->palette().color(QPalette::Window), ToQColor(0x00404040));

  // Labels, with their tool tips where they have one.
  const std::pair<QString, QString> labels[] = {
      {"Input File Path", ""}, {"Output File Path", ""}, {"Error File Path", ""}, {"COM", ""},
      {"Filtro Prefisso File di Input:", "Filtro agente sul Prefisso del nome del file per la selezione dei files da trasmettere"},
      {"Filtro Estens. File di Input:",
       "Filtro agente sulla estensione del nome file, per la selezione dei files di Input da trasmettere"},
      {"Estensione File di Output:", "Estensione aggiuntiva relativa ai files di Output"},
      {"Estensione File di Errore:", "Estensione aggiuntiva relativa ai files di Errore"},
      {"ZTK_KORA1 Program Path", ""}, {"Nome Proc.\"Kkora1.exe\":", ""}, {"Timer in Sec.:", ""}, {"File Corrente", ""},
      {"Start / Stop Trasmissione", ""}, {"Stato connessione KORA1", ""}, {"Risultato KORA1", ""}};
  const auto all = w.findChildren<QLabel*>();
  for (const auto& [text, tip] : labels) {
    auto it = std::find_if(all.begin(), all.end(), [&](QLabel* l) { return l->text() == text; });
    ASSERT_NE(it, all.end()) << text.toStdString();
    EXPECT_EQ((*it)->toolTip(), tip) << text.toStdString();
  }

  // The three frames and what each holds.
  const std::pair<QString, std::vector<QWidget*>> frames[] = {
      {"Tipo file di input", {w.OptionItinerisXml, w.OptionFasyVola, w.OptionSL}},
      {"Opzioni di Conversione", {w.chkCompatAdHoc, w.chkInversioneScontiSuReso}},
      {"Altre Opzioni", {w.chbLogEnable, w.chbExitKora1}}};
  const auto groups = w.findChildren<QGroupBox*>();
  ASSERT_EQ(groups.size(), 3);
  for (const auto& [title, members] : frames) {
    auto it = std::find_if(groups.begin(), groups.end(), [&](QGroupBox* g) { return g->title() == title; });
    ASSERT_NE(it, groups.end()) << title.toStdString();
    for (QWidget* m : members) EXPECT_EQ(m->parentWidget(), *it) << m->objectName().toStdString();
  }
  for (QWidget* loose : {static_cast<QWidget*>(w.chbOutUnitario), static_cast<QWidget*>(w.chkErrorReset)})
    EXPECT_EQ(qobject_cast<QGroupBox*>(loose->parentWidget()), nullptr);

  // The menu bar, in order.
  const auto bar = w.menuBar()->actions();
  ASSERT_EQ(bar.size(), 3);
  EXPECT_EQ(bar[0]->text(), "&File");
  ASSERT_EQ(bar[0]->menu()->actions().size(), 1);
  EXPECT_EQ(bar[0]->menu()->actions()[0], w.m_esci);
  EXPECT_EQ(w.m_esci->text(), "&Termina ZTK DORVANE");
  EXPECT_EQ(bar[1], w.m_manual);
  EXPECT_EQ(bar[1]->text(), "&Manuale");
  EXPECT_EQ(bar[2]->text(), "&?");
  ASSERT_EQ(bar[2]->menu()->actions().size(), 1);
  EXPECT_EQ(bar[2]->menu()->actions()[0], w.m_info);
  EXPECT_EQ(w.m_info->text(), "&Informazioni  su ZTK DORVANE");
}

TEST(SettingsWindow, ShowsWhatTheCoreWritesWithoutFiringHandlers) {
  FakeUiWindow f;
  EXPECT_FALSE(f.w.txtInputDir->isReadOnly());
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
