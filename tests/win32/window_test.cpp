// The Win32 settings window, tray icon and About box against a dispatcher on
// fakes, everything read back through Win32 itself.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <tuple>
#include <utility>

#include "support/fakes.h"
#include "support/files.h"
#include "text/paths.h"
#include "ui/win32/binding.h"
#include "ui/win32/win32_ui.h"

namespace dorvane::test {
namespace {

std::string Text(HWND h) { char b[512] = {}; return GetWindowTextA(h, b, sizeof b), b; }
// As typed on the keyboard.
void Type(HWND edit, const std::string& s) { for (char ch : s) SendMessageA(edit, WM_CHAR, static_cast<BYTE>(ch), 0); }
void Clear(HWND edit) { SendMessageA(edit, EM_SETSEL, 0, -1), SendMessageA(edit, WM_CHAR, VK_BACK, 0); }
void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }
bool Topmost(HWND h) { return GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST; }

// While alive, hands every visible dialog box of this thread (message boxes,
// the About box) to f every 10 ms, inside the box's own message loop.
class Dialogs {
 public:
  explicit Dialogs(std::function<void(HWND)> f) : f_(std::move(f)), timer_(SetTimer(nullptr, 0, 10, &Poll)) { now_ = this; }
  ~Dialogs() { KillTimer(nullptr, timer_), now_ = nullptr; }
  std::set<HWND> seen;

 private:
  static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
    if (!now_ || std::exchange(now_->busy_, true)) return;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM) -> BOOL {
      char cls[16] = {};
      GetClassNameA(h, cls, sizeof cls);
      if (std::string(cls) == "#32770" && IsWindowVisible(h)) now_->seen.insert(h), now_->f_(h);
      return TRUE;
    }, 0);
    now_->busy_ = false;
  }
  static inline Dialogs* now_ = nullptr;
  std::function<void(HWND)> f_;
  UINT_PTR timer_;
  bool busy_ = false;
};

// The window with the Win32 Ui on the harness's fakes; tray calls recorded.
struct Win32Window {
  explicit Win32Window(const std::string& commandLine = "/NONID /STOP") {
    h.PutConfig(ShopConfig(h), h.appDir);
    h.system.commandLine = commandLine;
    ui.trayAvailable = [] { return true; };
    ui.notifyIcon = [this](DWORD m, NOTIFYICONDATAA* n) { return tray.push_back({m, n->szTip}), TRUE; };
    d = std::make_unique<Dispatcher>(h.fs, h.clock, h.processes, h.system, ui);
    ui.Attach(d.get());
    b = std::make_unique<Binding>(w, *d, [this] { ui.ShowAbout(); });
    w.onClose = [this] { d->RequestClose(); };
    w.onPump = [this] { d->RunPending(), b->Refresh(); };
    d->Form_Load();
    b->Refresh();
  }
  DispatchState& st() { return Probe::State(*d); }
  Controls& c() { return d->Ctl(); }

  Harness h;
  std::vector<std::pair<DWORD, std::string>> tray;  // the calls of Shell_NotifyIconA
  MainWindow w;
  Win32Ui ui{w};
  std::unique_ptr<Dispatcher> d;
  std::unique_ptr<Binding> b;
};

// The colour a control is painted with, as its parent or the tree reports it.
Colour Painted(MainWindow& w, HWND c) {
  char cls[16] = {};
  GetClassNameA(c, cls, sizeof cls);
  if (c == w.Dir1.Hwnd()) return TreeView_GetBkColor(c);
  if (std::string(cls) != "Edit") return w.Back(c);
  HDC dc = GetDC(c);
  SendMessageA(w.hwnd, (GetWindowLongA(c, GWL_STYLE) & ES_READONLY) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
               reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c));
  const Colour painted = GetBkColor(dc);
  ReleaseDC(c, dc);
  return painted;
}

