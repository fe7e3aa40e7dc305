// Form1 made inside the test program, for what cannot be seen or done from
// outside the real program: its font (under Wine, WM_GETFONT sent from
// another process answers 0) and a move to a monitor of another DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "tables/table_commands.h"
#include "ui/form1.h"

namespace {

// The window must not run a command in these tests.
class NoPlatform final : public tables::TablePlatform {
 public:
  tables::NativeString ApplicationFolder() override { throw std::logic_error("no commands here"); }
  std::unique_ptr<tables::FileSystem> CreateFileSystem() override {
    throw std::logic_error("no commands here");
  }
  void StartProgram(const tables::NativeString&, const std::vector<tables::NativeString>&,
                    tables::ShowState) override {
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
    for (HWND child = ::GetWindow(form_.Window(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      controls_.push_back(child);
    }
    ASSERT_EQ(controls_.size(), 3u);
  }

  NoPlatform platform_;
  ui::Form1 form_{::GetModuleHandleW(nullptr), platform_};
  std::vector<HWND> controls_;  // Label1, Command1, Command2
};

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
  // What Windows sends when the window lands on a monitor at 144 DPI. The
  // suggested size scales the whole window, frame included, so it is a few
  // pixels off for the client area.
  const RECT suggested{40, 50, 40 + 470, 50 + 190};
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

}  // namespace
