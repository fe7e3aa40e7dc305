// Windows building blocks of the platform services, open to tests.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/unique_handle.h"
#include "tables/system_error.h"

namespace platform {

// A function that not every Windows version has, looked up in a system DLL
// the process has loaded (kernel32, user32, ntdll); null where it is missing.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  const HMODULE loaded = ::GetModuleHandleW(module);
  if (loaded == nullptr) return nullptr;
  // Through the generic function type: GetProcAddress gives one type for
  // every function, and a direct cast between function types draws warnings.
  using AnyFunction = void (*)();
  return reinterpret_cast<Function>(
      reinterpret_cast<AnyFunction>(::GetProcAddress(loaded, name)));
}

// The error with the system's own text for the code. `subject` names what
// failed (a path): the text's first insert, as in "Bad EXE format for %1.".
tables::SystemError Win32Error(DWORD code, std::wstring_view subject = {});
[[noreturn]] void ThrowWin32Error(DWORD code, std::wstring_view subject = {});
[[noreturn]] void ThrowLastError(std::wstring_view subject = {});

// The system's text for an error code, without the trailing line break and
// with its inserts filled (see FillInserts).
std::wstring SystemErrorText(DWORD code, std::wstring_view subject = {});

// The full path of a loaded module (NULL: the running executable). The
// buffer starts at `initialCapacity` characters and grows until the path
// fits, so no length limit applies.
std::wstring ModuleFileName(HMODULE module, DWORD initialCapacity = MAX_PATH);

// A path as the file functions should be given it: long paths are made
// absolute and given the \\?\ prefix, so they work on any Windows version.
std::wstring ApiPath(const std::wstring& path);

// Opens a file for deletion: the entry itself (a link, not its target),
// sharing everything so that only a holder who refuses deletion stands in
// the way. Throws on failure.
UniqueFileHandle OpenForDeletion(const std::wstring& path);

// Marks an open file for deletion; it goes when the last handle closes.
BOOL WINAPI MarkForDeletion(HANDLE file);

// Deletes an open file with force: when the delete is refused with "access
// denied" and the file is read-only, the read-only mark is cleared and the
// delete tried once more. If that fails too the mark is put back, so a file
// that stays is left as it was. `mark` is MarkForDeletion except in tests.
using MarkForDeletionFunction = BOOL(WINAPI*)(HANDLE);
void ForceDelete(HANDLE file, MarkForDeletionFunction mark = MarkForDeletion);

}  // namespace platform
