// Finding another program's window, for the tools that start a window
// program and wait for it (the screenshot helper, the start-up probe).
#pragma once

#include <windows.h>

#include <string>

namespace window_search {

struct Search {
  DWORD process;
  const std::wstring* title;
  HWND found;
};

inline BOOL CALLBACK MatchShownWindow(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  if (owner != search.process || !::IsWindowVisible(window) || *search.title != text) return TRUE;
  search.found = window;
  return FALSE;
}

// A visible top-level window of `process` with exactly this title; null
// while there is none.
inline HWND FindShownWindow(DWORD process, const std::wstring& title) {
  Search search{process, &title, nullptr};
  ::EnumWindows(&MatchShownWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace window_search
