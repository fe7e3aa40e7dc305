#include "ui/program.h"

#include "platform/system_platform.h"
#include "ui/form1.h"

namespace ui {
namespace {

int RunMessageLoop(Form1& form) {
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);  // WM_QUIT
    if (got == -1) return 1;
    if (!form.PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

// How the window is shown first: as its starter asks (a shortcut's "Run"
// setting, a launcher), but never maximised. The window has a fixed size and
// no maximise box: maximised, it would fill the screen with its controls in
// a corner and no way back.
int FirstShowCommand(int requested) {
  if (requested == SW_SHOWDEFAULT) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    requested = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWNORMAL;
  }
  // SW_RESTORE shows a new window as SW_SHOWNORMAL does; unlike that, it is
  // not one that Windows may swap for the starter's show state.
  return requested == SW_SHOWMAXIMIZED ? SW_RESTORE : requested;
}

void Show(HWND window, int showCommand) {
  ::ShowWindow(window, FirstShowCommand(showCommand));
  // Should the system maximise the program's first window all the same
  // (when it puts the starter's show state in place is its own choice),
  // the window goes back to its size.
  if (::IsZoomed(window)) ::ShowWindow(window, SW_RESTORE);
}

}  // namespace

int RunProgram(HINSTANCE instance, int showCommand) {
  platform::SystemPlatform platform;
  Form1 form(instance, platform);
  if (!form.Create()) return 1;
  Show(form.Window(), showCommand);
  ::UpdateWindow(form.Window());
  return RunMessageLoop(form);
}

}  // namespace ui
