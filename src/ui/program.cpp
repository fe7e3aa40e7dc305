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

}  // namespace

int RunProgram(HINSTANCE instance, int showCommand) {
  platform::SystemPlatform platform;
  Form1 form(instance, platform);
  if (!form.Create()) return 1;
  ::ShowWindow(form.Window(), showCommand);
  ::UpdateWindow(form.Window());
  return RunMessageLoop(form);
}

}  // namespace ui
