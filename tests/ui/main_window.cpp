#include "ui/main_window.h"

#include <tlhelp32.h>

#include <cmath>

namespace window_test {

using platform::UniqueFileHandle;

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  const int length = ::GetWindowTextW(window, text, 1024);
  return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  return process;
}

namespace {

struct TopLevelSearch {
  DWORD process;
  const wchar_t* className;
  const wchar_t* title;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<TopLevelSearch*>(data);
  if (ProcessOf(window) != search.process || !::IsWindowVisible(window)) return TRUE;
  if (search.className != nullptr && ClassOf(window) != search.className) return TRUE;
  if (search.title != nullptr && TextOf(window) != search.title) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace

HWND FindTopLevel(DWORD process, const wchar_t* className, const wchar_t* title) {
  TopLevelSearch search{process, className, title, nullptr};
  ::EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

RECT PlaceOf(HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

namespace {

void SendInputs(std::vector<INPUT> inputs) {
  ASSERT_EQ(::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
            inputs.size());
}

INPUT Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace

void Press(WORD key, int times) {
  std::vector<INPUT> inputs;
  for (int i = 0; i < times; ++i) inputs.insert(inputs.end(), {Key(key, false), Key(key, true)});
  SendInputs(inputs);
}

// Windows lets a process set the foreground window only under conditions,
// one of them that it made the last input (SetForegroundWindow, Remarks:
// https://learn.microsoft.com/windows/win32/api/winuser/nf-winuser-setforegroundwindow).
// On a hosted runner the foreground may be the runner's console, so the
// driver first makes an input of its own: a mouse event that neither moves
// nor clicks, and so reaches no window.
::testing::AssertionResult TakeForeground(HWND window) {
  INPUT nothing{};
  nothing.type = INPUT_MOUSE;
  if (::SendInput(1, &nothing, sizeof nothing) != 1) {
    return ::testing::AssertionFailure() << "SendInput failed: " << ::GetLastError();
  }
  const bool set = ::SetForegroundWindow(window) != FALSE;
  if (WaitUntil([&] { return ::GetForegroundWindow() == window; }, 5000)) {
    return ::testing::AssertionSuccess();
  }
  const HWND other = ::GetForegroundWindow();
  return ::testing::AssertionFailure()
         << "the tool does not have the foreground, so the keys sent would go elsewhere ("
         << (set ? "SetForegroundWindow succeeded" : "SetForegroundWindow was refused")
         << "); it is with "
         << (other == nullptr ? std::string("no window")
                              : "\"" + Utf8(TextOf(other)) + "\" (" + Utf8(ClassOf(other)) + ")");
}

void KeyDown(WORD key) { SendInputs({Key(key, false)}); }

void PressShifted(WORD key) {
  SendInputs({Key(VK_SHIFT, false), Key(key, false), Key(key, true), Key(VK_SHIFT, true)});
}

// A move to the point, then a press and a release for each click. The
// position rides with each event too: a pointer motion still on its way
// from the display could otherwise move the cursor between the warp and
// the click.
void ClickAt(POINT point, int times) {
  ASSERT_TRUE(::SetCursorPos(point.x, point.y));
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // 0..65535 across the screen, rounded up so that it maps back to the point.
  input.mi.dx = (point.x * 65536 + width - 1) / width;
  input.mi.dy = (point.y * 65536 + height - 1) / height;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  std::vector<INPUT> inputs{input};
  for (int i = 0; i < times; ++i) {
    for (const DWORD button : {DWORD{MOUSEEVENTF_LEFTDOWN}, DWORD{MOUSEEVENTF_LEFTUP}}) {
      input.mi.dwFlags = button | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
      inputs.push_back(input);
    }
  }
  SendInputs(inputs);
}

void Click(HWND control, int times) {
  RECT rect{};
  ASSERT_TRUE(::GetWindowRect(control, &rect));
  ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, times);
}

void WaitForIdle(HWND window) {
  DWORD_PTR result = 0;
  ASSERT_NE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &result), 0)
      << "the window stopped answering";
}

void Settle(HWND window) {
  WaitForIdle(window);
  ::Sleep(100);
  WaitForIdle(window);
}

// Ids are matched by program path, not by parent: Wine hands out ids again
// soon, so a parent id alone may name a program that has ended.
std::vector<UniqueKernelHandle> ProcessesOf(const std::wstring& image) {
  std::vector<UniqueKernelHandle> found;
  const UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    UniqueKernelHandle process(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process || ::WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) continue;
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = MAX_PATH * 4;
    if (!::QueryFullProcessImageNameW(process.get(), 0, path, &length)) continue;
    if (::CompareStringOrdinal(path, static_cast<int>(length), image.c_str(),
                               static_cast<int>(image.size()), TRUE) == CSTR_EQUAL) {
      found.push_back(std::move(process));
    }
  }
  return found;
}

ScopedTextSize::ScopedTextSize(double scale) {
  old_.cbSize = sizeof old_;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof old_, &old_, 0)) return;
  NONCLIENTMETRICSW larger = old_;
  larger.lfMessageFont.lfHeight =
      static_cast<LONG>(std::lround(old_.lfMessageFont.lfHeight * scale));
  set_ = ::SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof larger, &larger,
                                 SPIF_SENDCHANGE) != FALSE;
}

ScopedTextSize::~ScopedTextSize() {
  if (set_) ::SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof old_, &old_, SPIF_SENDCHANGE);
}

}  // namespace window_test
