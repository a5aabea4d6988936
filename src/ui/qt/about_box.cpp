#include "ui/qt/about_box.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/about.h"
#include "ui/qt/ansi.h"
#include "ui/qt/program_icon.h"

namespace dorvane {

namespace {
QFrame* Line(const char* name, Colour colour) {
  auto* line = new QFrame;
  line->setObjectName(name);
  line->setFixedHeight(1);
  line->setAutoFillBackground(true);
  QPalette p = line->palette();
  p.setColor(QPalette::Window, ToQColor(colour));
  line->setPalette(p);
  return line;
}
}  // namespace

AboutBox::AboutBox(QWidget* owner) : QDialog(owner) {
  const AboutTexts texts = ProgramAboutTexts();
  setObjectName("frmAbout");
  setWindowTitle(FromAnsi(texts.Caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  setModal(true);

  auto* picIcon = new QLabel;
  picIcon->setObjectName("picIcon");
  picIcon->setPixmap(ProgramIcon().pixmap(48, 48));
  picIcon->setFixedSize(48, 48);
  auto* lblTitle = new QLabel(FromAnsi(texts.Title));
  lblTitle->setObjectName("lblTitle");
  QFont bold = lblTitle->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  lblTitle->setFont(bold);
  auto* lblVersion = new QLabel(FromAnsi(texts.Version));
  lblVersion->setObjectName("lblVersion");
  auto* lblDescription = new QLabel(FromAnsi(texts.Description));
  lblDescription->setObjectName("lblDescription");
  lblDescription->setWordWrap(true);
  auto* cmdOK = new QPushButton("OK");
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  cmdOK->setMinimumWidth(90);
  // Esc rejects a dialog by itself, so OK is the cancel button as well.
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts_ = new QVBoxLayout;
  texts_->setSpacing(6);
  texts_->addWidget(lblTitle);
  texts_->addWidget(lblVersion);
  texts_->addSpacing(8);
  texts_->addWidget(lblDescription);
  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(picIcon, 0, Qt::AlignTop);
  top->addLayout(texts_, 1);
  auto* etched = new QVBoxLayout;
  etched->setSpacing(0);
  etched->addWidget(Line("Line1", 0x00808080));
  etched->addWidget(Line("Line2", 0x00FFFFFF));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(18, 18, 18, 14);
  page->setSpacing(14);
  page->addLayout(top);
  page->addLayout(etched);
  page->addLayout(buttons);
  setMinimumWidth(440);
  setFixedSize(sizeHint().expandedTo(QSize(440, 0)));
}

}  // namespace dorvane
