// The user-interface port. The window's controls are a model in the core
// (dispatch/controls.h); this port carries what is not a control: message
// boxes, window placement, the tray icon, the closing notice, the event pump.
#pragma once

#include <string>

namespace dorvane {

// The icon of a notification.
enum class NoticeIcon { kInfo, kWarning, kError };

class Ui {
 public:
  virtual ~Ui() = default;

  // Message box with an OK button. The main window leaves the topmost band
  // while the box is up and goes back afterwards.
  virtual void ShowMessage(const std::string& text) = 0;
  // Yes/No question; true for Yes. Same topmost handling.
  virtual bool AskYesNo(const std::string& text) = 0;

  virtual void SetTopmost(bool topmost) = 0;
  virtual void ShowWindowNormal() = 0;
  virtual void HideWindow() = 0;

  virtual void TrayAdd(const std::string& tip) = 0;
  virtual void TrayModify(const std::string& tip) = 0;
  virtual void TrayDelete() = 0;
  // A notification from the tray icon (a balloon, a desktop notification; a
  // line on standard error without a window). Where the desktop has no
  // notification area it shows nothing: the event log tells the episode.
  // Texts are Windows-1252, one line each.
  virtual void Notify(NoticeIcon icon, const std::string& title, const std::string& text) = 0;

  virtual void ShowClosingNotice() = 0;

  // Lets pending events run: user actions, signals, and a due timer tick.
  virtual void ProcessEvents() = 0;

  // Ends the program at once, without the normal shutdown.
  [[noreturn]] virtual void EndNow(int exitCode) = 0;
};

}  // namespace dorvane
