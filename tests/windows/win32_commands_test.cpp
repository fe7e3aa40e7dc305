// The commands on a temporary host installation with the stand-in compiler:
// what the compiler is started with, and when.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system_platform.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "tables/system_error.h"
#include "tables/table_commands.h"
#include "windows/test_folder.h"

namespace {

using testing_win::Record;
using testing_win::TestFolder;
using testing_win::Utf8;

class HostPlatform final : public platform::SystemPlatform {
 public:
  explicit HostPlatform(std::wstring host) : host_(std::move(host)) {}
  std::wstring ApplicationFolder() override { return host_; }

 private:
  std::wstring host_;
};

struct Host {
  explicit Host(const std::wstring& name = L"host") : folder(name) {
    folder.Write(L"scripts\\table\\a.bin");
    folder.Write(L"scripts\\table\\B.BIN");
    folder.Write(L"scripts\\table\\keep.txt");
  }
  std::wstring Compiler() const { return folder / L"req\\compile.exe"; }
  TestFolder folder;
};

std::wstring CurrentFolder() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH * 4, buffer);
  return std::wstring(buffer, length);
}

TEST(Win32Commands, CompileBinsStartsExactlyTheCompilerAfterTheSweep) {
  Host host;
  testing_win::InstallStandInCompiler(host.Compiler());
  HostPlatform platform(host.folder.Path());
  tables::CompileBins(platform);

  const std::vector<Record> records = testing_win::WaitForRecords(host.Compiler(), 1);
  ASSERT_EQ(records.size(), 1u);
  const Record& r = records[0];
  const std::string compiler = Utf8(host.Compiler());
  EXPECT_EQ(r.at("argv"), (std::vector<std::string>{compiler, "table_bin", "startgame"}));
  EXPECT_EQ(r.at("command_line")[0], "\"" + compiler + "\" table_bin startgame");
  EXPECT_EQ(r.at("show_window")[0], "2");
  EXPECT_NE(std::stoul(r.at("startup_flags")[0]) & STARTF_USESHOWWINDOW, 0u);
  // It works in the application folder, not in the test's working folder.
  ASSERT_NE(CurrentFolder(), host.folder.Path());
  EXPECT_EQ(r.at("cwd")[0], Utf8(host.folder.Path()));
  // The sweep had finished when the compiler started.
  EXPECT_EQ(r.at("table"), std::vector<std::string>{"keep.txt"});
}

TEST(Win32Commands, DeleteBinsSweepsAndStartsNothing) {
  Host host;
  testing_win::InstallStandInCompiler(host.Compiler());
  HostPlatform platform(host.folder.Path());
  tables::DeleteBins(platform);
  EXPECT_EQ(testing_win::TreeOf(host.folder / L"scripts\\table"),
            std::set<std::wstring>{L"keep.txt"});
  ::Sleep(300);  // a wrongly started compiler would have written by now
  EXPECT_TRUE(testing_win::ReadRecords(host.Compiler()).empty());
}

TEST(Win32Commands, CompileBinsTwiceStartsTwoCompilers) {
  Host host;
  testing_win::InstallStandInCompiler(host.Compiler());
  HostPlatform platform(host.folder.Path());
  tables::CompileBins(platform);
  host.folder.Write(L"scripts\\table\\new.bin");
  tables::CompileBins(platform);
  const std::vector<Record> records = testing_win::WaitForRecords(host.Compiler(), 2);
  ASSERT_EQ(records.size(), 2u);
  for (const Record& r : records) EXPECT_EQ(r.at("table"), std::vector<std::string>{"keep.txt"});
}

TEST(Win32Commands, CompilerStartsEvenWithoutATableFolder) {
  TestFolder host;
  testing_win::InstallStandInCompiler(host / L"req\\compile.exe");
  HostPlatform platform(host.Path());
  tables::CompileBins(platform);
  EXPECT_EQ(testing_win::WaitForRecords(host / L"req\\compile.exe", 1).size(), 1u);
}

TEST(Win32Commands, TableFolderLinkedToItselfIsNoFolderAndTheCompilerStillStarts) {
  TestFolder host;
  host.MakeFolder(L"scripts");
  testing_win::MakeLink(host / L"scripts\\table", host / L"scripts\\table", true);
  testing_win::InstallStandInCompiler(host / L"req\\compile.exe");
  HostPlatform platform(host.Path());
  EXPECT_NO_THROW(tables::DeleteBins(platform));
  EXPECT_NO_THROW(tables::CompileBins(platform));
  EXPECT_EQ(testing_win::WaitForRecords(host / L"req\\compile.exe", 1).size(), 1u);
}

