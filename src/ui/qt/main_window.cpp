#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "dispatch/dispatcher.h"
#include "ui/qt/ansi.h"
#include "ui/qt/program_icon.h"

namespace dorvane {

namespace {

template <typename W>
W* Named(W* w, const char* name, const QString& tip = {}) {
  w->setObjectName(name);
  if (!tip.isEmpty()) w->setToolTip(tip);
  return w;
}

QLineEdit* Box(const char* name, const QString& tip, int width = 0) {
  auto* e = Named(new QLineEdit, name, tip);
  if (width) e->setFixedWidth(width);
  return e;
}

QLabel* Label(const char* name, const QString& text, const QString& tip = {}) { return Named(new QLabel(text), name, tip); }

void Paint(QWidget* w, Colour colour) {
  QPalette p = w->palette();
  for (auto role : {QPalette::Base, QPalette::Button}) p.setColor(role, ToQColor(colour));
  w->setPalette(p);
}

QPushButton* SetButton(const char* name, const QString& tip = {}) {
  auto* b = Named(new QPushButton("Set"), name, tip);
  b->setFixedWidth(44);
  Paint(b, kSetBack);
  return b;
}

QFrame* Separator(const char* name) {
  auto* line = Named(new QFrame, name);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmDispatcher");
  setWindowTitle(FromAnsi(kWindowCaption));
  setWindowIcon(ProgramIcon());

  m_file = Named(menuBar()->addMenu("&File"), "m_file");
  m_esci = Named(m_file->addAction("&Termina ZTK DORVANE"), "m_esci");
  m_manual = Named(menuBar()->addAction("&Manuale"), "m_manual");
  m_registro = Named(menuBar()->addAction("&Registro di oggi"), "m_registro");
  QMenu* help = Named(menuBar()->addMenu("&?"), "m_help");
  m_info = Named(help->addAction("&Informazioni  su ZTK DORVANE"), "m_info");

  // The dark back colour with light captions covers the client area only;
  // the menu bar, message boxes and tool tips keep the desktop's colours.
  auto* central = Named(new QWidget, "frmDispatcherClient");
  QPalette dark = central->palette();
  dark.setColor(QPalette::Window, ToQColor(kWindowBack));
  dark.setColor(QPalette::WindowText, Qt::white);
  central->setPalette(dark);
  central->setAutoFillBackground(true);
  setCentralWidget(central);
  auto* page = new QVBoxLayout(central);
  page->setContentsMargins(12, 10, 12, 12);
  page->setSpacing(8);

  // Filters, extensions, port and interval.
  cboComSelect = Named(new QComboBox, "cboComSelect", "Ports Seriale");
  for (int port = 1; port <= 8; ++port) cboComSelect->addItem(QString::number(port));
  cboComSelect->setCurrentIndex(-1);
  cboComSelect->setFixedWidth(56);
  txtFilePrefix = Box("txtFilePrefix", "Eventuale prefisso per i nomi dei file di input", 110);
  txtFileFilter = Box("txtFileFilter", "Filtro selezione file di input", 110);
  txtOutExt = Box("txtOutExt", "Estensione relativa ai file di Output", 110);
  txtErrExt = Box("txtErrExt", "Estensione relativa ai file di Errore", 110);
  txtTimerVal = Box("txtTimerVal", "Valore del timer in secondi", 56);
  cmdChgTimer = Named(new QPushButton("Set Timer"), "cmdChgTimer", "Cliccare per settare il timer");
  auto* general = new QGridLayout;
  general->setHorizontalSpacing(8);
  general->addWidget(Label("lblFilePrefix", "Filtro Prefisso File di Input:",
                           "Filtro agente sul Prefisso del nome del file per la selezione dei files da trasmettere"),
                     0, 0);
  general->addWidget(txtFilePrefix, 0, 1);
  general->addWidget(Label("lblFileFilter", "Filtro Estens. File di Input:",
                           "Filtro agente sulla estensione del nome file, per la selezione dei files di Input da trasmettere"),
                     1, 0);
  general->addWidget(txtFileFilter, 1, 1);
  general->addWidget(Label("lblOutExt", "Estensione File di Output:", "Estensione aggiuntiva relativa ai files di Output"), 0, 3);
  general->addWidget(txtOutExt, 0, 4);
  general->addWidget(Label("lblErrExt", "Estensione File di Errore:", "Estensione aggiuntiva relativa ai files di Errore"), 1, 3);
  general->addWidget(txtErrExt, 1, 4);
  general->addWidget(Label("lblCom", "COM"), 0, 6);
  general->addWidget(cboComSelect, 0, 7);
  general->addWidget(Label("lblTimer", "Timer in Sec.:"), 1, 6);
  auto* timer = new QHBoxLayout;
  timer->addWidget(txtTimerVal);
  timer->addWidget(cmdChgTimer);
  general->addLayout(timer, 1, 7);
  general->setColumnMinimumWidth(2, 16);
  general->setColumnMinimumWidth(5, 16);
  general->setColumnStretch(8, 1);
  page->addLayout(general);
  page->addWidget(Separator("Line1"));

  // Paths, with the directory picker beside their "Set" buttons.
  txtInputDir = Box("txtInputDir", "Indica la Path dei files di Input da trasmettere");
  txtOutputDir = Box("txtOutputDir", "Indica la Path dei files di Output");
  txtErrorDir = Box("txtErrorDir", "Indica la Path dei files di Errore");
  txtKora1PathDir = Box("txtKora1PathDir", "Indica la Path dei files di esecuzione di ZTK_Kora1");
  txtKora1ProcName = Box("txtKora1ProcName", {}, 130);
  cmdSetInputDir = SetButton("cmdSetInputDir", "Inserisce la Path selezionata per i files di Input");
  cmdSetOutputDir = SetButton("cmdSetOutputDir", "Inserisce la Path selezionata per i files di Output");
  cmdSetErrorDir = SetButton("cmdSetErrorDir", "Inserisce la Path selezionata per i files di Errore");
  cmdSetKora1PathDir = SetButton("cmdSetKora1PathDir");
  cmdSetKora1Proc = SetButton("cmdSetKora1Proc");
  for (QLineEdit* dir : {txtInputDir, txtOutputDir, txtErrorDir, txtKora1PathDir}) {
    dir->setMinimumWidth(260);
    Paint(dir, kPathBack);
  }
  auto* paths = new QGridLayout;
  paths->setHorizontalSpacing(8);
  const std::pair<QLabel*, std::pair<QLineEdit*, QPushButton*>> rows[] = {
      {Label("lblInputDir", "Input File Path"), {txtInputDir, cmdSetInputDir}},
      {Label("lblOutputDir", "Output File Path"), {txtOutputDir, cmdSetOutputDir}},
      {Label("lblErrorDir", "Error File Path"), {txtErrorDir, cmdSetErrorDir}},
      {Label("lblKora1PathDir", "ZTK_KORA1 Program Path"), {txtKora1PathDir, cmdSetKora1PathDir}},
      {Label("lblKora1ProcName", "Nome Proc.\"Kkora1.exe\":"), {txtKora1ProcName, cmdSetKora1Proc}},
  };
  int row = 0;
  for (const auto& [label, field] : rows) {
    paths->addWidget(label, row, 0);
    if (field.first == txtKora1ProcName) {
      paths->addWidget(field.first, row, 1, Qt::AlignLeft);
    } else {
      paths->addWidget(field.first, row, 1);
    }
    paths->addWidget(field.second, row, 2);
    ++row;
  }
  paths->setRowStretch(row, 1);
  Drive1 = Named(new QComboBox, "Drive1", "Selezione del Drive");
  Dir1 = Named(new DirTree, "Dir1", "Selezione delle directory di I/O");
  Dir1->setMinimumSize(230, 150);
  Paint(Drive1, kPickerBack);
  Paint(Dir1, kPickerBack);
  auto* picker = new QVBoxLayout;
  picker->setSpacing(4);
  picker->addWidget(Drive1);
  picker->addWidget(Dir1, 1);
  auto* pathArea = new QHBoxLayout;
  pathArea->setSpacing(12);
  pathArea->addLayout(paths, 1);
  pathArea->addLayout(picker);
  page->addLayout(pathArea);
  page->addWidget(Separator("Line2"));

  // Options.
  OptionSL = Named(new QRadioButton("Sarema SL / XonXoff"), "OptionSL",
                   "Selezione tracciato di input come \"Sarema Language\"  (default) o \"Xon-Xoff\"");
  OptionFasyVola = Named(new QRadioButton("Fasy Vola"), "OptionFasyVola", "Selezione tracciato di input come \"Fasy Vola\"");
  OptionItinerisXml = Named(new QRadioButton("ItinerisXml"), "OptionItinerisXml");
  chkCompatAdHoc = Named(new QCheckBox(FromAnsi("Compatibilit\xE0 AdHoc")), "chkCompatAdHoc");
  chkInversioneScontiSuReso = Named(new QCheckBox("Inverti Sconti su Reso"), "chkInversioneScontiSuReso",
                                    "Opzione di inversione comandi di Sconto se successivi a comandi di Reso");
  chbLogEnable = Named(new QCheckBox("Abilita Log Eventi"), "chbLogEnable", "Abilita / Disabilita il file di Log degli eventi");
  chbExitKora1 = Named(new QCheckBox("Termina ZTK Kora1 in uscita"), "chbExitKora1",
                       "Se attivo, chiude anche il programma ZTK Kora1 in uscita");
  chbOutUnitario = Named(new QCheckBox("Crea file BTO di risultato sessione"), "chbOutUnitario",
                         "Se abilitato, crea file .BTO con risultato sessione");
  chkErrorReset = Named(new QCheckBox("Auto Reset stato di errore"), "chkErrorReset", "Auto Reset stato di errore");
  auto group = [](const char* name, const QString& title, std::initializer_list<QWidget*> members) {
    auto* box = Named(new QGroupBox(title), name);
    auto* l = new QVBoxLayout(box);
    for (QWidget* m : members) l->addWidget(m);
    l->addStretch(1);
    return box;
  };
  auto* options = new QHBoxLayout;
  options->setSpacing(10);
  options->addWidget(group("fraTipoFile", "Tipo file di input", {OptionItinerisXml, OptionFasyVola, OptionSL}));
  options->addWidget(group("fraConversione", "Opzioni di Conversione", {chkCompatAdHoc, chkInversioneScontiSuReso}));
  options->addWidget(group("fraAltreOpzioni", "Altre Opzioni", {chbLogEnable, chbExitKora1}));
  auto* loose = new QVBoxLayout;
  loose->addSpacing(14);
  loose->addWidget(chbOutUnitario);
  loose->addWidget(chkErrorReset);
  loose->addStretch(1);
  cmdSaveConfig = Named(new QPushButton("Salva Configurazione"), "cmdSaveConfig", "Salva le configurazioni su file");
  Paint(cmdSaveConfig, kSetBack);
  loose->addWidget(cmdSaveConfig);
  options->addLayout(loose);
  options->addStretch(1);
  page->addLayout(options);
  page->addWidget(Separator("Line3"));

  // The cycle.
  cmdEnableTimer = Named(new QPushButton, "cmdEnableTimer", "Avvia o blocca il ciclo di analisi dei files da trasmettere");
  cmdKora1Connection = Named(new QPushButton("Ricerca Kora1 ...."), "cmdKora1Connection",
                             "Indica lo stato di connessione con il programma ZTK Kora1");
  cmdResetError = Named(new QPushButton("Reset Errore"), "cmdResetError", "Resetta lo stato di blocco per errore");
  cmdEnableTimer->setMinimumWidth(150);
  cmdKora1Connection->setMinimumWidth(190);
  cmdResetError->setMinimumWidth(120);
  txtSelectedFile = Box("txtSelectedFile", "Indica il file correntemente selezionato");
  txtSelectedFile->setReadOnly(true);
  Paint(txtSelectedFile, kSelectedFileBack);
  txtKora1Result = Box("txtKora1Result", "Indica il risultato della sessione di trasmissione di ZTK Kora1");
  auto* cycle = new QGridLayout;
  cycle->setHorizontalSpacing(10);
  cycle->addWidget(Label("lblEnableTimer", "Start / Stop Trasmissione"), 0, 0);
  cycle->addWidget(Label("lblKora1Connection", "Stato connessione KORA1"), 0, 1);
  cycle->addWidget(cmdEnableTimer, 1, 0);
  cycle->addWidget(cmdKora1Connection, 1, 1);
  cycle->addWidget(cmdResetError, 1, 2);
  cycle->setColumnStretch(3, 1);
  page->addLayout(cycle);
  auto* texts = new QGridLayout;
  texts->setHorizontalSpacing(8);
  texts->addWidget(Label("lblSelectedFile", "File Corrente"), 0, 0);
  texts->addWidget(txtSelectedFile, 0, 1);
  texts->addWidget(Label("lblKora1Result", "Risultato KORA1"), 1, 0);
  texts->addWidget(txtKora1Result, 1, 1);
  page->addLayout(texts);

  // Choosing a drive opens its root; a drive that is not ready leaves Dir1 as it was.
  FillDrives();
  connect(Drive1, &QComboBox::activated, this, [this](int index) {
    const QString root = Drive1->itemData(index).toString();
    if (QStorageInfo(root).isReady() && QDir(root).exists()) Dir1->SetDrive(root);
  });
  Dir1->OpenFolder(QDir::currentPath());
  auto syncDrive = [this] {
    int index = Drive1->findData(Dir1->DriveRoot());
    if (index >= 0) Drive1->setCurrentIndex(index);
  };
  syncDrive();
  Dir1->onOpened = syncDrive;
}

void MainWindow::FillDrives() {
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Pseudo file systems report no size; single mounted files are not drives.
    if (!volume.isValid() || !volume.isReady() || volume.bytesTotal() <= 0) continue;
    const QString root = QDir::cleanPath(volume.rootPath());
    if (!QFileInfo(root).isDir() || Drive1->findData(root) >= 0) continue;
    QString shown = QDir::toNativeSeparators(root);
    if (!volume.name().isEmpty()) shown += " [" + volume.name() + "]";
    Drive1->addItem(shown, root);
  }
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // Closing cannot be refused, but the dispatcher runs the shutdown first;
  // the window goes only once it has ended.
  if (!onClose || onClose()) {
    e->accept();
  } else {
    e->ignore();
  }
}

void MainWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange && isMinimized() && onMinimised) onMinimised();
}

}  // namespace dorvane
