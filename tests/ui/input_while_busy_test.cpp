// What the window does with input the user makes in a hurry: a double
// click, a held key, and clicks and keys made while a command or its error
// box holds the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ui/main_window.h"

namespace window_test {
namespace {

// True while the window is there but its thread does not answer at once: a
// command holds it.
bool Busy(HWND window) {
  DWORD_PTR result = 0;
  return ::IsWindow(window) &&
         ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 50, &result) == 0;
}

// The system's double-click time at least `ms` while it lives, so that two
// clicks around a command still make a double click where starting a
// program is slow (under a CPU emulator); then the old time again. Programs
// started while it lives see it.
class ScopedDoubleClickTime {
 public:
  explicit ScopedDoubleClickTime(UINT ms) : old_(::GetDoubleClickTime()) {
    set_ = old_ >= ms || ::SetDoubleClickTime(ms) != FALSE;
  }
  ~ScopedDoubleClickTime() {
    if (::GetDoubleClickTime() != old_) ::SetDoubleClickTime(old_);
  }
  ScopedDoubleClickTime(const ScopedDoubleClickTime&) = delete;
  ScopedDoubleClickTime& operator=(const ScopedDoubleClickTime&) = delete;
  bool Set() const { return set_; }

 private:
  UINT old_;
  bool set_ = false;
};

TEST_F(MainWindow, DoubleClickOnAButtonRunsItsCommandOnceAndTwoClicksRunItTwice) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();
  const ScopedDoubleClickTime doubleClick(2000);
  ASSERT_TRUE(doubleClick.Set());
  ASSERT_NO_FATAL_FAILURE(Start());
  const UINT doubleClickMs = ::GetDoubleClickTime();

  // Each double click's second click comes once the first click's command
  // has returned, as on a quick machine: nothing else stops it there. What
  // is made after the second click is handled after it, so once that has
  // worked, the second click has done all it was going to do (if it ran
  // the command instead, what is made meanwhile is dropped, and what the
  // second click did shows).
  host_.Write(L"scripts\\table\\a.bin");
  ULONGLONG first = ::GetTickCount64();
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(Await([&] { return Table() == SweptTable(); }));
  Settle(window_);
  ASSERT_LT(::GetTickCount64() - first, doubleClickMs) << "no double click: the command took long";
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  Press(VK_TAB);
  ASSERT_TRUE(
      Await([&] { return FocusOf(window_) == command1_ || Table().count(L"later.bin") == 0; }));
  WaitForIdle(window_);
  EXPECT_EQ(Table().count(L"later.bin"), 1u) << "a double click on Delete Bins ran it twice";

  // The compiler takes the focus, so a click, not a key, follows here.
  first = ::GetTickCount64();
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_TRUE(Await([&] { return !ProcessesOf(Compiler()).empty(); }));
  Settle(window_);
  ASSERT_LT(::GetTickCount64() - first, doubleClickMs) << "no double click: the command took long";
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(Await(
      [&] { return Table().count(L"later.bin") == 0 || ProcessesOf(Compiler()).size() > 1; }));
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 1u) << "a double click on Compile Bins started more than one";

  // Two clicks further apart than the double-click time are two requests.
  host_.Write(L"scripts\\table\\again.bin");
  ::Sleep(doubleClickMs + 100);
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); }))
      << "a separate second click on Delete Bins ran nothing";
  EXPECT_TRUE(Running());
}

// What holds the window when the input is made.
enum class While {
  kDeleteBinsRuns,
  kCompileBinsRuns,
  kFailingCompileBinsRuns,  // no compiler: its error box follows
  kTheBoxIsUp,
  kIdle,
};
enum class Input {
  kClickOnCompileBins,
  kClickOnTheCloseButton,
  kSpace,
  kEnter,
  kEnterHeldOnDeleteBins,
  kTwoEnters,
  kTwoSpaces,
  kDoubleClickOnOkOverAButton,
  kClickSentToDeleteBins,   // BM_CLICK, as accessibility tools send it
  kEnterHeldOnCompileBins,  // without a compiler: the box opens under the held key
  kEnterHeldPastTheEnd,     // pressed while the command runs, held on after it
  kClickSpaceAndEnter,
  kCommandPostedToCompileBins,  // WM_COMMAND, as automation scripts post it
};

