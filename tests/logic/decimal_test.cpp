#include "tables/decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace tables {
namespace {

// The standard library's formatting is the reference; the numbers cover
// one digit, every carry into a new digit and the widest values.
TEST(DecimalText, MatchesTheStandardFormattingInBothWidths) {
  std::uint64_t values[] = {
      0,   1,          9,           10,          99,
      100, 1234567890, 4294967295u, 4294967296u, std::numeric_limits<std::uint64_t>::max()};
  for (const std::uint64_t value : values) {
    EXPECT_EQ(DecimalText<char>(value), std::to_string(value));
    EXPECT_EQ(DecimalText<wchar_t>(value), std::to_wstring(value));
  }
  for (std::uint64_t power = 1; power <= 1000000000000000000u; power *= 10) {
    EXPECT_EQ(DecimalText<char>(power - 1), std::to_string(power - 1));
    EXPECT_EQ(DecimalText<char>(power), std::to_string(power));
  }
}

}  // namespace
}  // namespace tables
