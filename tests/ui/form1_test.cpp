// Form1 made inside the test program, for what cannot be seen or done from
// outside the real program: its font (under Wine, WM_GETFONT sent from
// another process answers 0), a move to a monitor of another DPI, and the
// user's text size.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tables/table_commands.h"
#include "ui/dpi.h"
#include "ui/form1.h"
#include "ui/main_window.h"

namespace {

// The window must not run a command in these tests.
class NoPlatform final : public tables::TablePlatform {
 public:
  tables::NativeString ApplicationFolder() override { throw std::logic_error("no commands here"); }
  std::unique_ptr<tables::FileSystem> CreateFileSystem() override {
    throw std::logic_error("no commands here");
  }
  void StartProgram(const tables::NativeString&, const std::vector<tables::NativeString>&,
                    const tables::NativeString&, tables::ShowState) override {
    throw std::logic_error("no commands here");
  }
};

struct Place {
  int left, top, width, height;
  bool operator==(const Place& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

std::ostream& operator<<(std::ostream& out, const Place& p) {
  return out << p.left << "," << p.top << " " << p.width << "x" << p.height;
}

Place PlaceOf(HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return Place{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  EXPECT_NE(handle, nullptr);
  if (handle != nullptr) {
    EXPECT_EQ(::GetObjectW(handle, sizeof font, &font), int{sizeof font});
  }
  return font;
}

class Form1InProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form_.Create());
    controls_ = window_test::ChildrenOf(form_.Window());
    ASSERT_EQ(controls_.size(), 3u);
  }