struct InputCase {
  const char* name;
  While when;
  Input input;
  std::size_t compilers;  // compilers started, one per Compile Bins the user meant
  bool boxStays = false;  // an error box follows, which only input made after it may close
};

void PrintTo(const InputCase& c, std::ostream* out) { *out << c.name; }

// Each case starts the tool afresh and makes its input; then a click made
// afterwards must do what it asks and the compilers must be those the
// user meant. Where the window is not busy with a command, a bin file
// written once the intended command has run must still be there: another
// run would have swept it.
const InputCase kInputCases[] = {
    {"ClickOnTheOtherButtonWhileACommandRuns", While::kDeleteBinsRuns, Input::kClickOnCompileBins,
     0},
    {"ClickOnTheCloseButtonWhileACommandRuns", While::kDeleteBinsRuns,
     Input::kClickOnTheCloseButton, 0},
    {"SpaceWhileACommandRuns", While::kCompileBinsRuns, Input::kSpace, 1},
    {"EnterWhileACommandRuns", While::kCompileBinsRuns, Input::kEnter, 1},
    {"HeldEnterIsOnePress", While::kIdle, Input::kEnterHeldOnDeleteBins, 0},
    {"TwoEntersOnTheErrorBox", While::kTheBoxIsUp, Input::kTwoEnters, 0},
    {"TwoSpacesOnTheErrorBox", While::kTheBoxIsUp, Input::kTwoSpaces, 0},
    {"DoubleClickOnOkOverAButton", While::kTheBoxIsUp, Input::kDoubleClickOnOkOverAButton, 0},
    {"ClickSentToAButtonWhileTheErrorBoxIsUp", While::kTheBoxIsUp, Input::kClickSentToDeleteBins,
     0},
    // Faults seen under both Wines with a storm of input: the repeats of a
    // key held since before a box closed it; a dropped key's repeats ran the
    // command again; input made during a failing command closed its box;
    // a posted command ran after the sweep it was posted during.
    {"HeldEnterDoesNotCloseItsOwnBox", While::kIdle, Input::kEnterHeldOnCompileBins, 0, true},
    {"KeyHeldPastTheCommandsEndRunsNothing", While::kCompileBinsRuns, Input::kEnterHeldPastTheEnd,
     1},
    {"InputDuringAFailingCommandLeavesItsBoxUp", While::kFailingCompileBinsRuns,
     Input::kClickSpaceAndEnter, 0, true},
    {"CommandPostedWhileACommandRunsRunsNothing", While::kDeleteBinsRuns,
     Input::kCommandPostedToCompileBins, 0},
};

constexpr wchar_t kMarker[] = L"scripts\\table\\marker.bin";

class InputWhileBusy : public MainWindow, public ::testing::WithParamInterface<InputCase> {
 protected:
  bool MarkerThere() const { return Table().count(L"marker.bin") == 1; }

  // A point on the caption's close button, found as the window finds it.
  POINT CloseButton() const {
    RECT outer{};
    POINT client{0, 0};
    EXPECT_TRUE(::GetWindowRect(window_, &outer) && ::ClientToScreen(window_, &client));
    const int y = (outer.top + client.y) / 2;
    for (int x = outer.right - 1; x > outer.left; --x) {
      DWORD_PTR hit = 0;
      ::SendMessageTimeoutW(window_, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, kPatienceMs,
                            &hit);
      if (hit == HTCLOSE) return POINT{x, y};
    }
    ADD_FAILURE() << "no close button on the caption";
    return POINT{outer.right, outer.top};
  }

