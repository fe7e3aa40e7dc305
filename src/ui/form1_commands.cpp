// Form1's commands: running one on the window's thread, reporting its
// failure in a box, and what becomes of the input made around them.
#include <exception>

#include "tables/decimal.h"
#include "tables/system_error.h"
#include "ui/form1.h"
#include "ui/queued_input.h"

namespace ui {
namespace {

// Shows the wait cursor for as long as it lives. A command holds the UI
// thread, so no WM_SETCURSOR can put the arrow back before it ends.
class WaitCursor {
 public:
  WaitCursor() noexcept : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// Sets a flag for as long as it lives.
class BusyWhileAlive {
 public:
  explicit BusyWhileAlive(bool& flag) noexcept : flag_(flag) { flag_ = true; }
  ~BusyWhileAlive() { flag_ = false; }
  BusyWhileAlive(const BusyWhileAlive&) = delete;
  BusyWhileAlive& operator=(const BusyWhileAlive&) = delete;

 private:
  bool& flag_;
};

// Text from a narrow what() message, in the system's code page.
std::wstring Widen(const char* text) {
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (size <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size) != size) return {};
  wide.resize(static_cast<std::size_t>(size - 1));
  return wide;
}

}  // namespace

std::wstring FailureText(const std::wstring& command, unsigned long number,
                         const std::wstring& description) {
  std::wstring text =
      command + L" did not finish.\n\nError " + tables::DecimalText<wchar_t>(number);
  text += description.empty() ? L"." : L": " + description;
  return text;
}

bool Form1::PreTranslate(MSG& message) noexcept {
  if (window_ == nullptr) return false;
  if (IsUserInput(message.message)) {
    // Input made while a command ran that reaches the queue only after it
    // returned, later than what DropQueuedInput removed, goes as that did.
    // (Seen under Wine with keys made during a command.)
    if (commandEnd_ && MadeBefore(message, *commandEnd_)) return true;
    // The second Enter or click of someone making sure an error box goes,
    // or a double click on its OK, is meant for the box, not for what lies
    // behind it now.
    if (::GetTickCount64() < boxInputUntil_) return true;
  }
  // A held key is one press: Enter would otherwise press the focused button
  // again with every repeat. (A held Space presses it once anyway.)
  if (IsHeldPressKey(message)) return true;
  if (message.message == WM_LBUTTONDBLCLK &&
      (message.hwnd == command1_ || message.hwnd == command2_)) {
    // A double click is one request: its first click ran the command, so
    // the second runs nothing. Where the first click ran nothing (it was
    // dropped while a command ran, or released off the button), the second
    // is a click of its own.
    if (message.hwnd == lastRunButton_ && message.time - lastRunTime_ <= ::GetDoubleClickTime()) {
      return true;
    }
    message.message = WM_LBUTTONDOWN;
  }
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

void Form1::Run(HWND button, const wchar_t* name, void (*command)(tables::TablePlatform&)) {
  // One command at a time. A click can reach a button while one runs, or
  // while its box is up: sent to it directly (BM_CLICK, from an
  // accessibility tool) and handled when the box, or the dropping of input
  // below, looks at the queue. It asks for nothing.
  if (busy_) return;
  const BusyWhileAlive busy(busy_);
  // When the click, Space or Enter that runs it was made.
  lastRunButton_ = button;
  lastRunTime_ = static_cast<DWORD>(::GetMessageTime());
  std::wstring failure;
  {
    // The command runs here on the UI thread; the window takes no input
    // until it returns, and the cursor says so.
    const WaitCursor wait;
    try {
      command(platform_);
    } catch (const tables::SystemError& error) {
      failure = FailureText(name, error.Number(), error.Description());
    } catch (const std::exception& error) {
      failure = std::wstring(name) + L" did not finish.\n\n" + Widen(error.what());
    } catch (...) {
      // Nothing may unwind into Windows' code that called the window.
      failure = std::wstring(name) + L" did not finish.";
    }
  }
  // The window takes no input while a command runs, so what the user did
  // meanwhile (clicked again because nothing seemed to happen, pressed
  // Space or Enter, clicked the other button or the caption) was not meant
  // for the window as it is now: it is dropped, not run late. Before the
  // box, too, which the keys would close unread.
  commandEnd_ = MessageClock();
  DropQueuedInput();
  // A failure ends the command, not the program: the user reads why and
  // the window stays open for the next try.
  if (!failure.empty()) ShowFailure(failure);
}

void Form1::ShowFailure(const std::wstring& text) {
  {
    const HeldKeysIgnoredByBoxes heldKeys;
    ::MessageBoxW(window_, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
  }
  // What closed the box, and what follows it within a double click's time
  // (a second Enter, the second click on OK), belongs to the box.
  DropQueuedInput();
  boxInputUntil_ = ::GetTickCount64() + ::GetDoubleClickTime();
}

}  // namespace ui
