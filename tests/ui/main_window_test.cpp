// The window and its commands, worked by real mouse and keyboard input
// (main_window.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/win32_services.h"
#include "ui/main_window.h"

namespace window_test {
namespace {

// Sets the display's DPI for programs started while it lives (Wine reads it
// as each program starts), and puts the old setting back.
class ScopedDpi {
 public:
  explicit ScopedDpi(DWORD dpi) {
    DWORD size = sizeof old_;
    had_ = ::RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &old_,
                          &size) == ERROR_SUCCESS;
    set_ = ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dpi, sizeof dpi) ==
           ERROR_SUCCESS;
  }
  ~ScopedDpi() {
    if (had_) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &old_, sizeof old_);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue);
    }
  }
  ScopedDpi(const ScopedDpi&) = delete;
  ScopedDpi& operator=(const ScopedDpi&) = delete;
  bool Set() const { return set_; }

 private:
  static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
  static constexpr const wchar_t* kValue = L"LogPixels";
  DWORD old_ = 0;
  bool had_ = false;
  bool set_ = false;
};

std::set<std::string> Set(const std::vector<std::string>& values) {
  return std::set<std::string>(values.begin(), values.end());
}

TEST_F(MainWindow, IsAFixedSizeWindowWithTheCloseButtonOnly) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(TextOf(window_), kTitle);
  const auto style = static_cast<DWORD>(::GetWindowLongW(window_, GWL_STYLE));
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_TRUE(style & WS_SYSMENU) << "no close button";
  EXPECT_FALSE(style & WS_THICKFRAME) << "resizable";
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & (WS_CHILD | WS_POPUP));
  EXPECT_EQ(::GetMenu(window_), nullptr);
}

TEST_F(MainWindow, ControlsHaveTheirKindCaptionAndPlaceAndNoDefaultOrAccessKeys) {
  ASSERT_NO_FATAL_FAILURE(Start());
  struct Expected {
    HWND control;
    const wchar_t* className;
    RECT place;  // the twip rectangles at 15 twips per pixel
  } const expected[] = {
      {label1_, L"Static", {88, 64, 88 + 297, 64 + 25}},
      {command1_, L"Button", {8, 32, 8 + 281, 32 + 25}},
      {command2_, L"Button", {8, 8, 8 + 281, 8 + 25}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(Utf8(TextOf(e.control)));
    EXPECT_EQ(ClassOf(e.control), e.className);
    EXPECT_EQ(PlaceOf(e.control), e.place);
    EXPECT_TRUE(::IsWindowVisible(e.control));
  }
  EXPECT_EQ(TextOf(command1_), L"Compile Bins");
  EXPECT_EQ(TextOf(command2_), L"Delete Bins");

  // The credit is one line of text that runs past the client area's right
  // edge, where the window cuts it off.
  const std::wstring credit = TextOf(label1_);
  EXPECT_FALSE(credit.empty());
  EXPECT_EQ(credit.find_first_of(L"\r\n"), std::wstring::npos);
  RECT client{};
  ::GetClientRect(window_, &client);
  EXPECT_GT(PlaceOf(label1_).right, client.right);
  const auto labelStyle = static_cast<DWORD>(::GetWindowLongW(label1_, GWL_STYLE));
  EXPECT_FALSE(labelStyle & WS_TABSTOP);

  // Plain push buttons: no default button, and no access keys.
  for (const HWND button : {command1_, command2_}) {
    const auto buttonStyle = static_cast<DWORD>(::GetWindowLongW(button, GWL_STYLE));
    EXPECT_EQ(buttonStyle & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
    EXPECT_TRUE(buttonStyle & WS_TABSTOP);
    EXPECT_EQ(TextOf(button).find(L'&'), std::wstring::npos);
    EXPECT_NE(::GetDlgCtrlID(button), IDOK);
    EXPECT_NE(::GetDlgCtrlID(button), IDCANCEL);
  }
}

// The client area and the controls in pixels at a DPI: the twip rectangles,
// each edge rounded on its own (15, 10 and 7.5 twips per pixel).
struct Layout {
  DWORD dpi;
  RECT client, label1, command1, command2;
};
constexpr Layout kLayouts[] = {
    {96, {0, 0, 304, 96}, {88, 64, 385, 89}, {8, 32, 289, 57}, {8, 8, 289, 33}},
    {144, {0, 0, 456, 144}, {132, 96, 578, 134}, {12, 48, 434, 86}, {12, 12, 434, 50}},
    {192, {0, 0, 608, 192}, {176, 128, 770, 178}, {16, 64, 578, 114}, {16, 16, 578, 66}},
};

const Layout* LayoutAt(DWORD dpi) {
  for (const Layout& layout : kLayouts) {
    if (layout.dpi == dpi) return &layout;
  }
  return nullptr;
}

// The DPI the session was started with (scripts/wine-prefix.sh writes it
// into the registry before the session's first program); 96 by default.
DWORD SessionDpi() {
  wchar_t value[16] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"VBC_SESSION_DPI", value, 16);
  return length > 0 && length < 16 ? static_cast<DWORD>(std::wcstoul(value, nullptr, 10)) : 96;
}

TEST_F(MainWindow, ClientAreaAndControlsAreExactTwipsAtTheSessionsDpi) {
  const Layout* expected = LayoutAt(SessionDpi());
  ASSERT_NE(expected, nullptr) << "no layout for " << SessionDpi() << " DPI";
  ASSERT_NO_FATAL_FAILURE(Start());
  RECT client{};
  ASSERT_TRUE(::GetClientRect(window_, &client));
  EXPECT_EQ(client, expected->client);
  EXPECT_EQ(PlaceOf(label1_), expected->label1);
  EXPECT_EQ(PlaceOf(command1_), expected->command1);
  EXPECT_EQ(PlaceOf(command2_), expected->command2);
}

TEST_F(MainWindow, OpensAtItsOwnSizeWhateverShowStateItIsStartedWith) {
  const Layout* expected = LayoutAt(SessionDpi());
  ASSERT_NE(expected, nullptr);
  // A shortcut's "Run: Maximized" (SW_MAXIMIZE is the same value) and
  // "Run: Minimized".
  const struct {
    WORD show;
    bool minimised;
  } cases[] = {{SW_SHOWMAXIMIZED, false}, {SW_SHOWMINNOACTIVE, true}};
  startup_.dwFlags = STARTF_USESHOWWINDOW;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "started with show state " << c.show);
    startup_.wShowWindow = c.show;
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_FALSE(::IsZoomed(window_)) << "maximised";
    EXPECT_EQ(::IsIconic(window_) != FALSE, c.minimised);
    if (!c.minimised) {
      RECT client{};
      ASSERT_TRUE(::GetClientRect(window_, &client));
      EXPECT_EQ(client, expected->client);
    }
    ASSERT_NO_FATAL_FAILURE(Close());
  }
}

