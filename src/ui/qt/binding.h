// The two-way binding between the window and the dispatcher's controls
// model. A user's edit goes to the model (firing its handler) or to the
// dispatcher's handler; Refresh copies the model back to the widgets
// without firing anything. Rules live in the core, never here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "ui/qt/main_window.h"

namespace dorvane {

class Binding {
 public:
  // showAbout runs when the user asks for the About box.
  Binding(MainWindow& window, Dispatcher& dispatcher, std::function<void()> showAbout);
  // Model to widgets; cheap when nothing changed, so the pump calls it often.
  void Refresh();

 private:
  struct Text {
    QLineEdit* edit;
    TextBox* box;
    std::string shown;
  };
  struct Check {
    QCheckBox* check;
    CheckBox* box;
  };
  struct Button {
    QPushButton* button;
    CommandButton* model;
    std::string caption;
    Colour colour;
    bool painted;
  };
  // Runs a user action, then shows what it changed.
  void User(const std::function<void()>& action);
  void BindText(QLineEdit* edit, TextBox& box);
  void BindCheck(QCheckBox* check, CheckBox& box);
  void BindButton(QPushButton* button, CommandButton* model, void (Dispatcher::*handler)());
  void ShowText(Text& t);

  MainWindow& w_;
  Dispatcher& d_;
  std::vector<Text> texts_;
  std::vector<Check> checks_;
  std::vector<Button> buttons_;
};

}  // namespace dorvane