TEST(Win32Commands, MissingCompilerIsAnErrorAfterTheSweepRan) {
  Host host;
  HostPlatform platform(host.folder.Path());
  try {
    tables::CompileBins(platform);
    FAIL() << "reported success";
  } catch (const tables::SystemError& error) {
    EXPECT_TRUE(error.Number() == ERROR_FILE_NOT_FOUND || error.Number() == ERROR_PATH_NOT_FOUND)
        << error.Number();
    EXPECT_FALSE(error.Description().empty());
  }
  EXPECT_EQ(testing_win::TreeOf(host.folder / L"scripts\\table"),
            std::set<std::wstring>{L"keep.txt"});
}

TEST(Win32Commands, CompilerThatIsNoProgramIsReportedByItsPathWithNoRawPlaceholder) {
  // Zero bytes, and a text file: the system's text for either failure has
  // an insert ("Bad EXE format for %1.") that must name the compiler.
  for (const std::string& content : {std::string(), std::string("not a program\r\n")}) {
    SCOPED_TRACE(content.empty() ? "empty file" : "text file");
    Host host;
    host.folder.Write(L"req\\compile.exe", content);
    HostPlatform platform(host.folder.Path());
    try {
      tables::CompileBins(platform);
      ADD_FAILURE() << "reported success";
    } catch (const tables::SystemError& error) {
      const std::wstring& text = error.Description();
      SCOPED_TRACE(Utf8(text));
      EXPECT_EQ(error.Number(), DWORD{ERROR_BAD_EXE_FORMAT});
      EXPECT_EQ(text.find(L'%'), std::wstring::npos) << "a raw placeholder";
      EXPECT_NE(text.find(host.Compiler()), std::wstring::npos) << "the path is not named";
      EXPECT_EQ(text.find(host.Compiler()), text.rfind(host.Compiler())) << "named twice";
    }
  }
}

