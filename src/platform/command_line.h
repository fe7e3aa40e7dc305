// Windows command-line quoting, kept free of Windows headers so it can be
// tested anywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Quotes one argument so that CommandLineToArgvW and the C runtime give it
// back unchanged. An argument without spaces, tabs or quotes stays as it is.
std::wstring QuoteArgument(std::wstring_view argument);

// The program, always quoted, followed by its arguments. Quoting the program
// keeps a path with spaces from being read as a shorter program's path.
std::wstring BuildCommandLine(std::wstring_view program,
                              const std::vector<std::wstring>& arguments);

}  // namespace platform
