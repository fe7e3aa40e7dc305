#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(CommandLine, ProgramIsAlwaysQuotedAndPlainArgumentsAreNot) {
  EXPECT_EQ(
      BuildCommandLine(L"C:\\Program Files\\Host\\req\\compile.exe", {L"table_bin", L"startgame"}),
      L"\"C:\\Program Files\\Host\\req\\compile.exe\" table_bin startgame");
  EXPECT_EQ(BuildCommandLine(L"C:\\H\\req\\compile.exe", {}), L"\"C:\\H\\req\\compile.exe\"");
}

TEST(CommandLine, QuotingSurvivesBackslashesAndQuotes) {
  EXPECT_EQ(QuoteArgument(L""), L"\"\"");
  EXPECT_EQ(QuoteArgument(L"a b"), L"\"a b\"");
  EXPECT_EQ(QuoteArgument(L"C:\\dir\\"), L"C:\\dir\\");  // nothing to quote
  EXPECT_EQ(QuoteArgument(L"C:\\my dir\\"), L"\"C:\\my dir\\\\\"");
  EXPECT_EQ(QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
  EXPECT_EQ(QuoteArgument(L"a\\\"b"), L"\"a\\\\\\\"b\"");
}

}  // namespace
}  // namespace platform
