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

// Tells the rule that the command is over when it goes, however Run ends.
class FinishOnExit {
 public:
  explicit FinishOnExit(input::InputRule& rule) noexcept : rule_(rule) {}
  ~FinishOnExit() { rule_.Finish(); }
  FinishOnExit(const FinishOnExit&) = delete;
  FinishOnExit& operator=(const FinishOnExit&) = delete;

 private:
  input::InputRule& rule_;
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

int Form1::ButtonId(HWND window) const noexcept {
  return window != nullptr && (window == command1_ || window == command2_) ? ::GetDlgCtrlID(window)
                                                                           : 0;
}

bool Form1::PreTranslate(MSG& message) noexcept {
  if (window_ == nullptr) return false;
  input_.SetDoubleClickTime(::GetDoubleClickTime());
  if (IsUserInput(message.message)) {
    switch (input_.OnInput(InputOf(message, ButtonId(message.hwnd)), Now())) {
      case input::Verdict::kDrop:
        return true;
      case input::Verdict::kHandleAsPress:
        message.message = PressOf(message.message);
        break;
      case input::Verdict::kHandle:
        break;
    }
  } else if ((message.message == BM_CLICK && ButtonId(message.hwnd) != 0) ||
             (message.message == WM_COMMAND && message.hwnd == window_ &&
              HIWORD(message.wParam) == BN_CLICKED)) {
    // A click or command posted to the window (accessibility tools and
    // automation scripts do) while it was busy runs nothing, as input does.
    if (!input_.OnRequest(message.time, Now())) return true;
  }
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

void Form1::Run(HWND button, const wchar_t* name, void (*command)(tables::TablePlatform&)) {
  // One command at a time. A click can reach a button while one runs, or
  // while its box is up: sent to it directly (BM_CLICK, from an
  // accessibility tool) and handled when the box, or the clearing of input
  // below, looks at the queue. It asks for nothing. The click, Space, Enter
  // or message that runs it was made at GetMessageTime().
  if (!input_.StartCommand(ButtonId(button), static_cast<DWORD>(::GetMessageTime()), Now())) {
    return;
  }
  const FinishOnExit finish(input_);
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
  input_.CommandEnded(MessageClock(), Now());
  DropQueuedInput(input_);
  // A failure ends the command, not the program: the user reads why and
  // the window stays open for the next try.
  if (!failure.empty()) ShowFailure(failure);
  // Clicks sent while it ran, handled now, still find it busy.
  HandleSentMessages();
}

void Form1::ShowFailure(const std::wstring& text) {
  input_.BoxOpened(MessageClock(), Now());
  {
    // The box is closed only by input made after it appeared.
    const BoxInputFilter filter(input_);
    ::MessageBoxW(window_, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
  }
  // What closed the box, and what follows it within a double click's time
  // (a second Enter, the second click on OK), belongs to the box.
  input_.BoxClosed(MessageClock(), Now());
  DropQueuedInput(input_);
}

}  // namespace ui
