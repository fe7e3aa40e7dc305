// The sweep on real folders through the Windows services, under the file
// system's own rules for sharing, read-only files and long paths.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/system_platform.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "tables/bin_sweep.h"
#include "tables/system_error.h"
#include "windows/test_folder.h"

namespace {

using Names = std::set<std::wstring>;
using testing_win::TestFolder;

void Sweep(const std::wstring& folder) {
  tables::DeleteAllBins(folder, platform::CreateFileSystem);
}

DWORD AttributesOf(const std::wstring& path) {
  return ::GetFileAttributesW(platform::ApiPath(path).c_str());
}

TEST(Win32Sweep, MixedFolderLosesExactlyItsBinFiles) {
  TestFolder t;
  for (const wchar_t* name : {L"a.bin", L"B.BIN", L"c.Bin", L"cabin", L"d.txt", L"e.bin.bak",
                              L"bin", L"robin", L"x.binary", L"sub\\f.bin"}) {
    t.Write(name);
  }
  t.MakeFolder(L"dir.bin");
  Sweep(t.Path() + L"\\");
  EXPECT_EQ(t.Tree(),
            (Names{L"d.txt", L"e.bin.bak", L"x.binary", L"sub", L"sub\\f.bin", L"dir.bin"}));
}

TEST(Win32Sweep, WorksWithoutTrailingSeparator) {
  TestFolder t;
  t.Write(L"a.bin");
  t.Write(L"keep");
  Sweep(t.Path());
  EXPECT_EQ(t.Tree(), Names{L"keep"});
}

TEST(Win32Sweep, ReadOnlyBinFileIsDeleted) {
  TestFolder t;
  const std::wstring file = t.Write(L"g.bin");
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  Sweep(t.Path() + L"\\");
  EXPECT_TRUE(t.Tree().empty());
}

TEST(Win32Sweep, FileHeldOpenWithoutShareDeleteStaysAndTheRestGo) {
  TestFolder t;
  const std::wstring held = t.Write(L"h.bin");
  t.Write(L"a.bin");
  t.Write(L"z.bin");
  const std::wstring heldReadOnly = t.Write(L"r.bin");
  ASSERT_TRUE(::SetFileAttributesW(heldReadOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    platform::UniqueFileHandle lock1(::CreateFileW(held.c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_EXISTING, 0, nullptr));
    platform::UniqueFileHandle lock2(
        ::CreateFileW(heldReadOnly.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock1 && lock2);
    EXPECT_NO_THROW(Sweep(t.Path() + L"\\"));
    EXPECT_EQ(t.Tree(), (Names{L"h.bin", L"r.bin"}));
  }
  // The locked read-only file is left exactly as it was.
  EXPECT_NE(AttributesOf(heldReadOnly) & FILE_ATTRIBUTE_READONLY, 0u);
}

BOOL WINAPI AlwaysAccessDenied(HANDLE) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(Win32ForceDelete, ReadOnlyFileThatStillCannotBeDeletedKeepsItsMark) {
  TestFolder t;
  const std::wstring file = t.Write(L"stuck.bin");
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  try {
    platform::ForceDelete(testing_win::OpenToDelete(file).get(), AlwaysAccessDenied);
    FAIL() << "reported success";
  } catch (const tables::SystemError& error) {
    EXPECT_EQ(error.Number(), DWORD{ERROR_ACCESS_DENIED});
  }
  EXPECT_EQ(AttributesOf(file), DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
}

TEST(Win32ForceDelete, WritableFileRefusedIsNotTouched) {
  TestFolder t;
  const std::wstring file = t.Write(L"plain.bin");
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_THROW(platform::ForceDelete(testing_win::OpenToDelete(file).get(), AlwaysAccessDenied),
               tables::SystemError);
  EXPECT_EQ(AttributesOf(file), DWORD{FILE_ATTRIBUTE_ARCHIVE});
}

using testing_win::MakeLink;

TEST(Win32Sweep, LinksAreNeverFollowed) {
  TestFolder outside;
  const std::wstring target = outside.Write(L"target.bin", "keep me");
  outside.Write(L"folder\\inner.bin");
  TestFolder t;
  MakeLink(t / L"link.bin", target, false);
  MakeLink(t / L"dirlink.bin", outside / L"folder", true);
  t.Write(L"a.bin");
  Sweep(t.Path() + L"\\");

  EXPECT_EQ(outside.Tree(), (Names{L"target.bin", L"folder", L"folder\\inner.bin"}));
  // A link to a folder is a folder. A link to a file goes where the system
  // can remove the link itself; where it cannot tell a link from its target
  // (Wine), the link stays rather than the target going.
  const Names expected =
      testing_win::UnderWine() ? Names{L"link.bin", L"dirlink.bin"} : Names{L"dirlink.bin"};
  std::set<std::wstring> top;
  for (const std::wstring& name : t.Tree()) {
    if (name.find(L'\\') == std::wstring::npos) top.insert(name);
  }
  EXPECT_EQ(top, expected);
}

TEST(Win32Sweep, ListedNameWithABackslashNeverDeletesTheFileItSpellsInASubfolder) {
  if (!testing_win::UnderWine()) GTEST_SKIP() << "no Windows name holds a backslash";
  // Linux names, listed by Wine as they are. Each spells a path to a file
  // that must stay: in a subfolder, deeper down, and beside the folder.
  TestFolder host;
  host.Write(L"out.bin");
  const std::wstring table = host.MakeFolder(L"table");
  host.Write(L"table\\a\\b.bin");
  host.Write(L"table\\deep\\er\\c.bin");
  for (const char* name : {"a\\b.bin", "deep\\er\\c.bin", "..\\out.bin", "x.bin"}) {
    testing_win::MakeLinuxFile(table, name);
  }
  Sweep(table + L"\\");
  // Only x.bin went: the listed names with a separator are no file of the
  // folder and stay as they are, and so does every file they spell.
  EXPECT_EQ(testing_win::NamesIn(table),
            (Names{L"a", L"deep", L"a\\b.bin", L"deep\\er\\c.bin", L"..\\out.bin"}));
  EXPECT_EQ(testing_win::NamesIn(table + L"\\a"), Names{L"b.bin"});
  EXPECT_EQ(testing_win::NamesIn(table + L"\\deep\\er"), Names{L"c.bin"});
  EXPECT_EQ(testing_win::NamesIn(host.Path()), (Names{L"out.bin", L"table"}));
}

TEST(Win32Sweep, TableFolderReachedThroughALinkIsSwept) {
  TestFolder real;
  real.Write(L"a.bin");
  real.Write(L"keep.txt");
  TestFolder host;
  MakeLink(host / L"table", real.Path(), true);
  Sweep(host / L"table\\");
  EXPECT_EQ(real.Tree(), Names{L"keep.txt"});
}

TEST(Win32Sweep, MissingEmptyAndRepeatedRunsChangeNothingElse) {
  TestFolder t;
  EXPECT_NO_THROW(Sweep(t / L"missing\\"));
  EXPECT_NO_THROW(Sweep(t.Path() + L"\\"));
  t.Write(L"a.bin");
  t.Write(L"keep");
  Sweep(t.Path() + L"\\");
  Sweep(t.Path() + L"\\");
  EXPECT_EQ(t.Tree(), Names{L"keep"});
  EXPECT_NO_THROW(Sweep(t / L"keep"));  // a file is not a folder
  EXPECT_EQ(t.Tree(), Names{L"keep"});
}

TEST(Win32Sweep, NonAsciiNamesAndFolders) {
  TestFolder t(L"\u0422\u0430\u0431\u043B\u0438\u0446\u044B \u00E9\u00E8 \u4E2D\u6587");
  t.Write(L"\u00FCber.bin");
  t.Write(L"\u65E5\u672C.BIN");
  t.Write(L"x.b\u0131n");  // dotless i: not a bin file
  t.Write(L"\u00E9t\u00E9.txt");
  Sweep(t.Path() + L"\\");
  EXPECT_EQ(t.Tree(), (Names{L"x.b\u0131n", L"\u00E9t\u00E9.txt"}));
}

TEST(Win32Sweep, TablePathLongerThan260Characters) {
  TestFolder t;
  std::wstring deep;
  for (int i = 0; i < 6; ++i)
    deep += L"a-rather-long-folder-name-to-pass-the-old-limit-" + std::to_wstring(i) + L"\\";
  deep += L"scripts\\table";
  const std::wstring table = t.MakeFolder(deep);
  ASSERT_GT(table.size(), 300u);
  t.Write(deep + L"\\a.bin");
  t.Write(deep + L"\\keep.txt");
  Sweep(table + L"\\");
  EXPECT_EQ(testing_win::TreeOf(table), Names{L"keep.txt"});
}

}  // namespace
