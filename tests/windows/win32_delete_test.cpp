// How the sweep deletes each bin: opened by its listed name relative to the
// folder, deleted by POSIX semantics where the system takes them and the
// classic way elsewhere, leaving every file that survives as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/system_platform.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "tables/bin_sweep.h"
#include "windows/test_folder.h"

namespace {

using Names = std::set<std::wstring>;
using platform::UniqueFileHandle;
using testing_win::TestFolder;
using testing_win::Verbatim;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

void Sweep(const std::wstring& folder) {
  tables::DeleteAllBins(folder, platform::CreateFileSystem);
}

DWORD AttributesOf(const std::wstring& path) {
  return ::GetFileAttributesW(Verbatim(path).c_str());
}

std::string ContentOf(HANDLE file) {
  char buffer[64];
  DWORD read = 0;
  if (!::ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return "<unreadable>";
  return std::string(buffer, read);
}

std::string ContentOf(const std::wstring& path) {
  const UniqueFileHandle file(::CreateFileW(Verbatim(path).c_str(), GENERIC_READ, kShareAll,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
  return file ? ContentOf(file.get()) : "<missing>";
}

// Windows 10 1809 and later and Wine 10 delete by POSIX semantics; Wine 8
// does not know the call, and the sweep falls back to the classic way.
bool PosixDeletionExpected() {
  return !testing_win::UnderWine() || testing_win::WineMajorVersion() >= 10;
}

TEST(Win32Delete, DeviceNamedBinsAreFilesNotDevices) {
  TestFolder t;
  for (const wchar_t* name :
       {L"CON.bin", L"aux.BIN", L"nul.bin", L"prn.bin", L"com1.bin", L"lpt1.bin", L"conin$.bin",
        L"CONOUT$.bin", L"a.bin", L"CON.txt", L"nul"}) {
    t.Write(name);
  }
  Sweep(t.Path() + L"\\");
  EXPECT_EQ(t.Tree(), (Names{L"CON.txt", L"nul"}));
}

TEST(Win32Delete, ReadOnlyHardLinkedBinGoesAndItsOtherNamesKeepTheirMark) {
  TestFolder outside;
  TestFolder t;
  const std::wstring original = outside.Write(L"kept.dat", "content");
  t.MakeFolder(L"sub");
  ASSERT_TRUE(::CreateHardLinkW((t / L"linked.bin").c_str(), original.c_str(), nullptr))
      << ::GetLastError();
  ASSERT_TRUE(::CreateHardLinkW((t / L"sub\\linked.dat").c_str(), original.c_str(), nullptr));
  ASSERT_TRUE(::SetFileAttributesW(original.c_str(), FILE_ATTRIBUTE_READONLY));
  Sweep(t.Path() + L"\\");
  EXPECT_EQ(t.Tree(), (Names{L"sub", L"sub\\linked.dat"}));
  for (const std::wstring& name : {original, t / L"sub\\linked.dat"}) {
    SCOPED_TRACE(testing_win::Utf8(name));
    EXPECT_NE(AttributesOf(name) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ContentOf(name), "content");
  }
}

TEST(Win32Delete, BinHeldOpenWithDeleteSharingLeavesTheFolderAtOnceWherePosixDeletionIs) {
  {
    // The system's own answer, so that the branches below are the right ones.
    TestFolder scratch;
    const UniqueFileHandle probe = testing_win::OpenToDelete(scratch.Write(L"probe"));
    const bool posix = platform::MarkForPosixDeletion(probe.get()) != FALSE;
    const DWORD error = ::GetLastError();
    ASSERT_EQ(posix, PosixDeletionExpected()) << "error " << error;
    EXPECT_TRUE(posix || platform::IsUnsupported(error)) << "error " << error;
  }
  TestFolder t;
  const std::wstring plain = t.Write(L"held.bin", "old");
  const std::wstring readOnly = t.Write(L"held-ro.bin", "old");
  ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    const UniqueFileHandle holder(
        ::CreateFileW(plain.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    const UniqueFileHandle readOnlyHolder(::CreateFileW(readOnly.c_str(), GENERIC_READ, kShareAll,
                                                        nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder && readOnlyHolder);
    Sweep(t.Path() + L"\\");
    if (PosixDeletionExpected()) {
      EXPECT_EQ(t.Tree(), Names{});
      // The compiler can write its new bin at once.
      const UniqueFileHandle fresh(
          ::CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
      EXPECT_TRUE(fresh) << "error " << ::GetLastError();
    } else {
      EXPECT_EQ(t.Tree(), (Names{L"held.bin", L"held-ro.bin"}));
    }
    // The holder reads on, undisturbed.
    EXPECT_EQ(ContentOf(holder.get()), "old");
  }
  EXPECT_EQ(t.Tree(), PosixDeletionExpected() ? Names{L"held.bin"} : Names{});
}

int posixCalls = 0;
int classicCalls = 0;

BOOL WINAPI PosixUnsupported(HANDLE) {
  ++posixCalls;
  ::SetLastError(ERROR_INVALID_PARAMETER);  // as Wine 8 and older Windows answer
  return FALSE;
}

BOOL WINAPI CountedClassic(HANDLE file) {
  ++classicCalls;
  return platform::MarkForDeletion(file);
}

TEST(Win32Delete, UnsupportedPosixDeletionIsAskedOnceAndEveryBinGoesTheClassicWay) {
  TestFolder outside;
  TestFolder t;
  const std::wstring original = outside.Write(L"kept.dat", "content");
  ASSERT_TRUE(::CreateHardLinkW((t / L"linked.bin").c_str(), original.c_str(), nullptr));
  ASSERT_TRUE(::SetFileAttributesW(original.c_str(), FILE_ATTRIBUTE_READONLY));
  for (const wchar_t* name : {L"a.bin", L"CON.bin", L"keep.txt"}) t.Write(name);
  ASSERT_TRUE(::SetFileAttributesW((t / L"a.bin").c_str(), FILE_ATTRIBUTE_READONLY));
  t.Write(L"z.bin");

  posixCalls = classicCalls = 0;
  tables::DeleteAllBins(t.Path() + L"\\", [] {
    return platform::CreateFileSystemWith({PosixUnsupported, CountedClassic});
  });
  EXPECT_EQ(t.Tree(), Names{L"keep.txt"});
  EXPECT_EQ(posixCalls, 1);
  EXPECT_GE(classicCalls, 4);  // each bin at least once
  EXPECT_NE(AttributesOf(original) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ContentOf(original), "content");
}

}  // namespace
