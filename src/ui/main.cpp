// The program's entry: safe DLL search and visual styles, then the window
// and its message loop.
#include <windows.h>

#include "ui/program.h"
#include "ui/safe_loading.h"

// The parameters are named as <winbase.h> declares them.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  // First of all: DLLs come from System32 only from here on, never from the
  // tool's folder, where a mod's proxy DLL may lie. What this loads stays
  // loaded until the program ends.
  const ui::LoadedModules systemModules = ui::LoadCommonControlsSafely();
  return ui::RunProgram(hInstance, nShowCmd);
}
