// The program's entry: safe DLL search, visual styles, the window and its
// message loop.
#include <windows.h>
#include <commctrl.h>

#include "platform/system_platform.h"
#include "platform/win32/win32_services.h"
#include "ui/form1.h"

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// DLLs that Windows loads on the program's behalf come from System32 only,
// never from the current or the application folder, where a planted copy
// could wait. Windows 7 has the call only with its KB2533623 update; without
// it, at least the current folder leaves the search.
void UseSafeDllSearch() {
  const auto setDefaultDllDirectories = platform::SystemFunction<SetDefaultDllDirectoriesFunction>(
      L"kernel32.dll", "SetDefaultDllDirectories");
  if (setDefaultDllDirectories == nullptr ||
      !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    ::SetDllDirectoryW(L"");
  }
}

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
  UseSafeDllSearch();

  // Loads the common controls of the manifest (version 6), so the buttons
  // wear the visual style. Should it fail, they still work in the classic look.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);

  platform::SystemPlatform platform;
  ui::Form1 form(hInstance, platform);
  if (!form.Create()) return 1;
  ::ShowWindow(form.Window(), nShowCmd);
  ::UpdateWindow(form.Window());
  return RunMessageLoop(form);
}
