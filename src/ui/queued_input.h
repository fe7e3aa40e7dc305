// Mouse and keyboard input that waits in the thread's queue.
#pragma once

#include <windows.h>

namespace ui {

// Removes, unhandled, the clicks, wheel turns and keys queued for the
// calling thread's windows that were made before `time` (a tick count, as
// GetTickCount and MSG::time give it); input made since stays queued.
// Pointer moves stay too: they run nothing, and keep hover states right.
void DropInputMadeBefore(DWORD time) noexcept;

}  // namespace ui
