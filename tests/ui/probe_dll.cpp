// A stand-in for a mod's proxy DLL. Copied under a system DLL's name into a
// program's folder, it leaves a mark beside itself in every process that
// loads it: "<its file name>.<process id>.loaded", UTF-16, holding its own
// path and the process's program path, one a line. It exports nothing.
#include <windows.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace {

std::wstring PathOf(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void LeaveMark(HMODULE self) {
  const std::wstring own = PathOf(self);
  const std::wstring text = own + L"\n" + PathOf(nullptr) + L"\n";
  const std::wstring mark = own + L"." + std::to_wstring(::GetCurrentProcessId()) + L".loaded";
  const platform::UniqueFileHandle file(::CreateFileW(
      mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(text.size()) * DWORD{sizeof(wchar_t)};
  ::WriteFile(file.get(), text.data(), bytes, &written, nullptr);
}

}  // namespace

// The entry that the C runtime's DLL start-up calls; no header declares it.
extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved);

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(self);
  return TRUE;
}
