#include "ui/win32/win32_ui.h"

#include <cstdlib>
#include <cstring>

#include "ui/win32/about_box.h"
#include "ui/win32/program_icon.h"

namespace dorvane {

namespace {

constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE;
constexpr char kNoticeClass[] = "ZTKDorvaneNotice";
// How long a balloon stays up, where the system still honours it.
constexpr UINT kNoticeMs = 15000;

// Copies text into a fixed field, cut to leave room for the NUL.
void CopyCut(char* field, size_t size, const std::string& text) {
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), n);
}

}  // namespace

void Dispatch(MSG& m) {
  HWND root = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialogMessageA(root, &m)) return;
  TranslateMessage(&m);
  DispatchMessageA(&m);
}

void PumpMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    Dispatch(m);
  }
}

Win32Ui::Win32Ui(MainWindow& window) : w_(window) {
  // The tray menu is the File menu's one command, shown as the default entry.
  trayMenu_ = CreatePopupMenu();
  AppendMenuA(trayMenu_, MF_STRING, MainWindow::m_esci, "&Termina ZTK DORVANE");
  SetMenuDefaultItem(trayMenu_, MainWindow::m_esci, FALSE);
  trayIcon_ = CreateProgramIcon(GetSystemMetrics(SM_CXSMICON));
  tray_.cbSize = sizeof tray_;
  tray_.hWnd = w_.hwnd;
  tray_.uID = 1;
  tray_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray_.uCallbackMessage = kTrayMessage;
  tray_.hIcon = trayIcon_;
  w_.onTray = [this](UINT m) { OnTray(m); };
  w_.onMinimised = [this] { OnMinimised(); };
  // Explorer restarted: the icon has to be added again.
  w_.onTaskbarCreated = [this] {
    if (trayWanted_) trayShown_ = notifyIcon(NIM_ADD, &tray_) != FALSE;
  };
}

Win32Ui::~Win32Ui() {
  if (trayShown_) notifyIcon(NIM_DELETE, &tray_);
  if (notice_) DestroyWindow(notice_);
  if (noticeFont_) DeleteObject(noticeFont_);
  if (trayMenu_) DestroyMenu(trayMenu_);
  if (trayIcon_) DestroyIcon(trayIcon_);
}

