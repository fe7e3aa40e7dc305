#include "ui/queued_input.h"

namespace ui {
namespace {

struct MessageRange {
  UINT first;
  UINT last;
};

// Keys (system keys for Alt+letter and characters included), buttons and
// the wheel in the client area, and buttons on the frame and caption.
constexpr MessageRange kInput[] = {
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_LBUTTONDOWN, WM_MOUSELAST},
    {WM_NCLBUTTONDOWN, WM_NCXBUTTONDBLCLK},
};

// True when `time` is before `limit`; tick counts wrap after 49 days.
bool Before(DWORD time, DWORD limit) noexcept { return static_cast<LONG>(time - limit) < 0; }

}  // namespace

void DropInputMadeBefore(DWORD time) noexcept {
  for (const MessageRange& range : kInput) {
    // Each range comes in the order it was made, so the first message in it
    // made at `time` or later ends that range's part.
    MSG message;
    while (::PeekMessageW(&message, nullptr, range.first, range.last, PM_NOREMOVE) &&
           Before(message.time, time)) {
      if (!::PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE)) break;
    }
  }
}

}  // namespace ui
