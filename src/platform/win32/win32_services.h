// Windows building blocks of the platform services, open to tests.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/win32/unique_handle.h"
#include "tables/file_system.h"
#include "tables/system_error.h"

namespace platform {

// A function exported by a loaded module; null where the module lacks it.
template <typename Function>
Function ModuleFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through the generic function type: GetProcAddress gives one type for
  // every function, and a direct cast between function types draws warnings.
  using AnyFunction = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(::GetProcAddress(module, name)));
}

// A function that not every Windows version has, looked up in a system DLL
// the process has loaded (kernel32, user32, ntdll); null where it is missing.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  return ModuleFunction<Function>(::GetModuleHandleW(module), name);
}

// The error with the system's own text for the code. `subject` names what
// failed (a path), once: as the text's first insert where it has one ("Bad
// EXE format for %1."), else on a line of its own after it (TextNaming).
tables::SystemError Win32Error(DWORD code, std::wstring_view subject = {});
[[noreturn]] void ThrowWin32Error(DWORD code, std::wstring_view subject = {});
[[noreturn]] void ThrowLastError(std::wstring_view subject = {});

// The system's text for an error code, without the trailing line break,
// naming `subject` as Win32Error says.
std::wstring SystemErrorText(DWORD code, std::wstring_view subject = {});

// The full path of a loaded module (NULL: the running executable). The
// buffer starts at `initialCapacity` characters and grows until the path
// fits, so no length limit applies.
std::wstring ModuleFileName(HMODULE module, DWORD initialCapacity = MAX_PATH);

// The running executable's path as GetModuleFileNameW gives it. Under Wine,
// for a program started through a path that no drive maps, it is relative
// ("unix\tmp\...\prog.exe").
std::wstring RunningModuleFileName();
// The NT path of the running executable's image ("\??\C:\...",
// "\Device\HarddiskVolume2\..."), which names it whatever the drives and
// the working folder.
std::wstring RunningImageNtPath();

// Where the application folder is read from: the system's own answers except
// in tests. Each gives a path or throws.
struct ProgramPathCalls {
  std::wstring (*moduleFileName)() = RunningModuleFileName;
  std::wstring (*imageNtPath)() = RunningImageNtPath;
};

// True for a path that names the same place from any working folder and
// drive: a drive letter with a separator, or two separators first (UNC,
// \\?\). "C:x" and "\x" depend on the current folder of a drive.
bool IsAbsolutePath(std::wstring_view path) noexcept;

// The Win32 path of an NT path: "\??\X" is "\\?\X", and a device's own
// ("\Device\...") is reached through "\\?\GLOBALROOT". Empty for what is
// no NT path.
std::wstring Win32PathOfNtPath(std::wstring_view ntPath);

// The folder of the running executable, without a trailing separator, and
// always absolute: where the module's path is not, the image's NT path
// stands in. Throws, naming the module's path, when neither gives an
// absolute one: the working folder is never taken for the program's.
std::wstring ApplicationFolderWith(const ProgramPathCalls& calls);

// A path as the file functions should be given it: long paths are made
// absolute and given the \\?\ prefix, so they work on any Windows version.
std::wstring ApiPath(const std::wstring& path);

// True when a listed name can only be one entry of its folder: not empty,
// not "." or "..", and holding no separator. A file system that allows a
// backslash in a name (Linux, as Wine lists it) would otherwise have the
// name read as a path: "a\b.bin" would open b.bin in the subfolder a.
bool IsEntryName(std::wstring_view name) noexcept;

// Opens a file for deletion, named exactly as listed in an open folder: the
// entry itself (a link, not its target), sharing everything so that only a
// holder who refuses deletion stands in the way. The name is taken as it
// is, relative to the folder's handle: no path rule reads it, so CON.bin or
// nul.bin is a file there, never a device. A name that is no entry name
// (IsEntryName) is never opened. Throws on failure.
UniqueFileHandle OpenForDeletionIn(HANDLE folder, std::wstring_view name);

// Marks an open file for deletion; it goes when the last handle closes.
BOOL WINAPI MarkForDeletion(HANDLE file);

// Deletes an open file by POSIX semantics: its name leaves the folder at once,
// even while others hold it open with delete sharing, and a read-only file
// goes in the same call without its attributes changing. Windows 10 1809 and
// later on volumes that support it; elsewhere it fails, see IsUnsupported.
BOOL WINAPI MarkForPosixDeletion(HANDLE file);

// True for the answers a system or volume gives to a file information class
// or flag it does not know.
bool IsUnsupported(DWORD error) noexcept;

// Deletes an open file with force: when the delete is refused with "access
// denied" and the file is read-only, the read-only mark is cleared and the
// delete tried once more. The mark is put back at once after that, whether
// the delete took or not: it belongs to the file, which may live on under
// other names (hard links). `mark` is MarkForDeletion except in tests.
using MarkForDeletionFunction = BOOL(WINAPI*)(HANDLE);
void ForceDelete(HANDLE file, MarkForDeletionFunction mark = MarkForDeletion);

// How files are marked for deletion: the system's own calls except in tests.
struct DeletionCalls {
  MarkForDeletionFunction posix = MarkForPosixDeletion;
  MarkForDeletionFunction classic = MarkForDeletion;
};

// Deletes the open files of one folder with force, by POSIX semantics where
// the system and the volume support them, else the classic way (ForceDelete).
// The first answer tells which; it holds for every later file, since one
// folder lies on one volume.
class FolderDeleter {
 public:
  explicit FolderDeleter(DeletionCalls calls = {}) noexcept : calls_(calls) {}
  // Throws on failure; the file is then left as it was.
  void Delete(HANDLE file);

 private:
  enum class Way { kUntried, kPosix, kClassic };
  DeletionCalls calls_;
  Way way_ = Way::kUntried;
};

// The file-system service with the given deletion calls (tests); the product
// uses CreateFileSystem().
std::unique_ptr<tables::FileSystem> CreateFileSystemWith(DeletionCalls calls);

}  // namespace platform
