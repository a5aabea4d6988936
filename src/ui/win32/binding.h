// The two-way binding between the Win32 window and the dispatcher's controls
// model. A user's edit goes to the model (firing its handler) or to the
// dispatcher's handler; Refresh copies the model back to the controls
// without firing anything. Rules live in the core, never here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "ui/win32/main_window.h"

namespace dorvane {

class Binding {
 public:
  // showAbout runs when the user asks for the About box.
  Binding(MainWindow& window, Dispatcher& dispatcher, std::function<void()> showAbout);
  // Model to controls; cheap when nothing changed, so the pump calls it often.
  void Refresh();

 private:
  struct Text {
    HWND edit;
    TextBox* box;
    std::string shown;
  };
  struct Check {
    HWND check;
    CheckBox* box;
  };
  struct Button {
    HWND button;
    CommandButton* model;  // null for a button whose caption and colour never change
    void (Dispatcher::*handler)();
    std::string caption;
    Colour colour;
  };
  void OnCommand(HWND control, UINT id, UINT code);
  // Runs a user action, then shows what it changed.
  void User(const std::function<void()>& action);
  void ShowText(Text& t, bool force);

  MainWindow& w_;
  Dispatcher& d_;
  std::function<void()> showAbout_;
  std::vector<Text> texts_;
  std::vector<Check> checks_;
  std::vector<Button> buttons_;
  bool refreshing_ = false;
};

}  // namespace dorvane