TEST_F(MainWindow, DpiChangedWhileTheSessionRunsCutsOffNoControl) {
  if (!testing_win::UnderWine())
    GTEST_SKIP() << "changes the display's DPI, which Windows takes only at sign-in";
  // As winecfg does it: the setting changes while programs run. Some Wines
  // then give a new window the old DPI while its caption is already drawn
  // at the new one, so a frame predicted for the window's DPI is wrong.
  const ScopedDpi dpi(SessionDpi() == 192 ? 96 : 192);
  ASSERT_TRUE(dpi.Set());
  ASSERT_NO_FATAL_FAILURE(Start());
  // The layout is whole at whichever DPI the window was given.
  const Layout* layout = nullptr;
  for (const Layout& candidate : kLayouts) {
    if (PlaceOf(command1_) == candidate.command1) layout = &candidate;
  }
  ASSERT_NE(layout, nullptr) << "Compile Bins at " << PlaceOf(command1_);
  SCOPED_TRACE(testing::Message() << "laid out for " << layout->dpi << " DPI");
  RECT client{};
  ASSERT_TRUE(::GetClientRect(window_, &client));
  EXPECT_EQ(client, layout->client);
  EXPECT_EQ(PlaceOf(label1_), layout->label1);
  EXPECT_EQ(PlaceOf(command2_), layout->command2);
  // Nothing cut off: the buttons lie wholly inside the client area, and so
  // does the label's height (its box runs past the right edge by design).
  for (const HWND control : {label1_, command1_, command2_}) {
    const RECT place = PlaceOf(control);
    EXPECT_GE(place.left, 0);
    EXPECT_GE(place.top, 0);
    EXPECT_LE(place.bottom, client.bottom) << Utf8(TextOf(control));
    if (control != label1_) {
      EXPECT_LE(place.right, client.right) << Utf8(TextOf(control));
    }
  }
}

