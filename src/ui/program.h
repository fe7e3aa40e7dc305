// The program's run once its DLLs are loaded: the window on the system's
// services, shown, and its message loop.
#pragma once

#include <windows.h>

namespace ui {

// Makes the window, shows it as `showCommand` says (but never maximised: it
// has a fixed size) and handles its messages until it is closed. The
// program's exit code: 0 once closed, 1 when the window could not be made
// or the loop failed.
int RunProgram(HINSTANCE instance, int showCommand);

}  // namespace ui
