#include "ui/queued_input.h"

namespace ui {
namespace {

struct MessageRange {
  UINT first;
  UINT last;
};

// WM_TOUCH to WM_POINTERHWHEEL: touch and pen, as Windows 8 and later
// deliver them (the headers name them only for Windows 8 targets).
constexpr UINT kTouchFirst = 0x0240;
constexpr UINT kPointerLast = 0x024F;

// Keys (system keys for Alt+letter and the characters they make included),
// buttons and the wheel in the client area, and buttons on the frame and
// caption. Touch and pen come apart (kTouchFirst to kPointerLast).
constexpr MessageRange kInput[] = {
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_LBUTTONDOWN, WM_MOUSELAST},
    {WM_NCLBUTTONDOWN, WM_NCXBUTTONDBLCLK},
};

// Bit 30 of a key message's lParam: the key was already down.
constexpr LPARAM kPreviousKeyState = LPARAM{1} << 30;

// Removes the queued messages from `first` to `last` that `flags` (PM_QS_*)
// name. At most a bound of them, so that input made faster than it goes
// cannot hold the window for ever; far more than a person makes.
void Drop(UINT first, UINT last, UINT flags) noexcept {
  constexpr int kMost = 10000;
  MSG message;
  for (int count = 0; count < kMost && ::PeekMessageW(&message, nullptr, first, last,
                                                      PM_REMOVE | PM_NOYIELD | flags);
       ++count) {
  }
}

// Dialog boxes hand each message to the thread's filter hooks before they
// act on it; true stops them acting.
LRESULT CALLBACK IgnoreHeldKeysInBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_DIALOGBOX && IsHeldPressKey(*reinterpret_cast<const MSG*>(lParam))) return TRUE;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool IsUserInput(UINT message) noexcept {
  for (const MessageRange& range : kInput) {
    if (message >= range.first && message <= range.last) return true;
  }
  return message >= kTouchFirst && message <= kPointerLast;
}

bool IsHeldPressKey(const MSG& message) noexcept {
  return message.message == WM_KEYDOWN && (message.lParam & kPreviousKeyState) != 0 &&
         (message.wParam == VK_RETURN || message.wParam == VK_SPACE);
}

void DropQueuedInput() noexcept {
  // No message's time is compared with the clock: what the queue holds now
  // reached it before this call. Windows leaves messages sent from other
  // threads waiting meanwhile (no PM_QS_SENDMESSAGE), so no sender hears
  // back before the queue is clear; Wine handles them as it goes.
  constexpr UINT kInputAndPosted = PM_QS_INPUT | PM_QS_POSTMESSAGE;
  for (const MessageRange& range : kInput) Drop(range.first, range.last, kInputAndPosted);
  Drop(BM_CLICK, BM_CLICK, kInputAndPosted);
  // Touch and pen queue as kinds that Windows 7 does not know (QS_TOUCH,
  // QS_POINTER), so that range is asked for without a filter, last.
  Drop(kTouchFirst, kPointerLast, 0);
}

DWORD MessageClock() noexcept {
  // A message of the thread's own, posted and taken back at once: the system
  // stamps it as it stamps input. Should that fail, the tick count is the
  // same clock, if in coarser steps.
  MSG marker;
  if (::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0) &&
      ::PeekMessageW(&marker, reinterpret_cast<HWND>(-1), WM_NULL, WM_NULL,
                     PM_REMOVE | PM_QS_POSTMESSAGE)) {
    return marker.time;
  }
  return ::GetTickCount();
}

bool MadeBefore(const MSG& message, DWORD time) noexcept {
  // Tick counts wrap after 49 days.
  return static_cast<LONG>(message.time - time) < 0;
}

HeldKeysIgnoredByBoxes::HeldKeysIgnoredByBoxes() noexcept
    : hook_(::SetWindowsHookExW(WH_MSGFILTER, &IgnoreHeldKeysInBoxes, nullptr,
                                ::GetCurrentThreadId())) {}

}  // namespace ui
