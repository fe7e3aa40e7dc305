#include "ui/layout.h"

#include <algorithm>

#include "ui/dpi.h"

namespace ui {
namespace {

// The layout, in twips so that it scales with the DPI.
constexpr int kClientWidthTwips = 4560;
constexpr int kClientHeightTwips = 1440;
constexpr TwipRect kLabel1Twips{1320, 960, 4455, 375};  // runs past the right edge
constexpr TwipRect kCommand1Twips{120, 480, 4215, 375};
constexpr TwipRect kCommand2Twips{120, 120, 4215, 375};

// A button's caption keeps this far from each of its edges: the 3-D border
// and the focus rectangle lie there.
constexpr int kCaptionMarginTwips = 60;  // 4 pixels at 96 DPI
// Room right of the label's text, as much as left of the buttons.
constexpr int kTextMarginTwips = 120;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

// `rect`, grown to the right and down to at least `width` x `height`.
RECT AtLeast(RECT rect, int width, int height) {
  rect.right = rect.left + std::max(Width(rect), width);
  rect.bottom = rect.top + std::max(Height(rect), height);
  return rect;
}

// A window's device context, with a font chosen into it, for measuring.
class MeasuringContext {
 public:
  MeasuringContext(HWND window, HFONT font) noexcept
      : window_(window), dc_(::GetDC(window)), previous_(Choose(dc_, font)) {}
  ~MeasuringContext() {
    if (dc_ == nullptr) return;
    if (previous_ != nullptr) ::SelectObject(dc_, previous_);
    ::ReleaseDC(window_, dc_);
  }
  MeasuringContext(const MeasuringContext&) = delete;
  MeasuringContext& operator=(const MeasuringContext&) = delete;

  // The room one line of `text` takes, drawn as the controls draw it (no
  // access keys); zero where it cannot be told.
  SIZE LineSize(const wchar_t* text) const {
    RECT rect{};
    if (dc_ == nullptr ||
        ::DrawTextW(dc_, text, -1, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX) == 0) {
      return SIZE{0, 0};
    }
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
  }

 private:
  static HGDIOBJ Choose(HDC dc, HFONT font) noexcept {
    return dc != nullptr && font != nullptr ? ::SelectObject(dc, font) : nullptr;
  }

  HWND window_;
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace

SIZE CaptionSize(HWND window, HFONT font, const wchar_t* caption) {
  return MeasuringContext(window, font).LineSize(caption);
}

FormLayout LayOut(UINT dpi, const TextSizes& text) {
  const int margin = TwipsToPixels(kCaptionMarginTwips, dpi);
  const RECT label1 = PixelRect(kLabel1Twips, dpi);
  const RECT command1 = PixelRect(kCommand1Twips, dpi);
  const RECT command2 = PixelRect(kCommand2Twips, dpi);
  FormLayout layout{};
  layout.command2 = AtLeast(command2, text.command2.cx + 2 * margin, text.command2.cy + 2 * margin);
  layout.command1 = AtLeast(command1, text.command1.cx + 2 * margin, text.command1.cy + 2 * margin);
  layout.label1 = AtLeast(label1, text.label1.cx, text.label1.cy);

  // Top to bottom they are Delete Bins, Compile Bins and the label: what a
  // control grows in height moves the ones below it down by as much.
  const int below2 = Height(layout.command2) - Height(command2);
  ::OffsetRect(&layout.command1, 0, below2);
  const int below1 = below2 + Height(layout.command1) - Height(command1);
  ::OffsetRect(&layout.label1, 0, below1);
  const int belowLabel = below1 + Height(layout.label1) - Height(label1);

  // The label's box runs past the client area by design, but its text stays
  // inside; the buttons keep their room on the right.
  const int clientWidth = TwipsToPixels(kClientWidthTwips, dpi);
  const int buttonRoom = clientWidth - command1.right;
  layout.client.cx = std::max<LONG>(
      {clientWidth, layout.command1.right + buttonRoom, layout.command2.right + buttonRoom,
       layout.label1.left + text.label1.cx + TwipsToPixels(kTextMarginTwips, dpi)});
  layout.client.cy = TwipsToPixels(kClientHeightTwips, dpi) + belowLabel;
  return layout;
}

RECT WithinArea(const RECT& window, const RECT& area) {
  // The far edges first, then the near ones: those win where it is too large.
  const int left =
      std::max<LONG>(std::min<LONG>(window.left, area.right - Width(window)), area.left);
  const int top =
      std::max<LONG>(std::min<LONG>(window.top, area.bottom - Height(window)), area.top);
  return RECT{left, top, left + Width(window), top + Height(window)};
}

}  // namespace ui
