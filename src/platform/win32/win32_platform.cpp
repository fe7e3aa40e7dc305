// Windows services for the table commands: wide strings and W functions
// throughout, and no 260-character limit anywhere.
#include <windows.h>
#include <winternl.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/message_text.h"
#include "platform/system_platform.h"
#include "platform/win32/kernel_string.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "tables/decimal.h"

namespace platform {
namespace {

using tables::NativeString;

// The answers to a path that names no folder or file: nothing there, or a
// name that leads nowhere (a dangling link), or one that cannot be resolved
// at all (a link to itself, a chain of links too long to follow).
bool IsNotFound(DWORD code) noexcept {
  switch (code) {
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DIRECTORY:
      return true;
    default:
      return false;
  }
}

bool EndsWithSeparator(const std::wstring& path) noexcept {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

// The name the system holds for an open file, links followed. Asked of the
// kernel directly: GetFinalPathNameByHandleW gives up on long paths on some
// systems.
std::wstring ResolvedNameOf(HANDLE handle) {
  constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
  // OBJECT_NAME_INFORMATION holds just the name.
  return KernelString([handle](void* buffer, ULONG size, ULONG* needed) {
    return ::NtQueryObject(handle, kObjectNameInformation, buffer, size, needed);
  });
}

// Opens a folder for its name and as the root its files are opened from.
// Links on the way to it, the folder's own included, are followed.
UniqueFileHandle OpenFolderForName(const std::wstring& path) {
  UniqueFileHandle handle(::CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) ThrowLastError();
  return handle;
}

bool SamePath(const std::wstring& a, const std::wstring& b) noexcept {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

class Win32FileWalk final : public tables::FileWalk {
 public:
  Win32FileWalk(std::wstring folder, UniqueFindHandle find, const WIN32_FIND_DATAW& first,
                DeletionCalls calls)
      : folder_(std::move(folder)), find_(std::move(find)), data_(first), deleter_(calls) {}

  bool Next() override {
    for (;;) {
      if (pendingFirst_) {
        pendingFirst_ = false;
      } else if (!::FindNextFileW(find_.get(), &data_)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_NO_MORE_FILES) return false;
        ThrowWin32Error(error);
      }
      // Folders, and links or junctions to folders, carry the directory mark.
      if ((data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return true;
    }
  }

  tables::NativeStringView Name() override { return data_.cFileName; }

  void DeleteForce() override {
    OpenFolder();
    const std::wstring_view name = data_.cFileName;
    const UniqueFileHandle file = OpenForDeletionIn(folderHandle_.get(), name);
    if ((data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      // An entry without the reparse mark may still be a link where the file
      // system does not show one (links made outside Windows, as Wine shows
      // them). Deleting such an entry would delete what it points to, so it
      // is deleted only if it resolves to itself. A marked link is safe: the
      // handle is the link's own, and deleting it removes only the link.
      expected_.assign(resolvedFolder_).append(name);
      if (!SamePath(ResolvedNameOf(file.get()), expected_)) {
        ThrowWin32Error(ERROR_CANT_ACCESS_FILE);
      }
    }
    deleter_.Delete(file.get());
  }

 private:
  // Opens the folder once per walk: each file is opened relative to it, and
  // its resolved path (with a trailing backslash) is what the files' own
  // resolved names must start with.
  void OpenFolder() {
    if (folderHandle_) return;
    UniqueFileHandle handle = OpenFolderForName(ApiPath(folder_));
    std::wstring resolved = ResolvedNameOf(handle.get());
    if (!EndsWithSeparator(resolved)) resolved += L'\\';
    resolvedFolder_ = std::move(resolved);
    folderHandle_ = std::move(handle);
  }

  const std::wstring folder_;  // as given, ending in a separator
  UniqueFindHandle find_;
  WIN32_FIND_DATAW data_;
  bool pendingFirst_ = true;
  UniqueFileHandle folderHandle_;
  std::wstring resolvedFolder_;
  std::wstring expected_;
  FolderDeleter deleter_;  // decides POSIX or classic deletion once per walk
};

// An empty listing: a drive root with no entries at all.
class EmptyFileWalk final : public tables::FileWalk {
 public:
  bool Next() override { return false; }
  tables::NativeStringView Name() override { return {}; }
  void DeleteForce() override { ThrowWin32Error(ERROR_FILE_NOT_FOUND); }
};

class Win32Folder final : public tables::Folder {
 public:
  Win32Folder(const std::wstring& path, DeletionCalls calls)
      : folder_(EndsWithSeparator(path) ? path : path + L'\\'), calls_(calls) {
    // The search names no pattern but "*": the name test is ours. A pattern
    // such as "*bin" would also match 8.3 short names (x.binary is X~1.BIN).
    find_.reset(::FindFirstFileExW(ApiPath(folder_ + L'*').c_str(), FindExInfoBasic, &first_,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find_) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) ThrowWin32Error(error, path);
    }
  }

  std::unique_ptr<tables::FileWalk> Files() override {
    if (!find_) return std::make_unique<EmptyFileWalk>();
    return std::make_unique<Win32FileWalk>(folder_, std::move(find_), first_, calls_);
  }

 private:
  std::wstring folder_;
  DeletionCalls calls_;
  UniqueFindHandle find_;
  WIN32_FIND_DATAW first_{};
};

class Win32FileSystem final : public tables::FileSystem {
 public:
  explicit Win32FileSystem(DeletionCalls calls) noexcept : calls_(calls) {}

  bool FolderExists(const NativeString& path) override {
    const DWORD attributes = ::GetFileAttributesW(ApiPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = ::GetLastError();
      if (IsNotFound(error)) return false;
      ThrowWin32Error(error, path);
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  std::unique_ptr<tables::Folder> GetFolder(const NativeString& path) override {
    return std::make_unique<Win32Folder>(path, calls_);
  }

 private:
  DeletionCalls calls_;
};

}  // namespace

tables::SystemError Win32Error(DWORD code, std::wstring_view subject) {
  return tables::SystemError(code, SystemErrorText(code, subject));
}

void ThrowWin32Error(DWORD code, std::wstring_view subject) { throw Win32Error(code, subject); }

void ThrowLastError(std::wstring_view subject) { ThrowWin32Error(::GetLastError(), subject); }

std::wstring SystemErrorText(DWORD code, std::wstring_view subject) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owner(buffer, &::LocalFree);
  const std::wstring unknown = L"Error " + tables::DecimalText<wchar_t>(code) + L".";
  std::wstring_view text =
      length == 0 ? std::wstring_view(unknown) : std::wstring_view(buffer, length);
  // The text's own line break goes before the subject is put in, so that a
  // subject ending in spaces keeps them.
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  // Asked for without its inserts filled (the system would read them from
  // arguments nobody passed); they are filled here.
  return TextNaming(text, subject);
}

std::wstring ApiPath(const std::wstring& path) {
  // Short paths go as they are, so the usual rules (relative paths, either
  // separator) keep working.
  constexpr std::size_t kShortEnough = MAX_PATH - 12;  // room for an 8.3 name
  if (path.size() < kShortEnough || path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::wstring full(path.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;  // let the caller's call report it
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::unique_ptr<tables::FileSystem> CreateFileSystem() {
  return std::make_unique<Win32FileSystem>(DeletionCalls{});
}

std::unique_ptr<tables::FileSystem> CreateFileSystemWith(DeletionCalls calls) {
  return std::make_unique<Win32FileSystem>(calls);
}

}  // namespace platform