TEST_F(MainWindow, OpenedNearTheScreensCornerItStaysWhereItFitsAndMovesInWhereItGrewPast) {
  // Where the window at the default text size just fits into the corner.
  const Layout* layout = LayoutAt(SessionDpi());
  ASSERT_NE(layout, nullptr);
  RECT frame = layout->client;
  ASSERT_TRUE(::AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE, 0));
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  const POINT corner{work.right - (frame.right - frame.left),
                     work.bottom - (frame.bottom - frame.top)};
  startup_.dwFlags = STARTF_USEPOSITION;
  startup_.dwX = static_cast<DWORD>(corner.x);
  startup_.dwY = static_cast<DWORD>(corner.y);

  const int width = frame.right - frame.left;
  const struct {
    double scale;
    bool grows;
  } cases[] = {{1.0, false}, {2.25, true}};  // Windows' Text size goes up to 225 %
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "text at " << c.scale * 100 << " %");
    const ScopedTextSize size(c.scale);
    ASSERT_TRUE(size.Set());
    ASSERT_NO_FATAL_FAILURE(Start());
    RECT window{};
    ASSERT_TRUE(::GetWindowRect(window_, &window));
    SCOPED_TRACE(testing::Message() << "window at " << window);
    if (!c.grows) {
      EXPECT_EQ(window.left, corner.x);
      EXPECT_EQ(window.top, corner.y);
    } else {
      // Grown for the text, and moved in whole rather than made smaller.
      EXPECT_GT(window.right - window.left, width) << "not grown";
      EXPECT_TRUE(window.left >= work.left && window.top >= work.top &&
                  window.right <= work.right && window.bottom <= work.bottom)
          << "reaches past the work area " << work;
    }
    ASSERT_NO_FATAL_FAILURE(Close());
  }
}

TEST_F(MainWindow, FocusStartsOnCompileBinsAndTabMovesBetweenTheButtons) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }))
      << "focus at start: " << Utf8(TextOf(FocusOf(window_)));

  const struct {
    bool shift;
    HWND then;
  } steps[] = {{false, command2_}, {false, command1_}, {true, command2_}, {true, command1_}};
  for (const auto& step : steps) {
    step.shift ? PressShifted(VK_TAB) : Press(VK_TAB);
    EXPECT_TRUE(Await([&] { return FocusOf(window_) == step.then; }))
        << (step.shift ? "Shift+Tab" : "Tab") << " left the focus on "
        << Utf8(TextOf(FocusOf(window_)));
  }
}

TEST_F(MainWindow, KeysPressOnlyTheFocusedButtonAndEscapePressesNothing) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();  // a wrongly started compiler stays to be seen
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }));
  Press(VK_TAB);
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command2_; }));

  // Esc is no cancel button. The Tab after it is handled after it, so once
  // the focus has moved, Esc has done all it was going to do.
  Press(VK_ESCAPE);
  Press(VK_TAB);
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }));
  WaitForIdle(window_);
  EXPECT_EQ(Table().count(L"a.bin"), 1u) << "Esc ran a command";
  EXPECT_TRUE(Running());

  // Space presses "Delete Bins" when it has the focus.
  PressShifted(VK_TAB);
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command2_; }));
  Press(VK_SPACE);
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); })) << "Space did not press it";

  // Enter does the same, as on any focused button.
  host_.Write(L"scripts\\table\\new.bin");
  Press(VK_RETURN);
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); })) << "Enter did not press it";

  // Neither key reached "Compile Bins".
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 0u);
  EXPECT_TRUE(testing_win::ReadRecords(Compiler()).empty());
}

TEST_F(MainWindow, DeleteBinsClickDeletesTheBinFilesAndStartsNothing) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();  // a wrongly started compiler stays to be seen
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); }));
  // The command has returned once the window answers again.
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 0u) << "Delete Bins started a program";
  EXPECT_TRUE(testing_win::ReadRecords(Compiler()).empty());
  EXPECT_TRUE(Running());
}

TEST_F(MainWindow, CompileBinsClickSweepsThenStartsTheCompilerMinimisedInTheToolsFolder) {
  testing_win::InstallStandInCompiler(Compiler());
  // Started from another folder (a shortcut's "Start in", a launcher).
  startFolder_ = host_ / L"scripts";
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Click(command1_));

  const std::vector<Record> records = AwaitRecords(1);
  ASSERT_EQ(records.size(), 1u);
  const Record& record = records[0];
  EXPECT_EQ(record.at("argv"),
            (std::vector<std::string>{Utf8(Compiler()), "table_bin", "startgame"}));
  EXPECT_EQ(record.at("show_window"), std::vector<std::string>{"2"});
  EXPECT_EQ(record.at("cwd"), std::vector<std::string>{Utf8(host_.Path())});
  // The compiler saw the table folder already swept.
  EXPECT_EQ(Set(record.at("table")), (std::set<std::string>{"keep.txt", "e.bin.bak", "sub"}));
  EXPECT_EQ(Table(), SweptTable());
  WaitForIdle(window_);
  EXPECT_EQ(testing_win::ReadRecords(Compiler()).size(), 1u) << "more than one compiler";
  EXPECT_TRUE(Running());
}

