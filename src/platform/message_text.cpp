#include "platform/message_text.h"

namespace platform {
namespace {

bool IsDigit(wchar_t c) noexcept { return c >= L'0' && c <= L'9'; }

// FillInserts, telling whether the subject went in.
std::wstring Fill(std::wstring_view text, std::wstring_view subject, bool& named) {
  named = false;
  std::wstring out;
  out.reserve(text.size() + subject.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const wchar_t next = text[++i];
    if (next == L'0') break;
    if (IsDigit(next)) {
      // The insert's number: one or two digits.
      const bool first = next == L'1' && (i + 1 == text.size() || !IsDigit(text[i + 1]));
      if (i + 1 < text.size() && IsDigit(text[i + 1])) ++i;
      // An optional printf-style format between exclamation marks.
      if (i + 1 < text.size() && text[i + 1] == L'!') {
        const std::size_t end = text.find(L'!', i + 2);
        if (end != std::wstring_view::npos) i = end;
      }
      if (first) {
        out += subject;
        named = true;
      }
      continue;
    }
    switch (next) {
      case L'n':
        out += L"\r\n";
        break;
      case L'r':
        out += L'\r';
        break;
      case L't':
        out += L'\t';
        break;
      default:
        out += next;
        break;  // %% %. %! and "% " stand for themselves
    }
  }
  return out;
}

}  // namespace

std::wstring FillInserts(std::wstring_view text, std::wstring_view subject) {
  bool named = false;
  return Fill(text, subject, named);
}

std::wstring TextNaming(std::wstring_view text, std::wstring_view subject) {
  bool named = false;
  std::wstring out = Fill(text, subject, named);
  if (!named && !subject.empty()) {
    out += L'\n';
    out += subject;
  }
  return out;
}

}  // namespace platform
