// Temporary folders and stand-in compiler records for the Windows tests.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace testing_win {

// A fresh folder under the temporary folder, removed with all it holds.
class TestFolder {
 public:
  // `leaf` names the folder; spaces and any other characters are welcome.
  explicit TestFolder(const std::wstring& leaf = L"t");
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  ~TestFolder();

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

  // Writes a file (making its folders), returns its full path. The name is
  // taken as it is, device names included.
  std::wstring Write(const std::wstring& relative, const std::string& content = "x") const;
  std::wstring MakeFolder(const std::wstring& relative) const;
  // Every name below the folder, relative, with backslashes.
  std::set<std::wstring> Tree() const;

 private:
  std::wstring path_;
};

bool Exists(const std::wstring& path);
void MakeFolders(const std::wstring& path);
void RemoveTree(const std::wstring& path);
std::set<std::wstring> TreeOf(const std::wstring& folder);
// The names lying directly in a folder, as listed. Unlike TreeOf's, a name
// holding a backslash (a Linux name under Wine) cannot pass for a path.
std::set<std::wstring> NamesIn(const std::wstring& folder);

// The folder of the running test program (where the stand-in compiler is).
std::wstring TestProgramFolder();
// Copies the stand-in compiler to `destination`.
void InstallStandInCompiler(const std::wstring& destination);

// One record of the stand-in compiler: its keys, each with its values.
using Record = std::map<std::string, std::vector<std::string>>;
// Waits (bounded) until `count` records lie beside `compiler`, and reads them.
std::vector<Record> WaitForRecords(const std::wstring& compiler, std::size_t count);
// The records beside `compiler` now, without waiting.
std::vector<Record> ReadRecords(const std::wstring& compiler);

std::string Utf8(const std::wstring& text);

// Wine's major version (8, 10, ...); 0 on Windows.
int WineMajorVersion();
inline bool UnderWine() { return WineMajorVersion() != 0; }

// An absolute path in the \\?\ form, which the path rules leave as it is
// (CON.bin there is a file, not the console).
std::wstring Verbatim(const std::wstring& path);

// The Linux path of a path, under Wine.
std::string UnixPath(const std::wstring& path);

// Makes a symbolic link. Under Wine a Linux link is made (Wine shows it as a
// plain file, which is what makes it dangerous); on Windows a real one. The
// link may lead to itself; under Wine its target must exist otherwise.
void MakeLink(const std::wstring& link, const std::wstring& target, bool folder);

// Makes `count` empty files named "0" to "<count - 1>", each followed by
// `suffix` (plain ASCII, no quote), in `folder`, quickly.
void MakeNumberedFiles(const std::wstring& folder, int count, const std::string& suffix);

// Makes an empty file through Linux, named as Linux allows: `name` is one
// name in `folder`, taken byte for byte (a backslash in it is no separator
// there). Wine only.
void MakeLinuxFile(const std::wstring& folder, const std::string& name);

// Opens a file (not a link's target) for the deletion calls that take an
// open file, sharing everything; throws when it cannot.
platform::UniqueFileHandle OpenToDelete(const std::wstring& path);

// Long enough that only a hung machine reaches it; no test relies on speed.
inline constexpr DWORD kPatienceMs = 30000;

// Polls until `condition` holds; false if it never did within the time.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kPatienceMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() >= end) return false;
    ::Sleep(20);
  }
}

}  // namespace testing_win
