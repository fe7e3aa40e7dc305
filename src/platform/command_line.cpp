#include "platform/command_line.h"

namespace platform {
namespace {

void AppendQuoted(std::wstring& out, std::wstring_view argument) {
  out += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only in front of a quote: there they are doubled,
    // and the quote itself escaped.
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');  // they stand before the closing quote
  out += L'"';
}

}  // namespace

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  std::wstring out;
  AppendQuoted(out, argument);
  return out;
}

std::wstring BuildCommandLine(std::wstring_view program,
                              const std::vector<std::wstring>& arguments) {
  std::wstring line;
  AppendQuoted(line, program);
  for (const std::wstring& argument : arguments) {
    line += L' ';
    line += QuoteArgument(argument);
  }
  return line;
}

}  // namespace platform
