// The Ui port on Win32: message boxes with the topmost handling, the window's
// placement, the tray icon with its menu, the closing notice, the pump.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>

#include "dispatch/dispatcher.h"
#include "platform/ui.h"
#include "ui/win32/main_window.h"

namespace dorvane {

class Win32Ui : public Ui {
 public:
  explicit Win32Ui(MainWindow& window);
  ~Win32Ui() override;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;
  void Attach(Dispatcher* d) { d_ = d; }

  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void SetTopmost(bool topmost) override;
  void ShowWindowNormal() override;
  void HideWindow() override;
  void TrayAdd(const std::string& tip) override;
  void TrayModify(const std::string& tip) override;
  void TrayDelete() override;
  // A balloon from the tray icon (NIF_INFO); nothing without the icon.
  void Notify(NoticeIcon icon, const std::string& title, const std::string& text) override;
  void ShowClosingNotice() override;
  void ProcessEvents() override;
  [[noreturn]] void EndNow(int exitCode) override;

  // The tray icon's callback (a mouse message), and a minimise of the window.
  void OnTray(UINT mouseMessage);
  void OnMinimised();
  // Brings the main window back, normal and on top.
  void RestoreFromTray();
  // Shows the About box, modal and owned by the main window.
  void ShowAbout();

  HWND ClosingNotice() const { return notice_; }
  HMENU TrayMenu() const { return trayMenu_; }
  // Whether the desktop has a notification area; replaceable for tests.
  std::function<bool()> trayAvailable = [] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; };
  // Shell_NotifyIconA; replaceable for tests.
  std::function<BOOL(DWORD, NOTIFYICONDATAA*)> notifyIcon = [](DWORD m, NOTIFYICONDATAA* d) { return Shell_NotifyIconA(m, d); };

 private:
  bool Closing() const { return d_ && d_->State().InChiusura; }
  // Hiding the window is safe only while its icon is there to bring it back.
  bool IconShown() const;
  // Without a notification area a hidden window could never be brought back.
  void NoteNoTray();
  void SetTip(const std::string& tip);

  MainWindow& w_;
  Dispatcher* d_ = nullptr;
  NOTIFYICONDATAA tray_{};
  bool trayWanted_ = false;  // between TrayAdd and TrayDelete
  bool trayShown_ = false;   // added, and not refused
  HMENU trayMenu_ = nullptr;
  HICON trayIcon_ = nullptr;
  HWND notice_ = nullptr;
  HFONT noticeFont_ = nullptr;
  bool noTrayNoted_ = false;
};

// Dispatches a message, with keyboard navigation (Tab, Enter, Esc, menu
// keys) in dialogs and in the main window.
void Dispatch(MSG& m);
// Dispatches every pending message; a WM_QUIT is left for the main loop.
void PumpMessages();

}  // namespace dorvane
