#include "platform/message_text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(MessageText, TheFirstInsertNamesWhatFailedAndNoPlaceholderIsLeft) {
  const std::wstring path = L"C:\\Games\\Host\\req\\compile.exe";
  // Wine's and Windows' texts for error 193.
  EXPECT_EQ(FillInserts(L"Bad EXE format for %1.", path), L"Bad EXE format for " + path + L".");
  EXPECT_EQ(FillInserts(L"%1 is not a valid Win32 application.", path),
            path + L" is not a valid Win32 application.");
  // Formats, other inserts and two-digit numbers leave nothing raw behind.
  EXPECT_EQ(FillInserts(L"a %1!s! b %2 c %12!lu! d %10", L"X"), L"a X b  c  d ");
  // Without a subject the insert is left out.
  EXPECT_EQ(FillInserts(L"Bad EXE format for %1.", L""), L"Bad EXE format for .");
}

TEST(MessageText, TextWithoutAnInsertStillNamesWhatFailedOnceOnALineOfItsOwn) {
  // Insert marks, escapes, a format, letters outside ASCII and a trailing
  // space in the path itself are shown exactly as they are.
  const std::wstring path = L"Z:\\h %1 %% !s! %n \u00E9\u4E2D\\req\\compile.exe ";
  EXPECT_EQ(TextNaming(L"The system cannot find the file specified.", path),
            L"The system cannot find the file specified.\n" + path);
  // Where the text has the insert, the path stands there and only there.
  EXPECT_EQ(TextNaming(L"Bad EXE format for %1.", path), L"Bad EXE format for " + path + L".");
  EXPECT_EQ(TextNaming(L"Access is denied.", L""), L"Access is denied.");
}

TEST(MessageText, EscapesAreResolved) {
  EXPECT_EQ(FillInserts(L"100%% done%.%!%n%tnext", L"X"), L"100% done.!\r\n\tnext");
  EXPECT_EQ(FillInserts(L"stops here%0 not here", L"X"), L"stops here");
  EXPECT_EQ(FillInserts(L"trailing %", L"X"), L"trailing %");
  EXPECT_EQ(FillInserts(L"%1!unterminated", L"X"), L"X!unterminated");
}

}  // namespace
}  // namespace platform