TEST(Win32Commands, FolderWithSpacesNeverRunsAProgramPlantedInItsParent) {
  // "...\my host\req\compile.exe" unquoted would first try "...\my.exe".
  Host host(L"my host");
  testing_win::InstallStandInCompiler(host.Compiler());
  const std::wstring parent = host.folder.Path().substr(0, host.folder.Path().find_last_of(L'\\'));
  const std::wstring trap = parent + L"\\my.exe";
  testing_win::InstallStandInCompiler(trap);
  HostPlatform platform(host.folder.Path());
  tables::CompileBins(platform);

  const std::vector<Record> records = testing_win::WaitForRecords(host.Compiler(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("argv"),
            (std::vector<std::string>{Utf8(host.Compiler()), "table_bin", "startgame"}));
  EXPECT_TRUE(testing_win::ReadRecords(trap).empty()) << "the planted program ran";
}

TEST(Win32Commands, NonAsciiApplicationFolder) {
  Host host(L"\u00C9diteur \u0421\u0431\u043E\u0440\u043A\u0430 \u6E38\u620F");
  testing_win::InstallStandInCompiler(host.Compiler());
  HostPlatform platform(host.folder.Path());
  tables::CompileBins(platform);
  const std::vector<Record> records = testing_win::WaitForRecords(host.Compiler(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("argv")[0], Utf8(host.Compiler()));
  EXPECT_EQ(records[0].at("table"), std::vector<std::string>{"keep.txt"});
}

TEST(Win32Commands, ApplicationFolderIsTheFolderOfTheRunningProgram) {
  platform::SystemPlatform system;
  EXPECT_EQ(system.ApplicationFolder(), testing_win::TestProgramFolder());
  EXPECT_TRUE(testing_win::Exists(system.ApplicationFolder() + L"\\stand_in_compiler.exe"));
}

// What Wine's GetModuleFileNameW says for a program started as
// \\?\unix\tmp\host\VarnholtBinCompiler.exe, where no drive maps the folder.
std::wstring ModulePathWithoutADrive() { return L"unix\\tmp\\host\\VarnholtBinCompiler.exe"; }
std::wstring NoImagePath() { throw platform::Win32Error(ERROR_INVALID_FUNCTION); }

// True when both paths name one existing file or folder.
bool SameFile(const std::wstring& a, const std::wstring& b) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::wstring* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const platform::UniqueFileHandle handle(
        ::CreateFileW(platform::ApiPath(*paths[i]).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle || !::GetFileInformationByHandle(handle.get(), &info[i])) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

TEST(Win32Commands, RelativeModulePathNeverPutsTheApplicationFolderUnderTheWorkingFolder) {
  // The running image's own path stands in for the relative one.
  const std::wstring folder = platform::ApplicationFolderWith({ModulePathWithoutADrive});
  EXPECT_TRUE(platform::IsAbsolutePath(folder)) << Utf8(folder);
  EXPECT_TRUE(SameFile(folder, testing_win::TestProgramFolder())) << Utf8(folder);

  // Where nothing better can be had, the command fails, naming the path it got.
  class RelativeOnly final : public platform::SystemPlatform {
   public:
    std::wstring ApplicationFolder() override {
      return platform::ApplicationFolderWith({ModulePathWithoutADrive, NoImagePath});
    }
  } relativeOnly;
  try {
    tables::CompileBins(relativeOnly);
    FAIL() << "reported success";
  } catch (const tables::SystemError& error) {
    EXPECT_NE(error.Description().find(L"\n" + ModulePathWithoutADrive()), std::wstring::npos)
        << Utf8(error.Description());
  }

  // A folder in the form the NT path gives (\\?\...) serves both commands.
  Host host;
  testing_win::InstallStandInCompiler(host.Compiler());
  HostPlatform verbatim(testing_win::Verbatim(host.folder.Path()));
  tables::CompileBins(verbatim);
  const std::vector<Record> records = testing_win::WaitForRecords(host.Compiler(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("table"), std::vector<std::string>{"keep.txt"});
}

// The length of `folder` written with the short (8.3) name of each of its
// folders below `base`, as the volume lists them; none where a folder below
// `base` has no short name (a volume with their making switched off).
std::optional<std::size_t> LengthByShortNames(const std::wstring& base, std::wstring folder) {
  wchar_t shortBase[MAX_PATH];
  std::size_t length = ::GetShortPathNameW(base.c_str(), shortBase, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no short name for the base");
  for (; folder.size() > base.size(); folder.erase(folder.find_last_of(L'\\'))) {
    WIN32_FIND_DATAW found{};
    const platform::UniqueFindHandle search(
        ::FindFirstFileW(testing_win::Verbatim(folder).c_str(), &found));
    if (!search) throw std::runtime_error("cannot list " + Utf8(folder));
    if (found.cAlternateFileName[0] == L'\0') return std::nullopt;
    length += 1 + std::wcslen(found.cAlternateFileName);
  }
  return length;
}

TEST(Win32Commands, WorkingFolderTooLongForTheSystemGoesByItsShortNameOrIsRefused) {
  // CreateProcessW takes no working folder of MAX_PATH - 1 characters or
  // more, long-path support or not. Such a folder goes by its short name
  // where that fits; where it does not, or where the volume gives its
  // folders no short names (GitHub's Windows runners make none unless
  // switched on), the start is refused with error 206 before anything runs.
  // Two folders: one whose short name fits wherever short names are made,
  // and one so deep that even its short name is too long.
  for (const std::size_t longLength : {std::size_t{MAX_PATH}, std::size_t{3 * MAX_PATH}}) {
    TestFolder host;
    std::wstring folder = host.Path();
    while (folder.size() < longLength) folder += L"\\a long folder name";
    testing_win::MakeFolders(folder);
    const std::optional<std::size_t> shortLength = LengthByShortNames(host.Path(), folder);
    const bool fits = shortLength && *shortLength <= MAX_PATH - 2;
    SCOPED_TRACE(std::to_string(folder.size()) + " characters, by short names " +
                 (shortLength ? std::to_string(*shortLength) : "none on this volume") +
                 (fits ? ": starts there" : ": is refused"));
    const std::wstring compiler = host / L"compile.exe";
    testing_win::InstallStandInCompiler(compiler);
    if (fits) {
      platform::StartProgram(compiler, {}, folder, tables::ShowState::kMinimized);
      const std::vector<Record> records = testing_win::WaitForRecords(compiler, 1);
      ASSERT_EQ(records.size(), 1u);
      const std::string cwd = records[0].at("cwd")[0];  // ASCII here
      EXPECT_EQ(cwd.size(), *shortLength) << cwd;
      EXPECT_TRUE(SameFile(std::wstring(cwd.begin(), cwd.end()), folder)) << cwd;
    } else {
      try {
        platform::StartProgram(compiler, {}, folder, tables::ShowState::kMinimized);
        ADD_FAILURE() << "started";
      } catch (const tables::SystemError& error) {
        EXPECT_EQ(error.Number(), DWORD{ERROR_FILENAME_EXCED_RANGE});
        EXPECT_NE(error.Description().find(folder), std::wstring::npos)
            << "the folder is not named";
      }
      EXPECT_TRUE(testing_win::ReadRecords(compiler).empty()) << "the compiler ran";
    }
  }
}

}  // namespace