  NoPlatform platform_;
  ui::Form1 form_{::GetModuleHandleW(nullptr), platform_};
  std::vector<HWND> controls_;  // Label1, Command1, Command2
};

// The room a control's text takes in the control's own font.
SIZE TextSizeOf(HWND control) {
  wchar_t text[256] = {};
  const int length = ::GetWindowTextW(control, text, 256);
  const HDC dc = ::GetDC(control);
  if (dc == nullptr) return SIZE{};
  const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = font != nullptr ? ::SelectObject(dc, font) : nullptr;
  RECT rect{};
  ::DrawTextW(dc, text, length, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  if (previous != nullptr) ::SelectObject(dc, previous);
  ::ReleaseDC(control, dc);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Every text of the window whole: each button's caption inside its 3-D
// edges with a pixel to spare for the focus rectangle, the label's text
// inside the client area, and no control over another's text.
void ExpectEveryTextWhole(HWND window, UINT dpi) {
  const std::vector<HWND> controls = window_test::ChildrenOf(window);
  ASSERT_EQ(controls.size(), 3u);
  RECT client{};
  ASSERT_TRUE(::GetClientRect(window, &client));
  const int edge = ::MulDiv(3, static_cast<int>(dpi), 96);
  for (const HWND button : {controls[1], controls[2]}) {
    const Place place = PlaceOf(button);
    const SIZE text = TextSizeOf(button);
    SCOPED_TRACE(testing::Message()
                 << "button at " << place << ", caption " << text.cx << "x" << text.cy);
    ASSERT_GT(text.cy, 0);
    EXPECT_LE(text.cx + 2 * edge, place.width);
    EXPECT_LE(text.cy + 2 * edge, place.height);
    EXPECT_GE(place.left, 0);
    EXPECT_GE(place.top, 0);
    EXPECT_LE(place.left + place.width, client.right);
    EXPECT_LE(place.top + place.height, client.bottom);
  }
  const Place label = PlaceOf(controls[0]);
  const SIZE text = TextSizeOf(controls[0]);
  SCOPED_TRACE(testing::Message() << "label at " << label << ", text " << text.cx << "x" << text.cy
                                  << ", client " << client.right << "x" << client.bottom);
  EXPECT_LE(label.left + text.cx, client.right);
  EXPECT_LE(text.cy, label.height);
  EXPECT_LE(label.top + label.height, client.bottom);
  const Place lower = PlaceOf(controls[1]);
  EXPECT_GE(label.top, lower.top + lower.height) << "Compile Bins reaches into the label";
}

TEST_F(Form1InProcess, ControlsUseTheSystemsMessageFont) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  for (const HWND control : controls_) {
    const LOGFONTW font = FontOf(control);
    EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
    EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
  }
}

TEST_F(Form1InProcess, MovingToAMonitorOfAnotherDpiGoesWhereSuggestedWithTheClientAreaInTwips) {
  const LONG heightBefore = std::labs(FontOf(controls_[1]).lfHeight);
  // Asked first, the window tells the size its layout will have at 144 DPI:
  // 456 x 144 pixels of client area in the frame at that DPI.
  SIZE scaled{};
  ASSERT_TRUE(::SendMessageW(form_.Window(), ui::kGetDpiScaledSizeMessage, 144,
                             reinterpret_cast<LPARAM>(&scaled)));
  const auto style = static_cast<DWORD>(::GetWindowLongW(form_.Window(), GWL_STYLE));
  const SIZE expected = ui::WindowSizeForClient(456, 144, style, 0, 144);
  EXPECT_EQ(scaled.cx, expected.cx);
  EXPECT_EQ(scaled.cy, expected.cy);

  // Then what Windows sends as the window lands on a monitor at 144 DPI: a
  // rectangle of that size, or, from a system that does not ask, the whole
  // window scaled, frame included, which is a few pixels off for the client.
  for (const SIZE size : {scaled, SIZE{470, 190}}) {
    SCOPED_TRACE(testing::Message() << "suggested " << size.cx << "x" << size.cy);
    const RECT suggested{40, 50, 40 + size.cx, 50 + size.cy};
    ::SendMessageW(form_.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    ASSERT_TRUE(::GetWindowRect(form_.Window(), &now));
    EXPECT_EQ(now.left, 40);
    EXPECT_EQ(now.top, 50);
    RECT client{};
    ASSERT_TRUE(::GetClientRect(form_.Window(), &client));
    EXPECT_EQ(Place({0, 0, client.right, client.bottom}), Place({0, 0, 456, 144}));
    // The twip rectangles at 10 twips per pixel, rounded.
    EXPECT_EQ(PlaceOf(controls_[0]), Place({132, 96, 446, 38}));
    EXPECT_EQ(PlaceOf(controls_[1]), Place({12, 48, 422, 38}));
    EXPECT_EQ(PlaceOf(controls_[2]), Place({12, 12, 422, 38}));
    for (const HWND control : controls_) {
      EXPECT_NEAR(std::labs(FontOf(control).lfHeight), heightBefore * 1.5, 1.0);
    }
  }
}

TEST_F(Form1InProcess, EveryTextIsWholeAtAnyTextSizeAndTheLayoutReturnsWithTheDefault) {
  RECT before{};
  ASSERT_TRUE(::GetClientRect(form_.Window(), &before));
  const std::vector<Place> placesBefore{PlaceOf(controls_[0]), PlaceOf(controls_[1]),
                                        PlaceOf(controls_[2])};
  const UINT dpi = ui::WindowDpi(form_.Window());
  // Windows' Text size setting goes up to 225 %.
  for (const double scale : {1.5, 2.0, 2.25}) {
    SCOPED_TRACE(testing::Message() << "text at " << scale * 100 << " %, " << dpi << " DPI");
    const window_test::ScopedTextSize size(scale);
    ASSERT_TRUE(size.Set());
    // The open window follows the change...
    ExpectEveryTextWhole(form_.Window(), dpi);
    // ...and a window opened now starts with it.
    ui::Form1 opened(::GetModuleHandleW(nullptr), platform_);
    ASSERT_TRUE(opened.Create());
    ExpectEveryTextWhole(opened.Window(), dpi);
  }
  // With the default text size again, the layout is as it was.
  RECT after{};
  ASSERT_TRUE(::GetClientRect(form_.Window(), &after));
  EXPECT_EQ(Place({0, 0, after.right, after.bottom}), Place({0, 0, before.right, before.bottom}));
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    EXPECT_EQ(PlaceOf(controls_[i]), placesBefore[i]);
  }
}

}  // namespace
