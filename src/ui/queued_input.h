// Mouse, keyboard, touch and pen input: what waits in the thread's queue,
// and what a held key repeats.
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace ui {

// True for what a key, a mouse button or wheel, a touch or a pen makes, in
// the client area or on the frame and caption. Pointer moves are not: they
// run nothing, and keep hover states right.
bool IsUserInput(UINT message) noexcept;

// True for a key-down of Enter or Space that the keyboard repeats because
// the key is held: the press it repeats has already been handled.
bool IsHeldPressKey(const MSG& message) noexcept;

// Removes, unhandled, every input (IsUserInput) that waits in the calling
// thread's queue, and every posted button click (BM_CLICK, as accessibility
// tools give it).
void DropQueuedInput() noexcept;

// The time the system would stamp on input made now (as MSG::time).
DWORD MessageClock() noexcept;

// True when `message` was made before `time` (a MessageClock() reading).
bool MadeBefore(const MSG& message, DWORD time) noexcept;

// Message hooks: removed with UnhookWindowsHookEx, once.
struct HookTraits {
  using Handle = HHOOK;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle hook) noexcept { ::UnhookWindowsHookEx(hook); }
};

// While it lives, the dialog boxes of the calling thread (a message box)
// ignore held Enter and Space (IsHeldPressKey): the key that opened a box by
// running a command does not close it, unread, as it repeats.
class HeldKeysIgnoredByBoxes {
 public:
  HeldKeysIgnoredByBoxes() noexcept;

 private:
  platform::UniqueHandle<HookTraits> hook_;
};

}  // namespace ui