TEST_F(MainWindow, MissingCompilerIsReportedInABoxAndTheWindowStaysUsable) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // Posted, not sent: a sent click would wait for the box to close.
  ASSERT_TRUE(::PostMessageW(command1_, BM_CLICK, 0, 0));

  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    box = FindTopLevel(processId_, L"#32770", kTitle);
    return box != nullptr || !Running();
  }));
  ASSERT_NE(box, nullptr) << "the tool ended instead of reporting";
  EXPECT_EQ(::GetWindow(box, GW_OWNER), window_) << "the box is not owned by the window";
  const std::wstring text = TextOf(::GetDlgItem(box, 0xFFFF));
  SCOPED_TRACE(Utf8(text));
  // The number of the failure and the system's own text for it: "file not
  // found" or "path not found", whichever the system reports.
  const DWORD number = text.find(L"Error 3") != std::wstring::npos ? 3 : 2;
  EXPECT_NE(text.find(L"Error " + std::to_wstring(number) + L": "), std::wstring::npos);
  ASSERT_FALSE(platform::SystemErrorText(number).empty());
  EXPECT_NE(text.find(platform::SystemErrorText(number)), std::wstring::npos);
  // It names the program it could not start: once, on a line of its own.
  EXPECT_NE(text.find(platform::SystemErrorText(number) + L"\n" + Compiler()), std::wstring::npos);
  EXPECT_EQ(text.find(Compiler()), text.rfind(Compiler()));
  // The sweep ran before the start failed.
  EXPECT_EQ(Table(), SweptTable());

  const HWND ok = ::GetDlgItem(box, IDOK);
  ASSERT_NE(ok, nullptr);
  ASSERT_TRUE(::PostMessageW(ok, BM_CLICK, 0, 0));
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));

  // Still open, and still doing its work once the clicks and keys that
  // belong to the box (those within a double click's time) are over.
  ASSERT_TRUE(Running()) << "the tool ended after the report";
  EXPECT_TRUE(::IsWindowEnabled(window_));
  ::Sleep(::GetDoubleClickTime() + 100);
  host_.Write(L"scripts\\table\\again.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); }));
  WaitForIdle(window_);
  EXPECT_EQ(FindTopLevel(processId_, L"#32770", kTitle), nullptr) << "a second box";
}

TEST_F(MainWindow, StartedThroughAPathWithoutADriveItStillWorksInItsOwnFolder) {
  if (!testing_win::UnderWine()) GTEST_SKIP() << "Wine's own way to name a Linux path";
  // As Wine starts a program in a folder that no drive maps. The tool is
  // told its own path relative ("unix\..."), which from its working folder
  // (the host's top folder here) names nothing.
  std::wstring exe = L"\\\\?\\unix";
  for (const char c : testing_win::UnixPath(Exe()))
    exe += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  testing_win::InstallStandInCompiler(Compiler());
  ASSERT_NO_FATAL_FAILURE(Start(exe));
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  EXPECT_EQ(AwaitRecords(1).size(), 1u) << "no compiler started";
  EXPECT_EQ(Table(), SweptTable());
  WaitForIdle(window_);
  EXPECT_EQ(FindTopLevel(processId_, L"#32770", kTitle), nullptr) << "an error box";
}

TEST_F(MainWindow, ClosingEndsTheProgramAndLeavesAStartedCompilerRunning) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_EQ(AwaitRecords(1).size(), 1u);
  WaitForIdle(window_);
  ASSERT_EQ(RunningCompilers(), 1u);

  ASSERT_NO_FATAL_FAILURE(Close());
  DWORD exitCode = 99;
  ASSERT_TRUE(::GetExitCodeProcess(process_.get(), &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(::WaitForSingleObject(compilers_.at(0).get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the compiler ended with the tool";

  // Released, the compiler finishes on its own.
  ASSERT_TRUE(::DeleteFileW(Hold().c_str()));
  EXPECT_EQ(::WaitForSingleObject(compilers_.at(0).get(), kPatienceMs), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace window_test
