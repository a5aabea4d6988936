#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "dispatch/dispatcher.h"
#include "ui/win32/program_icon.h"

namespace dorvane {

namespace {

constexpr Colour kNone = MainWindow::kNoColour;
constexpr UINT_PTR kPumpTimer = 1;
constexpr int kClientWidth = 800, kClientHeight = 527;
constexpr int kDriveItemHeight = 18;
// Not WS_CLIPCHILDREN: the window paints the inside of the frames.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr char kClassName[] = "ZTKDorvaneMainWindow";

enum Kind { kLabel, kEdit, kCombo, kButton, kColourButton, kCheck, kRadio, kFrame, kLine, kTree, kDrives };

struct ControlRow {
  const char* name;
  HWND MainWindow::*field;  // null for labels, frames, lines and Dir1
  Kind kind;
  const char* caption;
  const char* tip;
  int x, y, w, h;  // at 96 DPI; a combo's height includes its drop-down list
  Colour back;
};

using W = MainWindow;
// In tab order.
const ControlRow kControls[] = {
    {"lblFilePrefix", nullptr, kLabel, "Filtro Prefisso File di Input:",
     "Filtro agente sul Prefisso del nome del file per la selezione dei files da trasmettere", 12, 13, 170, 17, kNone},
    {"txtFilePrefix", &W::txtFilePrefix, kEdit, "", "Eventuale prefisso per i nomi dei file di input", 185, 10, 110, 23, kNone},
    {"lblFileFilter", nullptr, kLabel, "Filtro Estens. File di Input:",
     "Filtro agente sulla estensione del nome file, per la selezione dei files di Input da trasmettere", 12, 43, 170, 17, kNone},
    {"txtFileFilter", &W::txtFileFilter, kEdit, "", "Filtro selezione file di input", 185, 40, 110, 23, kNone},
    {"lblOutExt", nullptr, kLabel, "Estensione File di Output:", "Estensione aggiuntiva relativa ai files di Output", 318, 13,
     150, 17, kNone},
    {"txtOutExt", &W::txtOutExt, kEdit, "", "Estensione relativa ai file di Output", 470, 10, 80, 23, kNone},
    {"lblErrExt", nullptr, kLabel, "Estensione File di Errore:", "Estensione aggiuntiva relativa ai files di Errore", 318, 43,
     150, 17, kNone},
    {"txtErrExt", &W::txtErrExt, kEdit, "", "Estensione relativa ai file di Errore", 470, 40, 80, 23, kNone},
    {"lblCom", nullptr, kLabel, "COM", nullptr, 575, 13, 85, 17, kNone},
    {"cboComSelect", &W::cboComSelect, kCombo, "", "Ports Seriale", 665, 10, 60, 220, kNone},
    {"lblTimer", nullptr, kLabel, "Timer in Sec.:", nullptr, 575, 43, 85, 17, kNone},
    {"txtTimerVal", &W::txtTimerVal, kEdit, "", "Valore del timer in secondi", 665, 40, 32, 23, kNone},
    {"cmdChgTimer", &W::cmdChgTimer, kButton, "Set Timer", "Cliccare per settare il timer", 703, 39, 85, 25, kNone},
    {"Line1", nullptr, kLine, "", nullptr, 12, 74, 776, 2, kNone},

    {"lblInputDir", nullptr, kLabel, "Input File Path", nullptr, 12, 89, 160, 17, kNone},
    {"txtInputDir", &W::txtInputDir, kEdit, "", "Indica la Path dei files di Input da trasmettere", 175, 86, 320, 23, kPathBack},
    {"cmdSetInputDir", &W::cmdSetInputDir, kColourButton, "Set", "Inserisce la Path selezionata per i files di Input", 502, 85,
     46, 25, kSetBack},
    {"lblOutputDir", nullptr, kLabel, "Output File Path", nullptr, 12, 123, 160, 17, kNone},
    {"txtOutputDir", &W::txtOutputDir, kEdit, "", "Indica la Path dei files di Output", 175, 120, 320, 23, kPathBack},
    {"cmdSetOutputDir", &W::cmdSetOutputDir, kColourButton, "Set", "Inserisce la Path selezionata per i files di Output", 502,
     119, 46, 25, kSetBack},
    {"lblErrorDir", nullptr, kLabel, "Error File Path", nullptr, 12, 157, 160, 17, kNone},
    {"txtErrorDir", &W::txtErrorDir, kEdit, "", "Indica la Path dei files di Errore", 175, 154, 320, 23, kPathBack},
    {"cmdSetErrorDir", &W::cmdSetErrorDir, kColourButton, "Set", "Inserisce la Path selezionata per i files di Errore", 502,
     153, 46, 25, kSetBack},
    {"lblKora1PathDir", nullptr, kLabel, "ZTK_KORA1 Program Path", nullptr, 12, 191, 160, 17, kNone},
    {"txtKora1PathDir", &W::txtKora1PathDir, kEdit, "", "Indica la Path dei files di esecuzione di ZTK_Kora1", 175, 188, 320,
     23, kPathBack},
    {"cmdSetKora1PathDir", &W::cmdSetKora1PathDir, kColourButton, "Set", nullptr, 502, 187, 46, 25, kSetBack},
    {"lblKora1ProcName", nullptr, kLabel, "Nome Proc.\"Kkora1.exe\":", nullptr, 12, 225, 160, 17, kNone},
    {"txtKora1ProcName", &W::txtKora1ProcName, kEdit, "", nullptr, 175, 222, 130, 23, kNone},
    {"cmdSetKora1Proc", &W::cmdSetKora1Proc, kColourButton, "Set", nullptr, 502, 221, 46, 25, kSetBack},
    {"Drive1", &W::Drive1, kDrives, "", "Selezione del Drive", 566, 86, 222, 240, kPickerBack},
    {"Dir1", nullptr, kTree, "", "Selezione delle directory di I/O", 566, 116, 222, 129, kPickerBack},
    {"Line2", nullptr, kLine, "", nullptr, 12, 257, 776, 2, kNone},

    {"fraTipoFile", nullptr, kFrame, "Tipo file di input", nullptr, 12, 269, 186, 104, kNone},
    {"OptionItinerisXml", &W::OptionItinerisXml, kRadio, "ItinerisXml", nullptr, 24, 291, 166, 20, kNone},
    {"OptionFasyVola", &W::OptionFasyVola, kRadio, "Fasy Vola", "Selezione tracciato di input come \"Fasy Vola\"", 24, 317, 166,
     20, kNone},
    {"OptionSL", &W::OptionSL, kRadio, "Sarema SL / XonXoff",
     "Selezione tracciato di input come \"Sarema Language\"  (default) o \"Xon-Xoff\"", 24, 343, 166, 20, kNone},
    {"fraConversione", nullptr, kFrame, "Opzioni di Conversione", nullptr, 206, 269, 186, 104, kNone},
    {"chkCompatAdHoc", &W::chkCompatAdHoc, kCheck, "Compatibilit\xE0 AdHoc", nullptr, 218, 291, 166, 20, kNone},
    {"chkInversioneScontiSuReso", &W::chkInversioneScontiSuReso, kCheck, "Inverti Sconti su Reso",
     "Opzione di inversione comandi di Sconto se successivi a comandi di Reso", 218, 317, 166, 20, kNone},
    {"fraAltreOpzioni", nullptr, kFrame, "Altre Opzioni", nullptr, 400, 269, 186, 104, kNone},
    {"chbLogEnable", &W::chbLogEnable, kCheck, "Abilita Log Eventi", "Abilita / Disabilita il file di Log degli eventi", 412,
     291, 166, 20, kNone},
    {"chbExitKora1", &W::chbExitKora1, kCheck, "Termina ZTK Kora1 in uscita",
     "Se attivo, chiude anche il programma ZTK Kora1 in uscita", 412, 317, 170, 20, kNone},
    {"chbOutUnitario", &W::chbOutUnitario, kCheck, "Crea file BTO di risultato sessione",
     "Se abilitato, crea file .BTO con risultato sessione", 598, 283, 195, 20, kNone},
    {"chkErrorReset", &W::chkErrorReset, kCheck, "Auto Reset stato di errore", "Auto Reset stato di errore", 598, 309, 190,
     20, kNone},
    {"cmdSaveConfig", &W::cmdSaveConfig, kColourButton, "Salva Configurazione", "Salva le configurazioni su file", 598, 341,
     190, 30, kSetBack},
    {"Line3", nullptr, kLine, "", nullptr, 12, 385, 776, 2, kNone},

    {"lblEnableTimer", nullptr, kLabel, "Start / Stop Trasmissione", nullptr, 12, 397, 180, 17, kNone},
    {"lblKora1Connection", nullptr, kLabel, "Stato connessione KORA1", nullptr, 205, 397, 220, 17, kNone},
    {"cmdEnableTimer", &W::cmdEnableTimer, kColourButton, "", "Avvia o blocca il ciclo di analisi dei files da trasmettere",
     12, 417, 180, 32, kGrey},
    {"cmdKora1Connection", &W::cmdKora1Connection, kColourButton, "",
     "Indica lo stato di connessione con il programma ZTK Kora1", 205, 417, 220, 32, kGrey},
    {"cmdResetError", &W::cmdResetError, kColourButton, "", "Resetta lo stato di blocco per errore", 438, 417, 140, 32, kGrey},
    {"lblSelectedFile", nullptr, kLabel, "File Corrente", nullptr, 12, 465, 110, 17, kNone},
    {"txtSelectedFile", &W::txtSelectedFile, kEdit, "", "Indica il file correntemente selezionato", 125, 462, 663, 23,
     kSelectedFileBack},
    {"lblKora1Result", nullptr, kLabel, "Risultato KORA1", nullptr, 12, 495, 110, 17, kNone},
    {"txtKora1Result", &W::txtKora1Result, kEdit, "", "Indica il risultato della sessione di trasmissione di ZTK Kora1", 125,
     492, 663, 23, kNone},
};

// Functions of newer Windows, looked up so that older ones still run the program.
template <typename F>
F User32(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

UINT SystemDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT DpiOf(HWND hwnd) {
  static auto getDpiForWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const UINT dpi = getDpiForWindow ? getDpiForWindow(hwnd) : 0;
  return dpi ? dpi : SystemDpi();
}

// The desktop's message font (the dialog font of current Windows) at a DPI.
// Read for the system DPI and scaled: SystemParametersInfoForDpi is not on
// older Windows, and wine answers it with nonsense.
HFONT DialogFont(UINT dpi) {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  ncm.lfMessageFont.lfHeight = MulDiv(ncm.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
  return CreateFontIndirectW(&ncm.lfMessageFont);
}

std::string TextOf(HWND hwnd) {
  std::string s(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  s.resize(static_cast<size_t>(GetWindowTextA(hwnd, s.data(), static_cast<int>(s.size()))));
  return s;
}

bool IsClass(HWND hwnd, const char* name) {
  char cls[32];
  return GetClassNameA(hwnd, cls, sizeof cls) && lstrcmpiA(cls, name) == 0;
}

}  // namespace

MainWindow::MainWindow() {
  static ATOM atom = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MainWindow::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = CreateProgramIcon(GetSystemMetrics(SM_CXICON));
    wc.hIconSm = CreateProgramIcon(GetSystemMetrics(SM_CXSMICON));
    wc.hbrBackground = CreateSolidBrush(kWindowBack);
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc);
  }();
  (void)atom;
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");

  menuBar = CreateMenu();
  m_file = CreatePopupMenu();
  AppendMenuA(m_file, MF_STRING, m_esci, "&Termina ZTK DORVANE");
  AppendMenuA(menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(m_file), "&File");
  AppendMenuA(menuBar, MF_STRING, m_manual, "&Manuale");
  AppendMenuA(menuBar, MF_STRING, m_registro, "&Registro di oggi");
  m_help = CreatePopupMenu();
  AppendMenuA(m_help, MF_STRING, m_info, "&Informazioni  su ZTK DORVANE");
  AppendMenuA(menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(m_help), "&?");

  CreateWindowExA(0, kClassName, kWindowCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr,
                  menuBar, GetModuleHandleA(nullptr), this);
  CreateControls();
  ApplyDpi(DpiOf(hwnd));
}

MainWindow::~MainWindow() {
  if (hwnd) DestroyWindow(hwnd);
  if (tips_) DestroyWindow(tips_);
  if (font_) DeleteObject(font_);
  for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

void MainWindow::CreateControls() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  // Not owned by the window: under wine an owned topmost pop-up keeps its
  // owner out of the topmost band. The texts are fixed, so no owner is asked.
  tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0,
                          nullptr, nullptr, inst, nullptr);
  int id = 1000;
  for (const ControlRow& s : kControls) {
    const char* cls = "STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE, ex = 0;
    switch (s.kind) {
      case kLabel: style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY; break;
      case kLine: style |= SS_ETCHEDHORZ; break;
      case kEdit: cls = "EDIT", style |= WS_TABSTOP | ES_AUTOHSCROLL, ex = WS_EX_CLIENTEDGE; break;
      case kCombo: cls = "COMBOBOX", style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST; break;
      case kDrives:
        cls = "COMBOBOX", style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
        break;
      case kButton: cls = "BUTTON", style |= WS_TABSTOP | BS_PUSHBUTTON; break;
      case kColourButton: cls = "BUTTON", style |= WS_TABSTOP | BS_OWNERDRAW; break;
      case kCheck: cls = "BUTTON", style |= WS_TABSTOP | BS_3STATE; break;
      case kRadio: cls = "BUTTON", style |= BS_RADIOBUTTON; break;
      case kFrame: cls = "BUTTON", style |= BS_GROUPBOX; break;
      case kTree:
        cls = WC_TREEVIEWA;
        style |= WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_NOTOOLTIPS;
        ex = WS_EX_CLIENTEDGE;
        break;
    }
    // The radio buttons are one group, reached with the arrow keys.
    const bool firstRadio = s.kind == kRadio && (s.field == &W::OptionItinerisXml);
    if (firstRadio) style |= WS_GROUP | WS_TABSTOP;
    if (s.kind != kRadio && (style & WS_TABSTOP)) style |= WS_GROUP;
    if (s.field == &W::txtSelectedFile) style |= ES_READONLY;
    HWND c = CreateWindowExA(ex, cls, s.caption, style, s.x, s.y, s.w, s.h, hwnd, reinterpret_cast<HMENU>(INT_PTR{id++}), inst,
                             nullptr);
    items_.push_back({s.name, c, {s.x, s.y, s.x + s.w, s.y + s.h}});
    if (s.field) this->*s.field = c;
    if (s.back != kNone) backs_[c] = s.back;
    if (s.tip) {
      TTTOOLINFOA ti{};
      ti.cbSize = sizeof ti;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = hwnd;
      ti.uId = reinterpret_cast<UINT_PTR>(c);
      ti.lpszText = const_cast<char*>(s.tip);
      SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    if (s.kind == kFrame) SetWindowSubclass(c, &MainWindow::FrameProc, 0, reinterpret_cast<DWORD_PTR>(this));
    if (s.kind == kTree) {
      Dir1.Attach(c);
      TreeView_SetBkColor(c, s.back);
      TreeView_SetTextColor(c, RGB(0, 0, 0));
    }
  }
  for (int port = 1; port <= 8; ++port)
    SendMessageA(cboComSelect, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(port).c_str()));

