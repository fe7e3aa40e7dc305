// The tool as it starts where the system lacks SetDefaultDllDirectories
// (Windows 7 without KB2533623): the same window and commands, with the
// DLLs loaded the fallback's way. The planted-DLL test runs it as it runs
// the tool.
#include <windows.h>

#include "ui/program.h"
#include "ui/safe_loading.h"

// The parameters are named as <winbase.h> declares them.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  const ui::LoadedModules systemModules = ui::LoadCommonControlsSafely(nullptr);
  return ui::RunProgram(hInstance, nShowCmd);
}