void Win32Ui::ShowMessage(const std::string& text) {
  SetTopmost(false);
  MessageBoxA(w_.hwnd, text.c_str(), kWindowCaption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
  SetTopmost(true);
}

bool Win32Ui::AskYesNo(const std::string& text) {
  SetTopmost(false);
  const bool yes = MessageBoxA(w_.hwnd, text.c_str(), kWindowCaption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
  SetTopmost(true);
  return yes;
}

void Win32Ui::SetTopmost(bool topmost) {
  SetWindowPos(w_.hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kFlags | SWP_NOACTIVATE);
}

void Win32Ui::ShowWindowNormal() {
  ShowWindow(w_.hwnd, SW_SHOWNORMAL);
  SetForegroundWindow(w_.hwnd);
}

bool Win32Ui::IconShown() const { return trayShown_ && trayAvailable(); }

void Win32Ui::HideWindow() {
  if (Closing() || IconShown()) {
    ShowWindow(w_.hwnd, SW_HIDE);
    return;
  }
  ShowWindow(w_.hwnd, SW_SHOWMINNOACTIVE);
  NoteNoTray();
}

void Win32Ui::NoteNoTray() {
  if (noTrayNoted_) return;
  noTrayNoted_ = true;
  if (d_) d_->LogEvent(kErr, "AREA DI NOTIFICA NON DISPONIBILE: FINESTRA RIDOTTA A ICONA, NON NASCOSTA");
}

void Win32Ui::SetTip(const std::string& tip) {
  // The tip field holds 63 characters and the terminating NUL.
  const size_t n = tip.size() < 63 ? tip.size() : 63;
  std::memset(tray_.szTip, 0, sizeof tray_.szTip);
  std::memcpy(tray_.szTip, tip.data(), n);
}

void Win32Ui::TrayAdd(const std::string& tip) {
  SetTip(tip);
  trayWanted_ = true;
  if (trayAvailable()) trayShown_ = notifyIcon(NIM_ADD, &tray_) != FALSE;
}

void Win32Ui::TrayModify(const std::string& tip) {
  SetTip(tip);
  if (trayShown_) {
    notifyIcon(NIM_MODIFY, &tray_);
  } else if (trayWanted_ && trayAvailable()) {
    // Refused at start-up (a task bar not yet ready): the next tip tries again.
    trayShown_ = notifyIcon(NIM_ADD, &tray_) != FALSE;
  }
}

void Win32Ui::Notify(NoticeIcon icon, const std::string& title, const std::string& text) {
  if (Closing()) return;
  // An add refused at start-up is tried again, as with a new tip.
  if (!trayShown_ && trayWanted_ && trayAvailable()) trayShown_ = notifyIcon(NIM_ADD, &tray_) != FALSE;
  if (!trayShown_) return;  // no notification area: the event log line tells the episode
  // Only the balloon: the tip, the icon and the callback stay as they are,
  // and the next tip does not show the balloon again.
  NOTIFYICONDATAA balloon = tray_;
  balloon.uFlags = NIF_INFO;
  CopyCut(balloon.szInfoTitle, sizeof balloon.szInfoTitle, title);
  CopyCut(balloon.szInfo, sizeof balloon.szInfo, text);
  balloon.dwInfoFlags = icon == NoticeIcon::kError ? NIIF_ERROR : icon == NoticeIcon::kWarning ? NIIF_WARNING : NIIF_INFO;
  balloon.uTimeout = kNoticeMs;
  notifyIcon(NIM_MODIFY, &balloon);
}

void Win32Ui::TrayDelete() {
  if (trayShown_) notifyIcon(NIM_DELETE, &tray_);
  trayShown_ = trayWanted_ = false;
}

void Win32Ui::OnTray(UINT m) {
  switch (m) {
    case WM_LBUTTONDBLCLK:
      SetWindowPos(w_.hwnd, HWND_TOP, 0, 0, 0, 0, kFlags);
      RestoreFromTray();
      break;
    case WM_RBUTTONDOWN:
      SetTopmost(true);
      break;
    case WM_RBUTTONUP: {
      // One menu per right click: it opens when the button comes up.
      SetTopmost(true);
      POINT at;
      GetCursorPos(&at);
      SetForegroundWindow(w_.hwnd);  // so that the menu closes when the user clicks elsewhere
      TrackPopupMenu(trayMenu_, TPM_LEFTALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, w_.hwnd, nullptr);
      PostMessageA(w_.hwnd, WM_NULL, 0, 0);
      break;
    }
    default:
      break;  // a single click, a move: nothing
  }
}

void Win32Ui::RestoreFromTray() { ShowWindowNormal(); }

void Win32Ui::OnMinimised() {
  if (Closing()) return;
  if (!IconShown()) {
    NoteNoTray();
    return;
  }
  ShowWindow(w_.hwnd, SW_HIDE);
}

void Win32Ui::ShowAbout() {
  ShowAboutBox(w_.hwnd);
  SetTopmost(true);
  if (IsWindowVisible(w_.hwnd)) SetWindowPos(w_.hwnd, HWND_TOP, 0, 0, 0, 0, kFlags);
}

void Win32Ui::ShowClosingNotice() {
  static ATOM atom = [] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_WAIT);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kNoticeClass;
    return RegisterClassExA(&wc);
  }();
  (void)atom;
  if (notice_) DestroyWindow(notice_);
  HINSTANCE inst = GetModuleHandleA(nullptr);
  notice_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kNoticeClass, kWindowCaption, WS_POPUP | WS_CAPTION, 0, 0, 0, 0,
                            w_.hwnd, nullptr, inst, nullptr);
  HWND label = CreateWindowExA(0, "STATIC", kClosingNotice, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, notice_,
                               nullptr, inst, nullptr);
  SetWindowLongPtrA(label, GWLP_ID, 1);  // Label1
  // The dialog font, a fifth larger.
  LOGFONTA lf{};
  GetObjectA(w_.Font(), sizeof lf, &lf);
  lf.lfHeight = MulDiv(lf.lfHeight, 6, 5);
  if (noticeFont_) DeleteObject(noticeFont_);
  noticeFont_ = CreateFontIndirectA(&lf);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(noticeFont_), FALSE);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, noticeFont_);
  SIZE text{};
  GetTextExtentPoint32A(dc, kClosingNotice, static_cast<int>(std::strlen(kClosingNotice)), &text);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  const int mx = w_.Px(28), my = w_.Px(22);
  SetWindowPos(label, nullptr, mx, my, text.cx + 2, text.cy, SWP_NOZORDER);
  RECT r{0, 0, text.cx + 2 + 2 * mx, text.cy + 2 * my};
  AdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION, FALSE, WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(notice_, HWND_TOPMOST, (work.left + work.right - w) / 2, (work.top + work.bottom - h) / 2, w, h,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(notice_);
}

void Win32Ui::ProcessEvents() {
  PumpMessages();
  if (d_) d_->RunPending();
}

void Win32Ui::EndNow(int exitCode) {
  // No destructor runs: the icon would stay in the notification area.
  TrayDelete();
  std::exit(exitCode);
}

}  // namespace dorvane