  // Enter held, the keyboard repeating it every 33 ms all along, until
  // `pressed` shows what its press did; then the marker is written and the
  // key goes on repeating `repeats` times before it is let go.
  template <typename Condition>
  void HoldEnter(Condition pressed, int repeats) {
    ASSERT_NO_FATAL_FAILURE(KeyDown(VK_RETURN));
    ASSERT_TRUE(WaitUntil([&] {
      ::Sleep(33);
      KeyDown(VK_RETURN);
      return pressed();
    }));
    host_.Write(kMarker);
    for (int repeat = 0; repeat < repeats; ++repeat, ::Sleep(33)) {
      ASSERT_NO_FATAL_FAILURE(KeyDown(VK_RETURN));
    }
    Press(VK_RETURN);  // a last repeat, and the key let go
  }

  // Enter pressed while the command runs, and held on, repeating, until
  // well after the window answers again.
  void HoldEnterPastTheEnd() {
    ASSERT_NO_FATAL_FAILURE(KeyDown(VK_RETURN));
    ASSERT_TRUE(Busy(window_)) << "the command ended before the key went down: more bins needed";
    for (int after = 0; after < 45; ::Sleep(33)) {
      ASSERT_NO_FATAL_FAILURE(KeyDown(VK_RETURN));
      if (!Busy(window_)) ++after;
    }
    Press(VK_RETURN);
  }

  // Where the box has no button of the window's under its OK, it is moved
  // so that Compile Bins lies there.
  void DoubleClickOnOkOverAButton(HWND box) {
    RECT ok{};
    RECT button{};
    RECT place{};
    ASSERT_TRUE(::GetWindowRect(::GetDlgItem(box, IDOK), &ok));
    ASSERT_TRUE(::GetWindowRect(command1_, &button));
    ASSERT_TRUE(::GetWindowRect(box, &place));
    const POINT target{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    ASSERT_TRUE(::SetWindowPos(box, nullptr, place.left + target.x - (ok.left + ok.right) / 2,
                               place.top + target.y - (ok.top + ok.bottom) / 2, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    ClickAt(target, 2);
  }

  void Make(Input input, HWND box) {
    switch (input) {
      case Input::kClickOnCompileBins:
        return Click(command1_);
      case Input::kClickOnTheCloseButton:
        return ClickAt(closeButton_);
      case Input::kSpace:
        return Press(VK_SPACE);
      case Input::kEnter:
        return Press(VK_RETURN);
      case Input::kEnterHeldOnDeleteBins:
        // Two seconds on Delete Bins: the first press sweeps.
        Press(VK_TAB);
        ASSERT_TRUE(Await([&] { return FocusOf(window_) == command2_; }));
        return HoldEnter([&] { return Table() == SweptTable(); }, 60);
      case Input::kTwoEnters:
        return Press(VK_RETURN, 2);
      case Input::kTwoSpaces:
        return Press(VK_SPACE, 2);
      case Input::kDoubleClickOnOkOverAButton:
        return DoubleClickOnOkOverAButton(box);
      case Input::kClickSentToDeleteBins: {
        DWORD_PTR result = 0;
        ASSERT_NE(
            ::SendMessageTimeoutW(command2_, BM_CLICK, 0, 0, SMTO_NORMAL, kPatienceMs, &result), 0);
        EXPECT_TRUE(MarkerThere()) << "Delete Bins ran while the box was up";
        return Click(::GetDlgItem(box, IDOK));
      }
      case Input::kEnterHeldOnCompileBins:
        // On Compile Bins, which fails without a compiler: the box opens
        // under the held key.
        return HoldEnter([&] { return FindTopLevel(processId_, L"#32770", nullptr) != nullptr; },
                         30);
      case Input::kEnterHeldPastTheEnd:
        return HoldEnterPastTheEnd();
      case Input::kClickSpaceAndEnter:
        Click(command1_);
        Press(VK_SPACE);
        return Press(VK_RETURN);
      case Input::kCommandPostedToCompileBins:
        ASSERT_TRUE(::PostMessageW(window_, WM_COMMAND,
                                   MAKEWPARAM(::GetDlgCtrlID(command1_), BN_CLICKED),
                                   reinterpret_cast<LPARAM>(command1_)));
        return;
    }
  }

  // The failing command's box, once it is up: it stays up for the input
  // made before it, then closes for a click on its OK.
  void BoxStaysUntilOk(HWND& box) {
    ASSERT_TRUE(WaitUntil([&] {
      box = FindTopLevel(processId_, L"#32770", nullptr);
      return box != nullptr;
    })) << "no error box";
    ::Sleep(::GetDoubleClickTime() + 100);
    ASSERT_TRUE(::IsWindow(box)) << "input made before the box appeared closed it";
    ASSERT_NO_FATAL_FAILURE(Click(::GetDlgItem(box, IDOK)));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); })) << "OK did not close the box";
  }

  POINT closeButton_{};
};

