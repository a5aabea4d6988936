#include "ui/win32/about_box.h"

#include <string>

#include "settings/about.h"
#include "ui/win32/program_icon.h"

namespace dorvane {

namespace {

enum : int { kIcon = 100, kTitle, kVersion, kDescription, kLine1, kLine2 };

struct AboutState {
  HFONT font = nullptr, bold = nullptr;
  HICON icon = nullptr;
  HBRUSH dark = nullptr, light = nullptr;
};

UINT DpiOf(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (fn) return fn(hwnd);
  HDC dc = GetDC(nullptr);
  UINT dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSY));
  ReleaseDC(nullptr, dc);
  return dpi;
}

HFONT MessageFont(UINT dpi, bool bold) {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return nullptr;
  HDC dc = GetDC(nullptr);
  const int system = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  LOGFONTW lf = ncm.lfMessageFont;
  lf.lfHeight = MulDiv(lf.lfHeight, static_cast<int>(dpi), system);
  if (bold) {
    lf.lfWeight = FW_BOLD;
    lf.lfHeight = MulDiv(lf.lfHeight, 115, 100);
  }
  return CreateFontIndirectW(&lf);
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* st = reinterpret_cast<AboutState*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      st = reinterpret_cast<AboutState*>(lp);
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      const AboutTexts texts = ProgramAboutTexts();
      SetWindowTextA(dlg, texts.Caption.c_str());
      const UINT dpi = DpiOf(dlg);
      auto px = [dpi](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };
      st->font = MessageFont(dpi, false);
      st->bold = MessageFont(dpi, true);
      st->icon = CreateProgramIcon(px(48));
      st->dark = CreateSolidBrush(0x00808080);
      st->light = CreateSolidBrush(0x00FFFFFF);
      HINSTANCE inst = GetModuleHandleA(nullptr);
      auto add = [&](const char* cls, const char* text, DWORD style, int id, int x, int y, int w, int h, HFONT font) {
        HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, px(x), px(y), px(w), px(h), dlg,
                                 reinterpret_cast<HMENU>(INT_PTR{id}), inst, nullptr);
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
      };
      HWND pic = add("STATIC", nullptr, SS_ICON | SS_REALSIZEIMAGE, kIcon, 18, 18, 48, 48, st->font);
      SendMessageA(pic, STM_SETICON, reinterpret_cast<WPARAM>(st->icon), 0);
      add("STATIC", texts.Title.c_str(), SS_LEFT | SS_NOPREFIX, kTitle, 84, 18, 340, 22, st->bold);
      add("STATIC", texts.Version.c_str(), SS_LEFT | SS_NOPREFIX, kVersion, 84, 46, 340, 18, st->font);
      add("STATIC", texts.Description.c_str(), SS_LEFT | SS_NOPREFIX, kDescription, 84, 76, 340, 36, st->font);
      add("STATIC", nullptr, 0, kLine1, 18, 122, 406, 1, st->font);
      add("STATIC", nullptr, 0, kLine2, 18, 123, 406, 1, st->font);
      HWND ok = add("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, 334, 136, 90, 26, st->font);
      RECT r{0, 0, px(442), px(176)};
      AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(dlg, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongA(dlg, GWL_EXSTYLE)));
      // Centred on its owner, in the topmost band.
      RECT owner{};
      HWND parent = GetWindow(dlg, GW_OWNER);
      if (!parent || !IsWindowVisible(parent) || !GetWindowRect(parent, &owner))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &owner, 0);
      const int w = r.right - r.left, h = r.bottom - r.top;
      SetWindowPos(dlg, HWND_TOPMOST, (owner.left + owner.right - w) / 2, (owner.top + owner.bottom - h) / 2, w, h, 0);
      SetFocus(ok);
      return FALSE;  // the focus is set
    }
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      if (st && (id == kLine1 || id == kLine2)) return reinterpret_cast<INT_PTR>(id == kLine1 ? st->dark : st->light);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(dlg, IDOK);
      return TRUE;
    case WM_DESTROY:
      if (st) {
        for (HGDIOBJ o : {static_cast<HGDIOBJ>(st->font), static_cast<HGDIOBJ>(st->bold), static_cast<HGDIOBJ>(st->dark),
                          static_cast<HGDIOBJ>(st->light)})
          if (o) DeleteObject(o);
        if (st->icon) DestroyIcon(st->icon);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowAboutBox(HWND owner) {
  // An empty template: the controls are made at the window's DPI when it opens.
  struct alignas(4) Template {
    DLGTEMPLATE t;
    WORD menu, cls, title;
  } tpl{};
  tpl.t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  AboutState state;
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &tpl.t, owner, AboutProc, reinterpret_cast<LPARAM>(&state));
}

}  // namespace dorvane
