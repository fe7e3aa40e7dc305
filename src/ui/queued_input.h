// The Win32 side of the window's input rule (input/input_rule.h): what a
// message is to the rule, the thread's queue cleared through it, and the
// error box's input put to it.
#pragma once

#include <windows.h>

#include "input/input_rule.h"
#include "platform/win32/unique_handle.h"

namespace ui {

// True for what a key, a mouse button or wheel, a touch or a pen makes, in
// the client area or on the frame and caption. Pointer moves are not: they
// run nothing, and keep hover states right.
bool IsUserInput(UINT message) noexcept;

// What an input message (IsUserInput) is to the rule; `target` is the id of
// the command's button it is for, 0 for anything else.
input::Input InputOf(const MSG& message, int target) noexcept;

// The press that a double click's second press (WM_LBUTTONDBLCLK and the
// like) stands for (WM_LBUTTONDOWN).
UINT PressOf(UINT doubleClick) noexcept;

// The tick count now, as the rule takes it (GetTickCount64).
input::Ticks Now() noexcept;

// Removes, unhandled, every input (IsUserInput) that waits in the calling
// thread's queue, each told to `rule` so that it knows the keys held; and
// every posted button click (BM_CLICK, as accessibility tools give it) and
// posted command (WM_COMMAND, as automation scripts post it).
void DropQueuedInput(input::InputRule& rule) noexcept;

// Handles the messages that other threads have sent to the window and that
// wait for it (a BM_CLICK sent by an accessibility tool while a command
// ran): Windows hands them over only when the thread looks at its queue.
void HandleSentMessages() noexcept;

// The time the system would stamp on input made now (as MSG::time).
DWORD MessageClock() noexcept;

// Message hooks: removed with UnhookWindowsHookEx, once.
struct HookTraits {
  using Handle = HHOOK;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle hook) noexcept { ::UnhookWindowsHookEx(hook); }
};

// While it lives, the input that the dialog boxes of the calling thread (the
// error box) get is put to `rule` (InputRule::OnBoxInput) before they act on
// it, and what the rule drops they never see. One at a time per thread.
class BoxInputFilter {
 public:
  explicit BoxInputFilter(input::InputRule& rule) noexcept;
  ~BoxInputFilter();
  BoxInputFilter(const BoxInputFilter&) = delete;
  BoxInputFilter& operator=(const BoxInputFilter&) = delete;

 private:
  static LRESULT CALLBACK Filter(int code, WPARAM wParam, LPARAM lParam);
  bool Drops(const MSG& message);

  input::InputRule& rule_;
  // The message last put to the rule, and its answer: a box's loop may
  // hand one message to the filter twice (once itself, once through
  // IsDialogMessage), and the rule must see it once.
  MSG last_{};
  bool lastDropped_ = false;
  BoxInputFilter* outer_;
  platform::UniqueHandle<HookTraits> hook_;
};

}  // namespace ui
