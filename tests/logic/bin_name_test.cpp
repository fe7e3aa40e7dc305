#include "tables/bin_name.h"

#include <gtest/gtest.h>

namespace tables {
namespace {

TEST(BinNameRule, NamesEndingInBinInAnyCaseMatch) {
  for (const NativeStringView name :
       {VBC_TEXT("a.bin"), VBC_TEXT("B.BIN"), VBC_TEXT("c.Bin"), VBC_TEXT("cabin"),
        VBC_TEXT("robin"), VBC_TEXT("bin"), VBC_TEXT("BiN"), VBC_TEXT("x.bIn")}) {
    EXPECT_TRUE(IsBinFile(name)) << name.size();
  }
}

TEST(BinNameRule, TheEndOfTheNameCountsNotTheExtension) {
  for (const NativeStringView name :
       {VBC_TEXT("a.bin.bak"), VBC_TEXT("bin.txt"), VBC_TEXT("x.binary"), VBC_TEXT("a.bi"),
        VBC_TEXT("a.bin "), VBC_TEXT("a.bin."), VBC_TEXT("bi"), VBC_TEXT("n"), VBC_TEXT(""),
        VBC_TEXT("b1n"), VBC_TEXT("a.bim")}) {
    EXPECT_FALSE(IsBinFile(name)) << name.size();
  }
}

TEST(BinNameRule, FullPathsAnswerLikeTheirFileNames) {
#ifdef _WIN32
  EXPECT_TRUE(IsBinFile(L"C:\\Games\\Host\\scripts\\table\\a.BIN"));
  EXPECT_FALSE(IsBinFile(L"C:\\bin\\table\\in"));  // "\in": the separator counts
  EXPECT_FALSE(IsBinFile(L"C:\\Games\\x.bin\\readme"));
#else
  EXPECT_TRUE(IsBinFile("/games/host/scripts/table/a.BIN"));
  EXPECT_FALSE(IsBinFile("/bin/table/in"));
  EXPECT_FALSE(IsBinFile("/games/x.bin/readme"));
#endif
}

TEST(BinNameRule, OnlyPlainAsciiLettersFoldToBin) {
  // Dotless i (U+0131) upper-cases to I only under linguistic (Turkish)
  // rules; fullwidth letters upper-case to fullwidth ones.
#ifdef _WIN32
  EXPECT_FALSE(IsBinFile(L"x.b\u0131n"));
  EXPECT_FALSE(IsBinFile(L"x.\uFF42\uFF49\uFF4E"));
  EXPECT_TRUE(IsBinFile(L"\u00E9t\u00E9.bin"));
  EXPECT_TRUE(IsBinFile(L"\u0442\u0430\u0431\u043B\u0438\u0446\u0430.BIN"));
#else
  EXPECT_FALSE(IsBinFile("x.b\xC4\xB1n"));
  EXPECT_FALSE(IsBinFile("x.\xEF\xBD\x82\xEF\xBD\x89\xEF\xBD\x8E"));
  EXPECT_TRUE(IsBinFile("\xC3\xA9t\xC3\xA9.bin"));
  EXPECT_TRUE(IsBinFile("\xD1\x82\xD0\xB0\xD0\xB1.BIN"));
#endif
}

}  // namespace
}  // namespace tables
