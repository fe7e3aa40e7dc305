#include "ui/planted_dlls.h"

#include <windows.h>

#include <stdexcept>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "windows/test_folder.h"

namespace testing_win {
namespace {

std::wstring ReadUtf16(const std::wstring& path) {
  const platform::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                      nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) throw std::runtime_error("cannot open " + Utf8(path));
  std::wstring text(32768, L'\0');
  DWORD read = 0;
  const DWORD capacity = static_cast<DWORD>(text.size()) * DWORD{sizeof(wchar_t)};
  if (!::ReadFile(file.get(), text.data(), capacity, &read, nullptr)) {
    throw std::runtime_error("cannot read " + Utf8(path));
  }
  text.resize(read / sizeof(wchar_t));
  return text;
}

}  // namespace

std::vector<std::wstring> ProxyDllNames() {
  std::vector<std::wstring> names = {
      L"winmm",   L"dinput8",   L"dinput",   L"d3d9",    L"d3d8",     L"d3d11",    L"dxgi",
      L"ddraw",   L"opengl32",  L"dsound",   L"dwmapi",  L"uxtheme",  L"comctl32", L"cryptbase",
      L"profapi", L"msimg32",   L"userenv",  L"propsys", L"usp10",    L"dbghelp",  L"winhttp",
      L"oleacc",  L"xinput1_3", L"iphlpapi", L"bcrypt",  L"wtsapi32", L"powrprof", L"hid",
      L"secur32", L"mswsock",   L"msacm32",  L"avrt",    L"dwrite",   L"d2d1",     L"sspicli"};
  if (WineMajorVersion() != 8) names.push_back(L"version");
  return names;
}

void PlantProbes(const std::wstring& folder, const std::vector<std::wstring>& names) {
  const std::wstring probe = TestProgramFolder() + L"\\probe.dll";
  for (const std::wstring& name : names) {
    std::wstring planted = folder;
    planted.append(L"\\").append(name).append(L".dll");
    if (!::CopyFileW(probe.c_str(), planted.c_str(), FALSE)) {
      throw std::runtime_error("cannot plant " + Utf8(planted));
    }
  }
}

ScopedFolderDllsFirst::ScopedFolderDllsFirst(const std::vector<std::wstring>& programs,
                                             const std::vector<std::wstring>& dlls) {
  if (!UnderWine()) return;
  static constexpr wchar_t kNativeFirst[] = L"native,builtin";
  for (const std::wstring& program : programs) {
    keys_.push_back(L"Software\\Wine\\AppDefaults\\" + program);
    const std::wstring overrides = keys_.back() + L"\\DllOverrides";
    for (const std::wstring& dll : dlls) {
      if (::RegSetKeyValueW(HKEY_CURRENT_USER, overrides.c_str(), dll.c_str(), REG_SZ, kNativeFirst,
                            sizeof kNativeFirst) != ERROR_SUCCESS) {
        Remove();
        throw std::runtime_error("cannot set Wine's load order for " + Utf8(dll));
      }
    }
  }
}

ScopedFolderDllsFirst::~ScopedFolderDllsFirst() { Remove(); }

void ScopedFolderDllsFirst::Remove() noexcept {
  for (const std::wstring& key : keys_) ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  keys_.clear();
}

std::vector<ProbeMark> ProbeMarksIn(const std::wstring& folder) {
  std::vector<ProbeMark> marks;
  const std::wstring suffix = L".loaded";
  for (const std::wstring& name : NamesIn(folder)) {
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    std::wstring path = folder;
    const std::wstring text = ReadUtf16(path.append(L"\\").append(name));
    const std::size_t end = text.find(L'\n');
    const std::size_t programEnd = text.find(L'\n', end + 1);
    if (end == std::wstring::npos || programEnd == std::wstring::npos) {
      throw std::runtime_error("a half-written mark: " + Utf8(name));
    }
    marks.push_back({text.substr(0, end), text.substr(end + 1, programEnd - end - 1)});
  }
  return marks;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace testing_win
