// The common controls, loaded by the program itself once the DLL search is
// safe: the exe imports only DLLs that Windows maps from its KnownDLLs, so
// nothing is searched for before this runs.
#include "ui/safe_loading.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "platform/win32/win32_services.h"

namespace ui {
namespace {

using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// System DLLs outside the KnownDLLs that the common controls, the visual
// style engine and user32 load by name once there is a window, some through
// delay loads that search the application folder whatever the process's
// default (Wine's do: msimg32 came from there after SetDefaultDllDirectories).
// Loaded from System32 first, they are found loaded instead. Each comes
// after those it loads itself.
constexpr const wchar_t* kLoadedByNameLater[] = {L"dwmapi.dll", L"msimg32.dll", L"uxtheme.dll"};

// The System32 folder; empty where the system does not tell it.
std::wstring SystemFolder() {
  std::wstring folder(MAX_PATH, L'\0');
  for (;;) {
    const UINT length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (length == 0) return {};
    if (length < folder.size()) {
      folder.resize(length);
      return folder;
    }
    folder.resize(length);  // too small: the length asked for, with the terminator
  }
}

// A DLL from System32: with the search flag where the system has it, else
// by full path, its own imports then searched for in its folder first.
platform::UniqueModule LoadFromSystemFolder(const wchar_t* name, bool searchFlags) {
  if (searchFlags) {
    return platform::UniqueModule(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  }
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return {};
  return platform::UniqueModule(
      ::LoadLibraryExW((folder + L'\\' + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace

SetDefaultDllDirectoriesFunction SystemSetDefaultDllDirectories() {
  return platform::SystemFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll",
                                                                    "SetDefaultDllDirectories");
}

LoadedModules LoadCommonControlsSafely(SetDefaultDllDirectoriesFunction setDefaultDllDirectories) {
  const bool searchFlags =
      setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!searchFlags) {
    // Takes the working folder out of the search; the application folder
    // stays. A failure leaves the search as it was, which changes nothing
    // below.
    static_cast<void>(::SetDllDirectoryW(L""));
  }
  LoadedModules modules;
  for (const wchar_t* name : kLoadedByNameLater) {
    platform::UniqueModule module = LoadFromSystemFolder(name, searchFlags);
    if (module) modules.push_back(std::move(module));
  }
  // By name: the manifest's side-by-side redirection comes before any
  // search and gives version 6. Without the search flag the DLLs that it
  // loads itself are the ones loaded above.
  platform::UniqueModule controls(
      ::LoadLibraryExW(L"comctl32.dll", nullptr, searchFlags ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0));
  const auto initCommonControlsEx = platform::ModuleFunction<InitCommonControlsExFunction>(
      controls.get(), "InitCommonControlsEx");
  if (initCommonControlsEx != nullptr) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_STANDARD_CLASSES;
    // Refused, the buttons keep the classic look and work the same.
    static_cast<void>(initCommonControlsEx(&classes));
  }
  if (controls) modules.push_back(std::move(controls));
  return modules;
}

}  // namespace ui
