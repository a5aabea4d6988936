// frmDispatcher: the settings window with every control, each widget named
// after its control. It holds no behaviour of its own beyond reporting
// closing and minimising; the binding connects it to the dispatcher.
#pragma once

#include <functional>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "ui/qt/dir_tree.h"

namespace dorvane {

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // Asked on every close; returns true once the program has ended.
  std::function<bool()> onClose;
  // The window has just been minimised.
  std::function<void()> onMinimised;

  QComboBox* cboComSelect;
  QLineEdit *txtFileFilter, *txtFilePrefix, *txtInputDir, *txtOutputDir, *txtErrorDir, *txtOutExt, *txtErrExt;
  QCheckBox *chbExitKora1, *chbLogEnable, *chkCompatAdHoc, *chkInversioneScontiSuReso, *chbOutUnitario, *chkErrorReset;
  QRadioButton *OptionSL, *OptionFasyVola, *OptionItinerisXml;
  QLineEdit *txtKora1PathDir, *txtKora1ProcName;
  QPushButton *cmdSetInputDir, *cmdSetOutputDir, *cmdSetErrorDir, *cmdSetKora1PathDir, *cmdSetKora1Proc, *cmdSaveConfig;
  QComboBox* Drive1;
  DirTree* Dir1;
  QLineEdit* txtTimerVal;
  QPushButton *cmdChgTimer, *cmdEnableTimer, *cmdResetError, *cmdKora1Connection;
  QLineEdit *txtKora1Result, *txtSelectedFile;
  QMenu* m_file;
  QAction *m_esci, *m_manual, *m_registro, *m_info;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void FillDrives();
};

}  // namespace dorvane
