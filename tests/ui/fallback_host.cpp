// The tool as it starts where the system lacks SetDefaultDllDirectories
// (Windows 7 without KB2533623): the same window and commands, with the
// DLLs loaded the fallback's way. The planted-DLL test runs it as it runs
// the tool.
#include <windows.h>

#include "platform/system_platform.h"
#include "ui/form1.h"
#include "ui/safe_loading.h"

// The parameters are named as <winbase.h> declares them.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  const ui::LoadedModules systemModules = ui::LoadCommonControlsSafely(nullptr);
  platform::SystemPlatform platform;
  ui::Form1 form(hInstance, platform);
  if (!form.Create()) return 1;
  ::ShowWindow(form.Window(), nShowCmd);
  MSG message;
  BOOL got = FALSE;
  while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (!form.PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}
