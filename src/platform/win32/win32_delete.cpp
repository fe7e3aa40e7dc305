// Opening and force-deleting files: by name relative to an open folder, and
// by POSIX semantics where the system takes them, else the classic way.
#include <windows.h>
#include <winternl.h>

#include <string>
#include <string_view>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Older headers (and _WIN32_WINNT below Windows 10) lack these.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;
struct DispositionInfoEx {
  DWORD Flags;
};

// NtCreateFile's dispositions and options, as the kernel defines them.
constexpr ULONG kFileOpen = 0x1;
constexpr ULONG kSynchronousIoNonAlert = 0x20;
constexpr ULONG kNonDirectoryFile = 0x40;
constexpr ULONG kOpenForBackupIntent = 0x4000;
constexpr ULONG kOpenReparsePoint = 0x200000;
constexpr NTSTATUS kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022L);

NTSTATUS OpenIn(HANDLE folder, std::wstring_view name, ACCESS_MASK access, HANDLE* file) {
  UNICODE_STRING objectName{};
  objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  objectName.MaximumLength = objectName.Length;
  // Only read, though the structure's field is not const.
  objectName.Buffer = const_cast<wchar_t*>(name.data());
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = folder;
  attributes.ObjectName = &objectName;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  IO_STATUS_BLOCK io{};
  // As CreateFileW opens a file for synchronous use, but never a directory and
  // never through a link the system shows as one.
  return ::NtCreateFile(
      file, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll, kFileOpen,
      kSynchronousIoNonAlert | kNonDirectoryFile | kOpenForBackupIntent | kOpenReparsePoint,
      nullptr, 0);
}

// Sets a file's attributes, leaving its times as they are (times of zero).
bool SetAttributes(HANDLE file, FILE_BASIC_INFO basic, DWORD attributes) noexcept {
  basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
  basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
  basic.FileAttributes = attributes == 0 ? DWORD{FILE_ATTRIBUTE_NORMAL} : attributes;
  return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

}  // namespace

bool IsEntryName(std::wstring_view name) noexcept {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/") == std::wstring_view::npos;
}

UniqueFileHandle OpenForDeletionIn(HANDLE folder, std::wstring_view name) {
  // A name too long for the kernel's string is no name in any folder, and
  // one that is not a single name is no file of this folder: see IsEntryName.
  if (name.size() > 0x7FFF || !IsEntryName(name)) ThrowWin32Error(ERROR_INVALID_NAME);
  HANDLE opened = nullptr;
  NTSTATUS status =
      OpenIn(folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, &opened);
  if (status == kStatusAccessDenied) {
    // Deleting may be allowed where changing attributes is not.
    status = OpenIn(folder, name, DELETE | FILE_READ_ATTRIBUTES, &opened);
  }
  if (status < 0) ThrowWin32Error(::RtlNtStatusToDosError(status));
  return UniqueFileHandle(opened);
}

BOOL WINAPI MarkForDeletion(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

BOOL WINAPI MarkForPosixDeletion(HANDLE file) {
  DispositionInfoEx disposition{kDispositionDelete | kDispositionPosixSemantics |
                                kDispositionIgnoreReadOnly};
  return ::SetFileInformationByHandle(file, kFileDispositionInfoEx, &disposition,
                                      sizeof disposition);
}

bool IsUnsupported(DWORD error) noexcept {
  switch (error) {
    case ERROR_INVALID_PARAMETER:  // unknown class or flag (Windows, Wine 8)
    case ERROR_INVALID_FUNCTION:   // not implemented by the file system
    case ERROR_NOT_SUPPORTED:      // refused by the volume (FAT, network)
    case ERROR_INVALID_LEVEL:
    case ERROR_CALL_NOT_IMPLEMENTED:
      return true;
    default:
      return false;
  }
}

void ForceDelete(HANDLE file, MarkForDeletionFunction mark) {
  if (mark(file)) return;
  const DWORD error = ::GetLastError();
  FILE_BASIC_INFO basic{};
  if (error != ERROR_ACCESS_DENIED ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
    ThrowWin32Error(error);
  }
  const DWORD original = basic.FileAttributes;
  if (!SetAttributes(file, basic, original & ~DWORD{FILE_ATTRIBUTE_READONLY})) ThrowLastError();
  const bool marked = mark(file) != FALSE;
  const DWORD markError = ::GetLastError();
  // The mark goes back at once either way: the file keeps it under any other
  // name it has, and a file that stays is left as it was. A file marked for
  // deletion still goes. Nothing more can be done if putting it back fails.
  static_cast<void>(SetAttributes(file, basic, original));
  if (!marked) ThrowWin32Error(markError);
}

void FolderDeleter::Delete(HANDLE file) {
  if (way_ != Way::kClassic) {
    if (calls_.posix(file)) {
      way_ = Way::kPosix;
      return;
    }
    const DWORD error = ::GetLastError();
    if (IsUnsupported(error)) {
      // Not a failure of this file: the system or the volume does not know
      // the call. Asked once per folder.
      way_ = Way::kClassic;
    } else if (error != ERROR_ACCESS_DENIED) {
      // Access denied may still yield to the classic way's clearing of the
      // read-only mark (a volume that ignores that flag); nothing else will.
      ThrowWin32Error(error);
    }
  }
  ForceDelete(file, calls_.classic);
}

}  // namespace platform
