// The program's entry: safe DLL search, visual styles, the window and its
// message loop.
#include <windows.h>

#include "platform/system_platform.h"
#include "ui/form1.h"
#include "ui/safe_loading.h"

namespace {

int RunMessageLoop(ui::Form1& form) {
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

// The parameters are named as <winbase.h> declares them.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  // First of all: DLLs come from System32 only from here on, never from the
  // tool's folder, where a mod's proxy DLL may lie. What this loads stays
  // loaded until the program ends.
  const ui::LoadedModules systemModules = ui::LoadCommonControlsSafely();

  platform::SystemPlatform platform;
  ui::Form1 form(hInstance, platform);
  if (!form.Create()) return 1;
  ::ShowWindow(form.Window(), nShowCmd);
  ::UpdateWindow(form.Window());
  return RunMessageLoop(form);
}
