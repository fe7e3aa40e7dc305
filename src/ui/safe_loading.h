// Where the program's DLLs come from: System32 and the system's side-by-side
// store, never the application folder, the working folder or PATH. The tool
// lives in a game's top folder, where mods put their proxy DLLs (version.dll,
// dwmapi.dll, uxtheme.dll and the like); none of them may run inside it.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/win32/unique_handle.h"

namespace ui {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// The system's SetDefaultDllDirectories; null where it is missing (Windows 7
// without KB2533623, which then refuses the LOAD_LIBRARY_SEARCH_* flags too).
SetDefaultDllDirectoriesFunction SystemSetDefaultDllDirectories();

// DLLs loaded for the rest of the program's life: one freed and then loaded
// again by name would be searched for again.
using LoadedModules = std::vector<platform::UniqueModule>;

// Restricts every later DLL search of the process to System32, loads from
// there the system DLLs that a window with the visual style brings in by
// name later (so those loads find them loaded), then the common controls
// that the manifest names (version 6, by side-by-side redirection), and
// registers their standard classes so that the buttons wear the visual
// style. Call it first, before anything can load a DLL.
//
// Where `setDefaultDllDirectories` is null or fails, the search keeps the
// application folder and only the working folder leaves it; the system DLLs
// are then loaded by full path, and what they bring in from their folder.
//
// Gives what it loaded; without the common controls among it (the buttons
// then keep the classic look) where they could not be loaded.
LoadedModules LoadCommonControlsSafely(
    SetDefaultDllDirectoriesFunction setDefaultDllDirectories = SystemSetDefaultDllDirectories());

}  // namespace ui
