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

// Each mouse button's press, release and double click's second press, in the
// client area and on the frame and caption.
struct ButtonMessages {
  UINT down;
  UINT up;
  UINT doubleClick;
};
constexpr ButtonMessages kButtons[] = {
    {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
    {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK},
    {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK},
    {WM_XBUTTONDOWN, WM_XBUTTONUP, WM_XBUTTONDBLCLK},
    {WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK},
    {WM_NCRBUTTONDOWN, WM_NCRBUTTONUP, WM_NCRBUTTONDBLCLK},
    {WM_NCMBUTTONDOWN, WM_NCMBUTTONUP, WM_NCMBUTTONDBLCLK},
    {WM_NCXBUTTONDOWN, WM_NCXBUTTONUP, WM_NCXBUTTONDBLCLK},
};

// Bit 30 of a key message's lParam: the key was already down.
constexpr LPARAM kPreviousKeyState = LPARAM{1} << 30;

// The filter of the box up now on this thread. A hook procedure is given no
// context of its own; this one slot, set only while a BoxInputFilter lives,
// carries it.
thread_local BoxInputFilter* activeFilter = nullptr;

// Removes the queued messages from `first` to `last` that `flags` (PM_QS_*)
// name, telling the rule of the input among them. At most a bound of them,
// so that input made faster than it goes cannot hold the window for ever;
// far more than a person makes.
void Drop(input::InputRule& rule, UINT first, UINT last, UINT flags) noexcept {
  constexpr int kMost = 10000;
  MSG message;
  for (int count = 0; count < kMost && ::PeekMessageW(&message, nullptr, first, last,
                                                      PM_REMOVE | PM_NOYIELD | flags);
       ++count) {
    if (IsUserInput(message.message)) rule.OnInput(InputOf(message, 0), Now());
  }
}

bool SameMessage(const MSG& a, const MSG& b) {
  return a.hwnd == b.hwnd && a.message == b.message && a.wParam == b.wParam &&
         a.lParam == b.lParam && a.time == b.time;
}

}  // namespace

bool IsUserInput(UINT message) noexcept {
  for (const MessageRange& range : kInput) {
    if (message >= range.first && message <= range.last) return true;
  }
  return message >= kTouchFirst && message <= kPointerLast;
}

input::Input InputOf(const MSG& message, int target) noexcept {
  input::Input made;
  made.target = target;
  made.time = message.time;
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      made.kind = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN
                      ? input::Kind::kKeyDown
                      : input::Kind::kKeyUp;
      made.key = static_cast<unsigned>(message.wParam);
      made.repeat = (message.lParam & kPreviousKeyState) != 0;
      break;
    default:
      made.kind = input::Kind::kOther;
      for (const ButtonMessages& button : kButtons) {
        if (message.message == button.down) made.kind = input::Kind::kButtonDown;
        if (message.message == button.up) made.kind = input::Kind::kButtonUp;
        if (message.message == button.doubleClick) made.kind = input::Kind::kButtonDoubleClick;
      }
      break;
  }
  return made;
}

UINT PressOf(UINT doubleClick) noexcept {
  for (const ButtonMessages& button : kButtons) {
    if (doubleClick == button.doubleClick) return button.down;
  }
  return doubleClick;
}

input::Ticks Now() noexcept { return ::GetTickCount64(); }

void DropQueuedInput(input::InputRule& rule) noexcept {
  // No message's time is compared with the clock here: what the queue holds
  // now reached it before this call. Windows leaves messages sent from other
  // threads waiting meanwhile (no PM_QS_SENDMESSAGE), so no sender hears
  // back before the queue is clear; Wine handles them as it goes, and the
  // rule, still busy, lets them run nothing.
  constexpr UINT kInputAndPosted = PM_QS_INPUT | PM_QS_POSTMESSAGE;
  for (const MessageRange& range : kInput) Drop(rule, range.first, range.last, kInputAndPosted);
  Drop(rule, BM_CLICK, BM_CLICK, PM_QS_POSTMESSAGE);
  Drop(rule, WM_COMMAND, WM_COMMAND, PM_QS_POSTMESSAGE);
  // Touch and pen queue as kinds that Windows 7 does not know (QS_TOUCH,
  // QS_POINTER), so that range is asked for without a filter, last.
  Drop(rule, kTouchFirst, kPointerLast, 0);
}

void HandleSentMessages() noexcept {
  // PeekMessage hands every waiting sent message to its window before it
  // looks at the queue; nothing is taken from the queue.
  MSG message;
  ::PeekMessageW(&message, nullptr, WM_NULL, WM_NULL, PM_NOREMOVE | PM_QS_SENDMESSAGE);
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

BoxInputFilter::BoxInputFilter(input::InputRule& rule) noexcept
    : rule_(rule),
      outer_(activeFilter),
      hook_(::SetWindowsHookExW(WH_MSGFILTER, &BoxInputFilter::Filter, nullptr,
                                ::GetCurrentThreadId())) {
  activeFilter = this;
}

BoxInputFilter::~BoxInputFilter() { activeFilter = outer_; }

LRESULT CALLBACK BoxInputFilter::Filter(int code, WPARAM wParam, LPARAM lParam) {
  // Dialog boxes, message boxes among them, hand each message to the
  // thread's filter hooks before they act on it; true stops them acting.
  // (Windows documents MSGF_DIALOGBOX for both; MSGF_MESSAGEBOX is taken too.)
  if ((code == MSGF_DIALOGBOX || code == MSGF_MESSAGEBOX) && activeFilter != nullptr &&
      activeFilter->Drops(*reinterpret_cast<const MSG*>(lParam))) {
    return TRUE;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool BoxInputFilter::Drops(const MSG& message) {
  if (!IsUserInput(message.message)) return false;
  if (SameMessage(message, last_)) return lastDropped_;
  last_ = message;
  lastDropped_ = rule_.OnBoxInput(InputOf(message, 0), Now()) == input::Verdict::kDrop;
  return lastDropped_;
}

}  // namespace ui