  FillDrives();
  char cwd[MAX_PATH];
  if (GetCurrentDirectoryA(sizeof cwd, cwd)) Dir1.OpenFolder(cwd);
  Dir1.onOpened = [this] {
    for (int i = 0; i < static_cast<int>(SendMessageA(Drive1, CB_GETCOUNT, 0, 0)); ++i) {
      char shown[MAX_PATH + 8] = {};  // "C: [label]"
      SendMessageA(Drive1, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(shown));
      if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, shown, 2, Dir1.DriveRoot().c_str(), 2) == CSTR_EQUAL)
        SendMessageA(Drive1, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
  };
  Dir1.onOpened();
}

void MainWindow::FillDrives() {
  char roots[512];
  DWORD n = GetLogicalDriveStringsA(sizeof roots, roots);
  if (n == 0 || n > sizeof roots) return;
  for (const char* root = roots; *root; root += lstrlenA(root) + 1) {
    std::string shown = std::string(root, 2);
    const UINT type = GetDriveTypeA(root);
    char label[MAX_PATH + 1] = {};
    // Removable drives are not asked for their label: an empty reader would stall.
    if ((type == DRIVE_FIXED || type == DRIVE_RAMDISK) &&
        GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0) && label[0])
      shown += std::string(" [") + label + "]";
    SendMessageA(Drive1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  }
}

void MainWindow::ApplyDpi(UINT dpi) {
  dpi_ = dpi ? dpi : 96;
  HFONT old = font_;
  font_ = DialogFont(dpi_);
  for (const Item& it : items_) {
    SetWindowPos(it.hwnd, nullptr, Px(it.at.left), Px(it.at.top), Px(it.at.right - it.at.left), Px(it.at.bottom - it.at.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(it.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  SendMessageA(Drive1, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Px(kDriveItemHeight));
  SendMessageA(Drive1, CB_SETITEMHEIGHT, 0, Px(kDriveItemHeight));
  SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, Px(420));
  RECT r{0, 0, Px(kClientWidth), Px(kClientHeight)};
  static auto adjust = User32<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  if (adjust) {
    adjust(&r, kStyle, TRUE, 0, dpi_);
  } else {
    AdjustWindowRectEx(&r, kStyle, TRUE, 0);
  }
  SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd, nullptr, TRUE);
  if (old) DeleteObject(old);
}

HWND MainWindow::Find(const std::string& name) const {
  for (const Item& it : items_)
    if (name == it.name) return it.hwnd;
  return nullptr;
}

std::string MainWindow::ToolTip(HWND control) const {
  // The wide form: the narrow one may cut the text at 80 characters.
  wchar_t buf[512] = {};
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = hwnd;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  if (!SendMessageW(tips_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) return "";
  ti.lpszText = buf;
  SendMessageW(tips_, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
  char text[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, buf, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

Colour MainWindow::Back(HWND control) const {
  auto it = backs_.find(control);
  return it == backs_.end() ? kNoColour : it->second;
}

void MainWindow::SetBack(HWND control, Colour colour) {
  backs_[control] = colour;
  InvalidateRect(control, nullptr, TRUE);
}

void MainWindow::StartPump(UINT ms) { SetTimer(hwnd, kPumpTimer, ms, nullptr); }

HBRUSH MainWindow::Brush(Colour colour) {
  HBRUSH& b = brushes_[colour];
  if (!b) b = CreateSolidBrush(colour);
  return b;
}

void MainWindow::DrawButton(const DRAWITEMSTRUCT& di) {
  HDC dc = di.hDC;
  RECT r = di.rcItem;
  const Colour back = Back(di.hwndItem);
  FillRect(dc, &r, Brush(back == kNoColour ? GetSysColor(COLOR_BTNFACE) : back));
  const bool pressed = di.itemState & ODS_SELECTED;
  const bool focused = di.itemState & ODS_FOCUS;
  HBRUSH frame = Brush(pressed || focused ? GetSysColor(COLOR_HIGHLIGHT) : RGB(112, 112, 112));
  for (int i = 0; i < (pressed ? Px(2) : Px(1)); ++i) {
    FrameRect(dc, &r, frame);
    InflateRect(&r, -1, -1);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, (di.itemState & ODS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
  HGDIOBJ oldFont = SelectObject(dc, font_);
  const std::string text = TextOf(di.hwndItem);
  RECT t = di.rcItem;
  if (pressed) OffsetRect(&t, 1, 1);
  DrawTextA(dc, text.c_str(), -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
  if (focused && !(di.itemState & ODS_NOFOCUSRECT)) {
    RECT f = di.rcItem;
    InflateRect(&f, -Px(4), -Px(4));
    DrawFocusRect(dc, &f);
  }
}

void MainWindow::DrawDriveItem(const DRAWITEMSTRUCT& di) {
  HDC dc = di.hDC;
  const bool selected = (di.itemState & ODS_SELECTED) && !(di.itemState & ODS_COMBOBOXEDIT);
  FillRect(dc, &di.rcItem, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : Brush(kPickerBack));
  if (di.itemID == static_cast<UINT>(-1)) return;
  char text[MAX_PATH + 8] = {};
  SendMessageA(di.hwndItem, CB_GETLBTEXT, di.itemID, reinterpret_cast<LPARAM>(text));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0));
  RECT t = di.rcItem;
  t.left += Px(4);
  DrawTextA(dc, text, -1, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if ((di.itemState & ODS_FOCUS) && (di.itemState & ODS_COMBOBOXEDIT)) DrawFocusRect(dc, &di.rcItem);
}

// Check boxes and option buttons on the dark window: the theme's glyph, a light caption.
LRESULT MainWindow::DrawCheck(NMCUSTOMDRAW& cd) {
  HWND b = cd.hdr.hwndFrom;
  const LONG type = GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK;
  const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  if (!radio && type != BS_3STATE && type != BS_CHECKBOX && type != BS_AUTOCHECKBOX && type != BS_AUTO3STATE)
    return CDRF_DODEFAULT;
  if (cd.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
  HDC dc = cd.hdc;
  RECT r = cd.rc;
  FillRect(dc, &r, Brush(kWindowBack));
  const int check = static_cast<int>(SendMessageA(b, BM_GETCHECK, 0, 0));
  const int glyph = Px(13);
  RECT g{r.left, r.top + (r.bottom - r.top - glyph) / 2, r.left + glyph, 0};
  g.bottom = g.top + glyph;
  if (HTHEME theme = OpenThemeData(b, L"BUTTON")) {
    const int part = radio ? 2 /* BP_RADIOBUTTON */ : 3 /* BP_CHECKBOX */;
    const int offset = !IsWindowEnabled(b) ? 3 : (cd.uItemState & CDIS_SELECTED) ? 2 : (cd.uItemState & CDIS_HOT) ? 1 : 0;
    DrawThemeBackground(theme, dc, part, check * 4 + offset + 1, &g, nullptr);
    CloseThemeData(theme);
  } else {
    UINT state = radio ? DFCS_BUTTONRADIO : check == 2 ? DFCS_BUTTON3STATE : DFCS_BUTTONCHECK;
    if (check) state |= DFCS_CHECKED;
    DrawFrameControl(dc, &g, DFC_BUTTON, state);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(b) ? RGB(255, 255, 255) : RGB(160, 160, 160));
  HGDIOBJ oldFont = SelectObject(dc, font_);
  const std::string text = TextOf(b);
  RECT t{g.right + Px(5), r.top, r.right, r.bottom};
  RECT measured = t;
  DrawTextA(dc, text.c_str(), -1, &measured, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  DrawTextA(dc, text.c_str(), -1, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  if (cd.uItemState & CDIS_FOCUS) {
    const int h = measured.bottom - measured.top;
    RECT f{t.left - 1, r.top + (r.bottom - r.top - h) / 2 - 1, measured.right + 1, 0};
    f.bottom = f.top + h + 2;
    DrawFocusRect(dc, &f);
  }
  return CDRF_SKIPDEFAULT;
}

// A frame: an etched line with a light caption on the window's colour. A
// themed group box would draw its caption in the theme's dark colour.
LRESULT CALLBACK MainWindow::FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(h, &MainWindow::FrameProc, id);
  if (msg == WM_ERASEBKGND) return 1;
  if (msg != WM_PAINT) return DefSubclassProc(h, msg, wp, lp);
  auto& w = *reinterpret_cast<MainWindow*>(self);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  HGDIOBJ oldFont = SelectObject(dc, w.font_);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  RECT r;
  GetClientRect(h, &r);
  r.top += tm.tmHeight / 2;
  DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
  const std::string text = TextOf(h);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  RECT caption{w.Px(8), 0, w.Px(8) + size.cx + w.Px(6), tm.tmHeight};
  FillRect(dc, &caption, w.Brush(kWindowBack));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextA(dc, text.c_str(), -1, &caption, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  EndPaint(h, &ps);
  return 0;
}

LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      HWND c = reinterpret_cast<HWND>(lp);
      const Colour back = Back(c);
      if (back != kNoColour) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, back);
        return reinterpret_cast<LRESULT>(Brush(back));
      }
      if (IsClass(c, "Edit")) break;
      // Captions on the dark back colour.
      SetTextColor(dc, RGB(255, 255, 255));
      SetBkColor(dc, kWindowBack);
      return reinterpret_cast<LRESULT>(Brush(kWindowBack));
    }
    case WM_MEASUREITEM: {
      auto& mi = *reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      mi.itemHeight = static_cast<UINT>(Px(kDriveItemHeight));
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto& di = *reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di.CtlType == ODT_BUTTON) DrawButton(di);
      if (di.CtlType == ODT_COMBOBOX) DrawDriveItem(di);
      return TRUE;
    }
    case WM_NOTIFY: {
      auto& hdr = *reinterpret_cast<NMHDR*>(lp);
      if (hdr.hwndFrom == Dir1.Hwnd()) return Dir1.OnNotify(hdr);
      if (hdr.code == NM_CUSTOMDRAW && IsClass(hdr.hwndFrom, "Button"))
        return DrawCheck(*reinterpret_cast<NMCUSTOMDRAW*>(lp));
      break;
    }
    case WM_COMMAND: {
      HWND c = reinterpret_cast<HWND>(lp);
      const UINT id = LOWORD(wp), code = HIWORD(wp);
      if (c == Drive1 && code == CBN_SELCHANGE) {
        // A drive that is not ready leaves Dir1 as it was.
        char text[MAX_PATH + 8] = {};
        SendMessageA(Drive1, CB_GETLBTEXT, SendMessageA(Drive1, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
        const std::string root = std::string(text, 2) + "\\";
        if (GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0)) {
          Dir1.SetDrive(root);
        } else if (Dir1.onOpened) {
          Dir1.onOpened();
        }
        return 0;
      }
      if (!c && id == IDOK && GetFocus() == Dir1.Hwnd()) Dir1.OpenSelected();
      if (onCommand) onCommand(c, id, code);
      return 0;
    }
    case WM_CLOSE:
      if (onClose) onClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp && onClose) onClose();
      return 0;
    case WM_SIZE:
      if (wp == SIZE_MINIMIZED && onMinimised) onMinimised();
      return 0;
    case WM_TIMER:
      if (wp == kPumpTimer && onPump) onPump();
      return 0;
    case kWakeMessage:
      if (onPump) onPump();
      return 0;
    case kShowMessage:
      if (onShowAsked) onShowAsked();
      return 0;
    case kTrayMessage:
      if (onTray) onTray(static_cast<UINT>(LOWORD(lp)));
      return 0;
    case 0x02E0: {  // WM_DPICHANGED
      const RECT& suggested = *reinterpret_cast<RECT*>(lp);
      SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyDpi(HIWORD(wp));
      return 0;
    }
    default:
      if (msg == taskbarCreated_ && taskbarCreated_ && onTaskbarCreated) onTaskbarCreated();
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool AskRunningWindowToShow() {
  for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, kClassName, nullptr)) != nullptr;) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == GetCurrentProcessId()) continue;
    // The user started us: the running instance may take the foreground.
    AllowSetForegroundWindow(pid);
    return PostMessageA(h, kShowMessage, 0, 0) != 0;
  }
  return false;
}

}  // namespace dorvane
