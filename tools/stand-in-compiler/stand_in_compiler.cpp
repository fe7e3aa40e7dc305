// Stand-in for the host's table compiler (req\compile.exe), for tests and
// the demo. It records how it was started, then exits:
//
//   <its own path>.record-<process id>.txt, UTF-8, one "key=value" a line:
//   module (its path as the system names it), command_line, argv (one line each), cwd,
//   startup_flags, show_window, table (one line per name in ..\scripts\table\ at start).
//
// The record is written under a temporary name and renamed, so a reader
// never sees half of it. While a file "<its own path>.hold" exists it keeps
// running (for at most two minutes), standing in for a long compile.
#include <windows.h>

#include <string>

#include "platform/system_platform.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::wstring CurrentFolder() {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(size, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(size, buffer.data());
  buffer.resize(length < size ? length : 0);
  return buffer;
}

void AppendTableNames(const std::wstring& ownPath, std::string& record) {
  const std::wstring folder = ownPath.substr(0, ownPath.find_last_of(L'\\'));
  const std::wstring pattern = folder + L"\\..\\scripts\\table\\*";
  WIN32_FIND_DATAW data;
  const platform::UniqueFindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                                           FindExSearchNameMatch, nullptr, 0));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") record += "table=" + Utf8(name) + "\n";
  } while (::FindNextFileW(find.get(), &data));
}

}  // namespace

// The entry point (-municode). No header declares it, as none declares main.
int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  const std::wstring module = platform::ModuleFileName(nullptr);
  // Its own file, absolute also where the system names it relative to the
  // working folder (Wine, started through a path that no drive maps).
  const std::wstring self =
      platform::ApplicationFolder() + module.substr(module.find_last_of(L"\\/"));
  std::string record = "module=" + Utf8(module) + "\n";
  record += "command_line=" + Utf8(::GetCommandLineW()) + "\n";
  for (int i = 0; i < argc; ++i) record += "argv=" + Utf8(argv[i]) + "\n";
  record += "cwd=" + Utf8(CurrentFolder()) + "\n";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  record += "startup_flags=" + std::to_string(startup.dwFlags) + "\n";
  record += "show_window=" + std::to_string(startup.wShowWindow) + "\n";
  AppendTableNames(self, record);
  record += "end=1\n";

  const std::wstring final =
      self + L".record-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  const std::wstring temporary = final + L".tmp";
  BOOL ok = FALSE;
  {
    const platform::UniqueFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0,
                                                        nullptr, CREATE_ALWAYS,
                                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 2;
    DWORD written = 0;
    ok = ::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written,
                     nullptr);
  }  // closed before the rename
  if (!ok || !::MoveFileExW(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return 3;
  }

  const std::wstring hold = self + L".hold";
  for (int i = 0; i < 1200 && ::GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    ::Sleep(100);
  }
  return 0;
}
