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
                  const std::vector<tables::NativeString>& arguments, tables::ShowState show) {
  // The program is named twice, as the application and quoted at the head of
  // the command line: Windows then starts exactly this file, and the program
  // sees its own path as one argument, spaces and all.
  std::wstring commandLine = BuildCommandLine(program, arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    ThrowLastError(program);
  }
  // Not waited for and not tracked: both handles go at once.
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle threadHandle(process.hThread);
}

}  // namespace platform
