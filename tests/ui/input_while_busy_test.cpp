// What the window does with input the user makes in a hurry: a double
// click, and clicks and keys made while a command holds the window.
#include <windows.h>

#include <gtest/gtest.h>

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
  WaitForIdle(window_);
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
  WaitForIdle(window_);
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

TEST_F(MainWindow, InputMadeWhileACommandRunsIsDroppedNotRunAfterIt) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();
  // Enough bin files that sweeping them holds the window for a while.
  constexpr int kBins = 8000;
  testing_win::MakeNumberedFiles(host_ / L"scripts\\table", kBins, ".bin");
  ASSERT_NO_FATAL_FAILURE(Start());

  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_TRUE(Await([&] { return Busy(window_); })) << "Compile Bins never held the window";
  // A second click, Space and Enter on Compile Bins (it has the focus now):
  // each would run it again.
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  Press(VK_SPACE);
  Press(VK_RETURN);
  ASSERT_TRUE(Busy(window_)) << "the command ended before the input was made: more bins needed";

  // Input made once it has returned works, and is handled after everything
  // made before it. (The compiler has the focus now, so it is a click.)
  ASSERT_TRUE(Await([&] { return !ProcessesOf(Compiler()).empty(); }));
  WaitForIdle(window_);
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(Await(
      [&] { return Table().count(L"later.bin") == 0 || ProcessesOf(Compiler()).size() > 1; }));
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 1u) << "input made during the command ran it again";
  EXPECT_EQ(Table(), SweptTable());
  EXPECT_TRUE(Running());
}

}  // namespace
}  // namespace window_test