TEST_P(InputWhileBusy, RunsNoCommandAfterwards) {
  const InputCase& c = GetParam();
  const bool command = c.when == While::kDeleteBinsRuns || c.when == While::kCompileBinsRuns ||
                       c.when == While::kFailingCompileBinsRuns;
  // Enough bin files that sweeping them holds the window for a while.
  if (command) testing_win::MakeNumberedFiles(host_ / L"scripts\\table", 8000, ".bin");
  // Without a compiler, Compile Bins shows its error box.
  if (c.when != While::kTheBoxIsUp && c.when != While::kFailingCompileBinsRuns &&
      c.input != Input::kEnterHeldOnCompileBins) {
    testing_win::InstallStandInCompiler(Compiler());
    HoldCompilers();
  }
  ASSERT_NO_FATAL_FAILURE(Start());
  if (c.input == Input::kClickOnTheCloseButton) closeButton_ = CloseButton();
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }));

  HWND box = nullptr;
  if (command) {
    ASSERT_NO_FATAL_FAILURE(Click(c.when == While::kDeleteBinsRuns ? command2_ : command1_));
    ASSERT_TRUE(Await([&] { return Busy(window_); })) << "the command never held the window";
  } else if (c.when == While::kTheBoxIsUp) {
    // Posted, not sent: a sent click would wait for the box to close.
    ASSERT_TRUE(::PostMessageW(command1_, BM_CLICK, 0, 0));
    ASSERT_TRUE(WaitUntil([&] {
      box = FindTopLevel(processId_, L"#32770", nullptr);
      return box != nullptr;
    }));
    host_.Write(kMarker);
  }
  ASSERT_NO_FATAL_FAILURE(Make(c.input, box));
  if (command && c.input != Input::kEnterHeldPastTheEnd) {
    ASSERT_TRUE(Busy(window_)) << "the command ended before the input was made: more bins needed";
  }
  if (box != nullptr) {
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); })) << "the box did not close";
  }
  if (c.boxStays) {
    ASSERT_NO_FATAL_FAILURE(BoxStaysUntilOk(box));
  }
  Settle(window_);
  if (!command) {
    EXPECT_TRUE(MarkerThere()) << "a command ran again";
  }
  // After a box, input is the window's again once the double-click time
  // is over.
  if (box != nullptr) ::Sleep(::GetDoubleClickTime() + 100);

  // Input made now works, and is handled after everything made before it.
  // (A compiler that was started may have the focus: so it is a click.)
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(Await([&] { return Table().count(L"later.bin") == 0; }));
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), c.compilers) << "compilers started";
  EXPECT_TRUE(Running());
}

INSTANTIATE_TEST_SUITE_P(Cases, InputWhileBusy, ::testing::ValuesIn(kInputCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace window_test
