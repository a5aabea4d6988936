// frmDispatcher in plain Win32: the settings window with every control as a
// child window, laid out for the window's DPI in the system's dialog font.
// It paints and reports; the binding connects it to the dispatcher.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dispatch/controls.h"
#include "ui/win32/dir_tree.h"

namespace dorvane {

// The tray icon's callback message, carrying the mouse message in lParam.
inline constexpr UINT kTrayMessage = WM_APP + 1;
// Posted from any thread: the pump runs at once.
inline constexpr UINT kWakeMessage = WM_APP + 2;
// Posted by a second start of the program: the window shows itself.
inline constexpr UINT kShowMessage = WM_APP + 3;

// Asks the main window of another running instance to show itself; false
// when there is none.
bool AskRunningWindowToShow();

class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // A control by its name ("txtInputDir", "lblCom", "fraTipoFile", "Line1"); null when unknown.
  HWND Find(const std::string& name) const;
  std::string ToolTip(HWND control) const;
  // Back colour of a control; kNoColour for the system's.
  static constexpr Colour kNoColour = 0xFFFFFFFF;
  Colour Back(HWND control) const;
  void SetBack(HWND control, Colour colour);
  // The pump: onPump runs every ms milliseconds, also inside modal loops.
  void StartPump(UINT ms);
  HFONT Font() const { return font_; }
  UINT Dpi() const { return dpi_; }
  // Pixels at the window's DPI for a length at 96 DPI.
  int Px(int length) const { return MulDiv(length, static_cast<int>(dpi_), 96); }

  HWND hwnd = nullptr;
  HWND cboComSelect, txtFileFilter, txtFilePrefix, txtInputDir, txtOutputDir, txtErrorDir, txtOutExt, txtErrExt;
  HWND chbExitKora1, chbLogEnable, chkCompatAdHoc, chkInversioneScontiSuReso, chbOutUnitario, chkErrorReset;
  HWND OptionSL, OptionFasyVola, OptionItinerisXml;
  HWND txtKora1PathDir, txtKora1ProcName;
  HWND cmdSetInputDir, cmdSetOutputDir, cmdSetErrorDir, cmdSetKora1PathDir, cmdSetKora1Proc, cmdSaveConfig;
  HWND Drive1;
  DirTree Dir1;
  HWND txtTimerVal, cmdChgTimer, cmdEnableTimer, cmdResetError, cmdKora1Connection;
  HWND txtKora1Result, txtSelectedFile;
  HMENU menuBar = nullptr, m_file = nullptr, m_help = nullptr;
  // Menu command identifiers (not 1 and 2, which the dialog manager sends for Enter and Esc).
  enum : UINT { m_esci = 40001, m_manual = 40002, m_info = 40003, m_registro = 40004 };

  // Every close of the window (close box, Alt+F4, TASKKILL, logoff): it
  // cannot be refused, but the dispatcher's shutdown ends the program.
  std::function<void()> onClose;
  std::function<void()> onMinimised;
  std::function<void(HWND control, UINT id, UINT code)> onCommand;
  std::function<void(UINT mouseMessage)> onTray;
  std::function<void()> onTaskbarCreated;
  std::function<void()> onPump;
  std::function<void()> onShowAsked;

 private:
  struct Item {
    const char* name;
    HWND hwnd;
    RECT at;  // at 96 DPI
  };
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void ApplyDpi(UINT dpi);
  void FillDrives();
  void DrawButton(const DRAWITEMSTRUCT& di);
  void DrawDriveItem(const DRAWITEMSTRUCT& di);
  LRESULT DrawCheck(NMCUSTOMDRAW& cd);
  HBRUSH Brush(Colour colour);

  std::vector<Item> items_;
  std::map<HWND, Colour> backs_;
  std::map<Colour, HBRUSH> brushes_;
  HWND tips_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = 96;
  UINT taskbarCreated_ = 0;
};

}  // namespace dorvane
