// The running program's own place, and the start of another program.
#include <windows.h>
#include <winternl.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/command_line.h"
#include "platform/system_platform.h"
#include "platform/win32/kernel_string.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "tables/system_error.h"

namespace platform {
namespace {

bool IsSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

// CreateProcessW takes no longer working folder, long-path support or not:
// the child's current folder is kept with a trailing backslash and a null
// in MAX_PATH characters.
constexpr std::size_t kLongestWorkingFolder = MAX_PATH - 2;

// `folder` named so that CreateProcessW takes it as a working folder: as it
// is where it is short enough, else by its short (8.3) name where the volume
// keeps those. Where neither fits, it throws: given a longer one, Windows
// refuses the start, Wine 10 starts the program in the Windows folder
// instead and Wine 8 corrupts the caller's memory.
std::wstring WorkingFolderName(const std::wstring& folder) {
  if (folder.size() <= kLongestWorkingFolder) return folder;
  const std::wstring path = ApiPath(folder);  // long: with the \\?\ prefix
  std::wstring shortName;
  for (DWORD size = 0;;) {
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortName.data(), size);
    if (length == 0) ThrowLastError(folder);
    if (length < size) {
      shortName.resize(length);
      break;
    }
    shortName.resize(length);  // the size asked for, its null included
    size = length;
  }
  // The prefix would count against the limit too; a drive or a share path
  // means the same without it.
  constexpr std::wstring_view kLocal = L"\\\\?\\";
  constexpr std::wstring_view kShare = L"\\\\?\\UNC\\";
  if (shortName.rfind(kShare, 0) == 0) {
    shortName.replace(0, kShare.size(), L"\\\\");
  } else if (shortName.rfind(kLocal, 0) == 0 && shortName.size() > kLocal.size() + 1 &&
             shortName[kLocal.size() + 1] == L':') {
    shortName.erase(0, kLocal.size());
  }
  if (shortName.size() > kLongestWorkingFolder) ThrowWin32Error(ERROR_FILENAME_EXCED_RANGE, folder);
  return shortName;
}

}  // namespace

std::wstring ModuleFileName(HMODULE module, DWORD initialCapacity) {
  std::wstring buffer(initialCapacity > 0 ? initialCapacity : 1, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) ThrowLastError();
    // A path that fills the whole buffer may have been cut short.
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring RunningModuleFileName() { return ModuleFileName(nullptr); }

std::wstring RunningImageNtPath() {
  return KernelString([](void* buffer, ULONG size, ULONG* needed) {
    return ::NtQueryInformationProcess(::GetCurrentProcess(), ProcessImageFileName, buffer, size,
                                       needed);
  });
}

bool IsAbsolutePath(std::wstring_view path) noexcept {
  const bool drive =
      path.size() >= 3 &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
      path[1] == L':' && IsSeparator(path[2]);
  return drive || (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

std::wstring Win32PathOfNtPath(std::wstring_view ntPath) {
  constexpr std::wstring_view kDosDevices = L"\\??\\";
  if (ntPath.substr(0, kDosDevices.size()) == kDosDevices) {
    return L"\\\\?\\" + std::wstring(ntPath.substr(kDosDevices.size()));
  }
  if (ntPath.size() >= 2 && ntPath[0] == L'\\' && ntPath[1] != L'\\') {
    return L"\\\\?\\GLOBALROOT" + std::wstring(ntPath);
  }
  return {};
}

std::wstring ApplicationFolderWith(const ProgramPathCalls& calls) {
  const std::wstring given = calls.moduleFileName();
  std::wstring path = given;
  if (!IsAbsolutePath(path)) {
    // Resolving it against the working folder would name some other folder
    // (one that anybody who can write there may have filled). The image's
    // NT path does not depend on drives or the working folder.
    try {
      path = Win32PathOfNtPath(calls.imageNtPath());
    } catch (const tables::SystemError&) {
      path.clear();
    }
    if (!IsAbsolutePath(path)) ThrowWin32Error(ERROR_BAD_PATHNAME, given);
  }
  std::size_t separator = path.size();
  while (separator > 0 && !IsSeparator(path[separator - 1])) --separator;
  path.resize(separator > 0 ? separator - 1 : 0);
  return path;
}

tables::NativeString ApplicationFolder() { return ApplicationFolderWith({}); }

void StartProgram(const tables::NativeString& program,
                  const std::vector<tables::NativeString>& arguments,
                  const tables::NativeString& workingFolder, tables::ShowState show) {
  // The program is named twice, as the application and quoted at the head of
  // the command line: Windows then starts exactly this file, and the program
  // sees its own path as one argument, spaces and all.
  std::wstring commandLine = BuildCommandLine(program, arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  const std::wstring folder = WorkingFolderName(workingFolder);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
    ThrowLastError(program);
  }
  // Not waited for and not tracked: both handles go at once.
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle threadHandle(process.hThread);
}

}  // namespace platform
