#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_services.h"
#include "tables/bin_name.h"

namespace {

// What the system's plain upper-casing makes of a name ending.
bool SystemSaysBin(const std::wstring& tail, const wchar_t* locale) {
  wchar_t upper[8] = {};
  const int length = ::LCMapStringEx(locale, LCMAP_UPPERCASE, tail.c_str(),
                                     static_cast<int>(tail.size()), upper, 8, nullptr, nullptr, 0);
  return length == 3 && std::wstring(upper, 3) == L"BIN";
}

TEST(Win32NameRule, AgreesWithTheSystemsPlainUpperCasingForEveryCharacter) {
  for (const wchar_t* locale : {LOCALE_NAME_INVARIANT, L"tr-TR", L"en-US"}) {
    SCOPED_TRACE(testing::Message() << "locale " << (locale[0] ? "named" : "invariant"));
    for (unsigned code = 1; code <= 0xFFFF; ++code) {
      if (code >= 0xD800 && code <= 0xDFFF) continue;  // halves of pairs
      const wchar_t c = static_cast<wchar_t>(code);
      for (const std::wstring& tail : {std::wstring{c, L'i', L'n'}, std::wstring{L'b', c, L'n'},
                                       std::wstring{L'b', L'i', c}}) {
        ASSERT_EQ(tables::IsBinFile(L"x" + tail), SystemSaysBin(tail, locale))
            << "U+" << std::hex << code;
      }
    }
  }
}

TEST(Win32Services, ModuleFileNameGrowsItsBufferUntilThePathFits) {
  const std::wstring full = platform::ModuleFileName(nullptr, 32768);
  ASSERT_GT(full.size(), 8u);
  EXPECT_EQ(platform::ModuleFileName(nullptr, 4), full);
  EXPECT_EQ(platform::ModuleFileName(nullptr, static_cast<DWORD>(full.size())), full);
}

TEST(Win32Services, ErrorsCarryTheSystemsOwnText) {
  const tables::SystemError error = platform::Win32Error(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(error.Number(), 2u);
  ASSERT_FALSE(error.Description().empty());
  EXPECT_NE(error.Description().back(), L'\n');
  EXPECT_NE(error.Description(), platform::SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(Win32Services, LongPathsGetTheExtendedPrefixShortOnesStayAsGiven) {
  EXPECT_EQ(platform::ApiPath(L"C:\\short\\path"), L"C:\\short\\path");
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'a') + L"\\..\\b";
  EXPECT_EQ(platform::ApiPath(longPath), L"\\\\?\\C:\\b");
  EXPECT_EQ(platform::ApiPath(L"\\\\server\\share\\" + std::wstring(300, L'c')),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'c'));
}

}  // namespace
