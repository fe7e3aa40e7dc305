// Starts a program, reports its window once it is up and drawn, and closes
// that window when told; the screenshot step uses it to show the tool on a
// Wine virtual desktop, where Wine draws the frame and caption itself.
//
//   open_then_close PROGRAM TITLE READY_FILE CLOSE_FILE
//
// READY_FILE receives "left top width height" of the window (screen
// pixels). Once CLOSE_FILE exists, the window gets WM_CLOSE and the program
// is waited for. Exit code 0 when the program ended after the close.
#include <windows.h>

#include <string>

#include "platform/win32/unique_handle.h"
#include "window_search.h"

namespace {

constexpr DWORD kPatienceMs = 30000;

bool WriteFileText(const wchar_t* path, const std::string& text) {
  const platform::UniqueFileHandle file(::CreateFileW(
      path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace

// The entry point (-municode). No header declares it, as none declares main.
int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 2;
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
    return 3;
  }
  const platform::UniqueKernelHandle process(started.hProcess);
  const platform::UniqueKernelHandle thread(started.hThread);

  HWND found = nullptr;
  for (DWORD waited = 0; found == nullptr && waited < kPatienceMs; waited += 50) {
    found = window_search::FindShownWindow(started.dwProcessId, argv[2]);
    if (found == nullptr) ::Sleep(50);
  }
  if (found == nullptr) return 4;
  // Once the window's thread answers, its first painting is done.
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &answer);
  RECT rect{};
  ::GetWindowRect(found, &rect);
  if (!WriteFileText(argv[3], std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                                  std::to_string(rect.right - rect.left) + " " +
                                  std::to_string(rect.bottom - rect.top) + "\n")) {
    return 5;
  }

  for (int i = 0; i < 1200 && ::GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES; ++i) {
    ::Sleep(100);
  }
  ::PostMessageW(found, WM_CLOSE, 0, 0);
  return ::WaitForSingleObject(process.get(), kPatienceMs) == WAIT_OBJECT_0 ? 0 : 6;
}
