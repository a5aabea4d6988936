// frmAbout: the program's icon, title, version and description, with one
// OK button that Enter and Esc both press.
#pragma once

#include <QDialog>

namespace dorvane {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* owner);
};

}  // namespace dorvane
