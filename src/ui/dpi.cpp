#include "ui/dpi.h"

#include "platform/win32/win32_services.h"

namespace ui {
namespace {

// Windows 10 1607 and later.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

constexpr UINT kDefaultDpi = 96;

// The screen's DPI as the whole system sees it (Windows 7 and 8 have no
// other).
UINT SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return kDefaultDpi;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

int TwipsToPixels(int twips, UINT dpi) {
  return ::MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch);
}

RECT PixelRect(const TwipRect& twips, UINT dpi) {
  // Each edge is converted on its own, so every control keeps its exact
  // width and height in pixels whatever its position.
  const int left = TwipsToPixels(twips.left, dpi);
  const int top = TwipsToPixels(twips.top, dpi);
  return RECT{left, top, left + TwipsToPixels(twips.width, dpi),
              top + TwipsToPixels(twips.height, dpi)};
}

UINT WindowDpi(HWND window) {
  if (const auto getDpiForWindow =
          platform::SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow")) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  return SystemDpi();
}

SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
  RECT rect{0, 0, clientWidth, clientHeight};
  BOOL adjusted = FALSE;
  if (const auto adjustForDpi = platform::SystemFunction<AdjustWindowRectExForDpiFunction>(
          L"user32.dll", "AdjustWindowRectExForDpi")) {
    adjusted = adjustForDpi(&rect, style, FALSE, exStyle, dpi);
  }
  if (!adjusted) adjusted = ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  if (!adjusted) return SIZE{clientWidth, clientHeight};
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

UniqueFont MessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  BOOL found = FALSE;
  if (const auto forDpi = platform::SystemFunction<SystemParametersInfoForDpiFunction>(
          L"user32.dll", "SystemParametersInfoForDpi")) {
    found = forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
  }
  if (!found) {
    // Before Windows 10 there is one DPI for the whole system, and these
    // metrics are already at it.
    found = ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  }
  if (!found) return UniqueFont();
  return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace ui
