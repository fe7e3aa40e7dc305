#pragma once

#include <cstdint>
#include <string>

namespace tables {

// The decimal digits of a number, as text of either width. Written out here
// rather than with std::to_string or std::to_wstring: on MinGW those go
// through the C library's formatted output, which brings its whole printf
// machinery (about 100 KiB) into the program for the sake of a number.
template <typename Char>
std::basic_string<Char> DecimalText(std::uint64_t value) {
  Char digits[20];  // 18446744073709551615 has 20
  std::size_t first = sizeof digits / sizeof digits[0];
  do {
    digits[--first] = static_cast<Char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::basic_string<Char>(digits + first, digits + sizeof digits / sizeof digits[0]);
}

}  // namespace tables
