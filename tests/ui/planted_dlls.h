// Mods' proxy DLLs planted in a program's folder, for the tests that show
// that none of them runs inside the tool. The probe (probe_dll.cpp) lies
// beside the test program and is copied under each name.
#pragma once

#include <string>
#include <vector>

namespace testing_win {

// Names of system DLLs that are no KnownDLLs (on current Windows at least),
// which Windows therefore takes from a program's own folder first: the names
// that script extenders and plug-in loaders give their proxies. Wine 8's
// own user32 needs version.dll (Windows' does not), so a stand-in for it
// would stop every program there: it is left out under Wine 8.
std::vector<std::wstring> ProxyDllNames();

// Copies the probe into `folder` under each name (".dll" added).
void PlantProbes(const std::wstring& folder, const std::vector<std::wstring>& names);

// Makes the system look for these DLLs in the folder of the programs named
// (file names, such as L"VarnholtBinCompiler.exe") first, as Windows does
// for names that are no KnownDLLs, while it lives. Wine by default prefers
// its own builtin DLLs; its per-program overrides (the registry's
// AppDefaults, since it drops WINEDLLOVERRIDES from the environment a
// program hands to a child) make it take the probes. On Windows it changes
// nothing: its own order is the one that counts.
class ScopedFolderDllsFirst {
 public:
  ScopedFolderDllsFirst(const std::vector<std::wstring>& programs,
                        const std::vector<std::wstring>& dlls);
  ~ScopedFolderDllsFirst();
  ScopedFolderDllsFirst(const ScopedFolderDllsFirst&) = delete;
  ScopedFolderDllsFirst& operator=(const ScopedFolderDllsFirst&) = delete;

 private:
  void Remove() noexcept;
  std::vector<std::wstring> keys_;
};

// A probe that ran: its path and the program it ran inside.
struct ProbeMark {
  std::wstring dll;
  std::wstring program;
};
std::vector<ProbeMark> ProbeMarksIn(const std::wstring& folder);

bool SamePath(const std::wstring& a, const std::wstring& b);

}  // namespace testing_win
