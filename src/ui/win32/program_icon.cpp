#include "ui/win32/program_icon.h"

#include <vector>

namespace dorvane {

HICON CreateProgramIcon(int size) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = size;
  bi.bmiHeader.biHeight = -size;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP colour = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!colour) {
    DeleteDC(dc);
    return nullptr;
  }
  HGDIOBJ old = SelectObject(dc, colour);
  // GDI does not write alpha: draw on a key colour, then make the key transparent.
  constexpr COLORREF kKey = RGB(255, 0, 255);
  RECT all{0, 0, size, size};
  HBRUSH key = CreateSolidBrush(kKey);
  FillRect(dc, &all, key);
  DeleteObject(key);
  auto s = [size](int v) { return MulDiv(v, size, 48); };
  SelectObject(dc, GetStockObject(NULL_PEN));
  auto fill = [&](COLORREF c, auto draw) {
    HBRUSH b = CreateSolidBrush(c);
    HGDIOBJ prev = SelectObject(dc, b);
    draw();
    SelectObject(dc, prev);
    DeleteObject(b);
  };
  fill(RGB(64, 64, 64), [&] { RoundRect(dc, s(1), s(1), s(47) + 1, s(47) + 1, s(18), s(18)); });
  // The paper with its zig-zag tear.
  std::vector<POINT> paper{{s(12), s(6)}, {s(36), s(6)}, {s(36), s(40)}};
  for (int i = 0; i < 6; ++i) {
    paper.push_back({s(34 - 4 * i), s(43)});
    paper.push_back({s(32 - 4 * i), s(40)});
  }
  fill(RGB(255, 255, 230), [&] { Polygon(dc, paper.data(), static_cast<int>(paper.size())); });
  auto bar = [&](COLORREF c, int x, int y, int w, int h) {
    RECT r{s(x), s(y), s(x + w), s(y) + (s(h) > 0 ? s(h) : 1)};
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
  };
  bar(RGB(0, 160, 0), 15, 10, 18, 4);
  for (int row = 0; row < 4; ++row) bar(RGB(90, 90, 90), 15, 18 + 5 * row, row == 3 ? 10 : 18, 2);
  bar(RGB(200, 0, 0), 27, 33, 6, 3);
  GdiFlush();
  auto* px = static_cast<DWORD*>(bits);
  for (int i = 0; i < size * size; ++i) px[i] = (px[i] & 0xFFFFFF) == 0xFF00FF ? 0 : (px[i] | 0xFF000000);
  SelectObject(dc, old);
  DeleteDC(dc);

  std::vector<BYTE> zeros(static_cast<size_t>((size + 15) / 16 * 2 * size), 0);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, zeros.data());
  ICONINFO info{TRUE, 0, 0, mask, colour};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  return icon;
}

}  // namespace dorvane
