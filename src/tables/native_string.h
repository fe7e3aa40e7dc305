// Text as the operating system speaks it: UTF-16 on Windows, bytes (UTF-8) on POSIX.
#pragma once

#include <string>
#include <string_view>

namespace tables {

#ifdef _WIN32
using NativeChar = wchar_t;
#define VBC_TEXT(literal) L##literal
#else
using NativeChar = char;
#define VBC_TEXT(literal) literal
#endif

using NativeString = std::basic_string<NativeChar>;
using NativeStringView = std::basic_string_view<NativeChar>;

}  // namespace tables