TEST(Win32Window, ControlsShowTheModelWithTheirColoursAndLimits) {
  Win32Window f;
  // Texts from the model and the configuration, and captions with bytes a
  // narrow call could mangle.
  const std::pair<const char*, std::string> texts[] = {
      {"cboComSelect", "1"}, {"txtFileFilter", "*.001"}, {"txtInputDir", f.h.kora1Dir}, {"txtErrExt", ".ERR"},
      {"txtTimerVal", "2"}, {"cmdEnableTimer", "START"}, {"cmdKora1Connection", "Ricerca Kora1 ...."},
      {"chkCompatAdHoc", "Compatibilit\xE0 AdHoc"}, {"lblKora1ProcName", "Nome Proc.\"Kkora1.exe\":"}};
  for (const auto& [name, text] : texts) EXPECT_EQ(Text(f.w.Find(name)), text) << name;
  // One control of each kind that draws its own colour.
  const std::pair<const char*, Colour> colours[] = {
      {"txtOutputDir", kPathBack}, {"txtSelectedFile", kSelectedFileBack}, {"Dir1", kPickerBack},
      {"Drive1", kPickerBack},     {"cmdSetKora1Proc", kSetBack},          {"cmdEnableTimer", kGreen}};
  for (auto [name, colour] : colours) EXPECT_EQ(Painted(f.w, f.w.Find(name)), colour) << name;
  const std::pair<const char*, int> limits[] = {{"txtFileFilter", 8}, {"txtKora1ProcName", 12}, {"txtTimerVal", 2}, {"txtKora1Result", 255}};
  for (auto [name, limit] : limits) {
    Clear(f.w.Find(name));
    Type(f.w.Find(name), std::string(300, '9'));
    EXPECT_EQ(GetWindowTextLengthA(f.w.Find(name)), limit) << name << ": no more can be typed";
  }
  EXPECT_EQ(SendMessageA(f.w.cboComSelect, CB_GETCOUNT, 0, 0), 8);
  EXPECT_EQ(SendMessageA(f.w.OptionSL, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(IsWindowVisible(f.w.OptionItinerisXml)) << "shown by start-up";
  EXPECT_FALSE(GetWindowLongA(f.w.txtInputDir, GWL_STYLE) & ES_READONLY) << "unlocked by start-up";
  EXPECT_TRUE(GetWindowLongA(f.w.txtSelectedFile, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(Text(f.w.hwnd), "ZTK DORVANE ");
  // The tray's one-entry menu, its entry in bold.
  EXPECT_EQ(GetMenuDefaultItem(f.ui.TrayMenu(), FALSE, 0), static_cast<UINT>(MainWindow::m_esci));
}

TEST(Win32Window, TypingReachesTheModelAndRunsTheChangeHandler) {
  Win32Window f;
  using S = DispatchState;
  const std::pair<HWND, std::string S::*> boxes[] = {
      {f.w.txtInputDir, &S::CurrInputFilePath}, {f.w.txtOutputDir, &S::CurrOutputFilePath},
      {f.w.txtErrorDir, &S::CurrErrorFilePath}, {f.w.txtKora1PathDir, &S::CurrKora1PathSet},
      {f.w.txtFileFilter, &S::CurrFileFilter}};
  const std::string typed = "C:\\Out\xE8";
  for (auto [box, field] : boxes) {
    f.st().SomethingModified = false;
    Clear(box);
    Type(box, typed);
    EXPECT_EQ(f.st().*field, typed);
    EXPECT_TRUE(f.st().SomethingModified);
  }
  // A text set by the program shows without firing anything.
  f.st().SomethingModified = false;
  f.c().txtKora1Result.Text = "Stampa interrotta: \x80 5,00";
  f.b->Refresh();
  EXPECT_EQ(Text(f.w.txtKora1Result), "Stampa interrotta: \x80 5,00");
  EXPECT_FALSE(f.st().SomethingModified);
}

TEST(Win32Window, EachButtonRunsItsHandler) {
  Win32Window f;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string open = std::string(temp) + "dorvane-win32-test";
  CreateDirectoryA(open.c_str(), nullptr);
  ASSERT_TRUE(f.w.Dir1.OpenFolder(open));
  auto& st = f.st();
  struct Case { HWND button; std::function<void()> before; std::function<bool()> done; };
  const Case cases[] = {
      {f.w.cmdSetInputDir, nullptr, [&] { return st.CurrInputFilePath == open && Text(f.w.txtInputDir) == open; }},
      {f.w.cmdSetOutputDir, nullptr, [&] { return st.CurrOutputFilePath == open; }},
      {f.w.cmdSetErrorDir, nullptr, [&] { return st.CurrErrorFilePath == open; }},
      {f.w.cmdSetKora1PathDir, nullptr, [&] { return st.CurrKora1PathSet == open; }},
      {f.w.cmdSetKora1Proc, [&] { Type(f.w.txtKora1ProcName, "kora"); }, [&] { return st.CurrKora1ProcName == "kora.exe"; }},
      {f.w.cmdChgTimer, [&] { Clear(f.w.txtTimerVal), Type(f.w.txtTimerVal, "5"); }, [&] { return st.iStdTimerVal == 5000; }},
      {f.w.cmdEnableTimer, nullptr, [&] { return Text(f.w.cmdEnableTimer) == "STOP" && f.c().Timer1.Enabled(); }},
      {f.w.cmdResetError, [&] { Probe::Assume(*f.d, "", ExecState::kBlocked); },
       [&] { return f.d->Jobs().State() == ExecState::kReady; }},
      {f.w.cmdSaveConfig, nullptr, [&] { return !st.SomethingModified; }},
      {f.w.chbLogEnable, nullptr, [&] { return f.c().chbLogEnable.Value == 0 && st.SomethingModified; }},
      {f.w.OptionFasyVola, nullptr, [&] { return f.c().InputLayout() == 1 && !SendMessageA(f.w.OptionSL, BM_GETCHECK, 0, 0); }},
  };
  for (const Case& c : cases) {
    if (c.before) c.before();
    Click(c.button);
    EXPECT_TRUE(c.done()) << Text(c.button);
  }
  SendMessageA(f.w.cboComSelect, CB_SETCURSEL, 2, 0);  // the user's choice of "3"
  SendMessageA(f.w.hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(f.w.cboComSelect), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(f.w.cboComSelect));
  EXPECT_EQ(st.CurrKora1ActiveCom, "3");
  SendMessageA(f.w.hwnd, WM_COMMAND, MainWindow::m_registro, 0);  // today's ledger summary, opened
  ASSERT_EQ(f.h.processes.opened.size(), 1u);
  EXPECT_NE(f.h.processes.opened[0].find("DORVREG-RIEPILOGO.txt"), std::string::npos);
  RemoveDirectoryA(open.c_str());
}

TEST(Win32Window, TrayIconFollowsTheConnectionAndTheCycleRunsUnderAMessageBox) {
  Win32Window f("/NONID");  // the cycle runs
  ASSERT_EQ(f.tray.size(), 1u);
  EXPECT_EQ(f.tray[0], (std::pair<DWORD, std::string>(NIM_ADD, kTipWaiting)));
  f.h.processes.Add(7, "kkora1.exe");
  f.h.mem.Put(JoinPath(f.h.kora1Dir, "SR_MATR.001"), "1");
  f.w.StartPump(10);
  bool topmostWhileUp = true;
  {
    Dialogs boxes([&](HWND box) {
      topmostWhileUp = Topmost(f.w.hwnd);
      f.h.clock.AdvanceTo(f.h.clock.MonotonicMs() + 100);  // time passes for the window timer only
      if (f.tray.back().second == kTipConnected) PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    f.ui.ShowMessage("Prova");
  }
  EXPECT_FALSE(topmostWhileUp);
  EXPECT_TRUE(Topmost(f.w.hwnd));
  EXPECT_EQ(f.tray.back(), (std::pair<DWORD, std::string>(NIM_MODIFY, kTipConnected)));
  f.ui.TrayModify(std::string(80, 'x'));
  EXPECT_EQ(f.tray.back().second, std::string(63, 'x'));

  f.d->RequestClose();
  EXPECT_TRUE(f.d->Ended());
  EXPECT_EQ(f.tray.back().first, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(Text(GetDlgItem(f.ui.ClosingNotice(), 1)), kClosingNotice);
}

// A second start of the program, another process, asks this window to show itself.
TEST(Win32Window, ASecondStartAsksTheRunningWindowToShowItself) {
  if (std::getenv("DORVANE_SECOND_START")) ExitProcess(AskRunningWindowToShow() ? 0 : 1);
  MainWindow w;
  bool asked = false;
  w.onShowAsked = [&] { asked = true; };
  char exe[MAX_PATH] = {};
  std::string cmd = std::string("\"") + (GetModuleFileNameA(nullptr, exe, MAX_PATH), exe) + "\" --gtest_filter=*ASecondStart*";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  SetEnvironmentVariableA("DORVANE_SECOND_START", "1");
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  SetEnvironmentVariableA("DORVANE_SECOND_START", nullptr);
  for (int i = 0; i < 400 && !asked; ++i)
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) || (Sleep(50), false);) DispatchMessageA(&m);
  DWORD code = STILL_ACTIVE;
  WaitForSingleObject(pi.hProcess, 10000), GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
  EXPECT_TRUE(asked && code == 0) << "asked " << asked << ", the second start ended with " << code;
}

#ifdef DORVANE_EXE
// The installed program's case: dorvane.exe runs hidden in the tray (the
// logon start), and the user starts it again from the menu. The second one
// ends, and the first one's window comes up.
TEST(Win32Program, ASecondStartOfDorvaneShowsTheRunningOnesWindow) {
  TempDir home;
  std::string exe = DORVANE_EXE;  // a Unix path: wine's Z: drive
  for (char& c : exe) c = c == '/' ? '\\' : c;
  exe = "Z:" + exe;
  SetEnvironmentVariableA("DORVANE_HOME", home.Root().c_str());
  const auto start = [&](const char* args) {
    std::string cmd = "\"" + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) << cmd;
    CloseHandle(pi.hThread);
    return pi.hProcess;
  };
  const auto waitFor = [](int ms, const std::function<bool()>& done) {
    for (int i = 0; i < ms / 50 && !done(); ++i) Sleep(50);
    return done();
  };
  HANDLE first = start("/STOP");  // without /NONID: hidden, in the tray
  HWND w = nullptr;
  ASSERT_TRUE(waitFor(30000, [&] { return (w = FindWindowA("ZTKDorvaneMainWindow", nullptr)) != nullptr; }));
  Sleep(3000);  // its start done
  // Without a notification area (wine's desktop) the window stays up: put
  // away as the tray would.
  ShowWindow(w, SW_HIDE);
  ASSERT_TRUE(waitFor(5000, [&] { return !IsWindowVisible(w); }));
  HANDLE second = start("");
  DWORD code = STILL_ACTIVE;
  WaitForSingleObject(second, 30000), GetExitCodeProcess(second, &code);
  EXPECT_EQ(code, 0u) << "the second start did not end by itself";
  EXPECT_TRUE(waitFor(10000, [&] { return IsWindowVisible(w) && !IsIconic(w); })) << "the window stayed hidden";
  TerminateProcess(first, 0);
  WaitForSingleObject(first, 10000);
  CloseHandle(first), CloseHandle(second);
  SetEnvironmentVariableA("DORVANE_HOME", nullptr);
}
#endif

// A notification is a balloon of the tray icon: NIF_INFO only, so the tip
// stays and the next tip does not bring the balloon back.
TEST(Win32Window, ANotificationIsABalloonOfTheTrayIcon) {
  Win32Window f;
  std::vector<std::pair<DWORD, NOTIFYICONDATAA>> calls;
  f.ui.notifyIcon = [&](DWORD m, NOTIFYICONDATAA* n) { return calls.push_back({m, *n}), TRUE; };
  const std::string text = "STAMPA FERMA SU CAFF\xC8.001" + std::string(300, '.');
  for (auto [icon, flag] : {std::pair{NoticeIcon::kInfo, NIIF_INFO}, {NoticeIcon::kWarning, NIIF_WARNING}, {NoticeIcon::kError, NIIF_ERROR}}) {
    f.ui.Notify(icon, "CARTA ESAURITA O COPERCHIO APERTO", text);
    ASSERT_EQ(calls.size(), 1u);
    const auto& [message, n] = calls[0];
    EXPECT_EQ(std::tuple(message, n.uFlags, n.dwInfoFlags, n.hWnd, n.uID), std::tuple(DWORD(NIM_MODIFY), UINT(NIF_INFO), DWORD(flag), f.w.hwnd, 1u));
    EXPECT_EQ(std::tuple(std::string(n.szInfoTitle), std::string(n.szInfo), std::string(n.szTip)),
              std::tuple("CARTA ESAURITA O COPERCHIO APERTO", text.substr(0, 255), kTipWaiting));
    calls.clear();
  }
  f.ui.TrayModify(kTipConnected);
  EXPECT_EQ(calls.at(0).second.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  f.ui.TrayDelete(), calls.clear();  // without the icon nothing shows it: the event log tells it
  f.ui.Notify(NoticeIcon::kError, "KORA1 NON CONNESSO", "x");
  EXPECT_TRUE(calls.empty());
}

// The About box closes with Enter; closing the window after a change asks once.
TEST(Win32Window, TheAboutBoxAndTheCloseQuestion) {
  Win32Window f;
  std::set<std::string> captions, questions;
  Dialogs boxes([&](HWND box) {
    captions.insert(Text(box));
    questions.insert(Text(GetDlgItem(box, 0xFFFF)));
    if (GetDlgItem(box, IDYES)) PostMessageA(box, WM_COMMAND, IDYES, 0);
    else PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_RETURN, 0);
  });
  SendMessageA(f.w.hwnd, WM_COMMAND, MainWindow::m_info, 0);
  EXPECT_TRUE(Topmost(f.w.hwnd));
  Type(f.w.txtFilePrefix, "AB");
  SendMessageA(f.w.hwnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(f.d->Ended());
  EXPECT_EQ(boxes.seen.size(), 2u);
  EXPECT_TRUE(captions.count("Informazioni su ZTK DORVANE"));
  EXPECT_TRUE(questions.count("Salvare i Parametri modificati ?"));
}

}  // namespace
}  // namespace dorvane::test
