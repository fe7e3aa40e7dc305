// Pixels at a window's DPI. The DPI functions of Windows 10 are looked up
// at run time, so the program still starts on Windows 7 and there falls back
// to the system DPI.
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace ui {

// GDI fonts: deleted with DeleteObject, once.
struct FontTraits {
  using Handle = HFONT;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle font) noexcept { ::DeleteObject(font); }
};
using UniqueFont = platform::UniqueHandle<FontTraits>;

// WM_GETDPISCALEDSIZE (Windows 10 1703), which the headers declare only for
// programs that need that version.
inline constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;

// The layout is kept in twips (1/1440 inch), so it scales with the DPI.
inline constexpr int kTwipsPerInch = 1440;

// Twips to pixels at `dpi`, rounded to the nearest pixel.
int TwipsToPixels(int twips, UINT dpi);

// A rectangle given in twips (left, top, width, height) in pixels at `dpi`.
struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};
RECT PixelRect(const TwipRect& twips, UINT dpi);

// The DPI the window is shown at (the monitor's under per-monitor awareness).
UINT WindowDpi(HWND window);

// The outer size of a window with the given styles whose client area is
// `clientWidth` x `clientHeight` pixels, at `dpi`.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// The font Windows uses for message boxes and dialogs, at `dpi`. Null when
// the system cannot say or the font cannot be made.
UniqueFont MessageFont(UINT dpi);

}  // namespace ui
