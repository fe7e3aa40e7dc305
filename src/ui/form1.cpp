#include "ui/form1.h"

#include <cwchar>
#include <utility>

#include "ui/layout.h"
#include "ui/res/resource.h"

namespace ui {
namespace {

// A fixed single border: a caption with the system menu and its close
// button, but no sizing frame and no minimise or maximise box.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = 0;

constexpr wchar_t kCredit[] = L"Made by the Varnholt tools team";
constexpr wchar_t kCompileBins[] = L"Compile Bins";
constexpr wchar_t kDeleteBins[] = L"Delete Bins";

}  // namespace

Form1::Form1(HINSTANCE instance, tables::TablePlatform& platform) noexcept
    : instance_(instance), platform_(platform) {}

Form1::~Form1() {
  // Normally the user has closed the window long before; this covers a
  // window whose owner goes away first.
  if (window_ != nullptr) ::DestroyWindow(window_);
}

bool Form1::Create() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Form1::WindowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(IDI_APP));
  windowClass.hIconSm = static_cast<HICON>(::LoadImageW(
      instance_, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  // The face colour of dialogs, which the label's background matches.
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kClassName;
  if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  // Windows picks the position. The size depends on the DPI of the monitor
  // the window lands on, which is known only once it exists: WM_CREATE sets it.
  return ::CreateWindowExW(kExStyle, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_,
                           this) != nullptr;
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Form1* self = nullptr;
  if (message == WM_NCCREATE) {
    // The object comes with the creation parameters; keeping it with the
    // window lets every later message find it.
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    self = static_cast<Form1*>(create->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  // A few messages (WM_GETMINMAXINFO) come before WM_NCCREATE.
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);

  const LRESULT result = self->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The window is gone; the object may outlive it but must not reach it.
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
  }
  return result;
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam));
      break;  // the default gives the window the focus, and WM_SETFOCUS passes it on
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_ACTIVATEAPP:
      OnActivateApp(wParam != FALSE);
      return 0;
    case kGetDpiScaledSizeMessage:
      return OnGetDpiScaledSize(static_cast<UINT>(wParam), *reinterpret_cast<SIZE*>(lParam))
                 ? TRUE
                 : FALSE;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_SETTINGCHANGE:
      OnSettingChange(static_cast<UINT>(wParam), reinterpret_cast<const wchar_t*>(lParam));
      break;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

bool Form1::OnCreate() {
  dpi_ = WindowDpi(window_);
  // Creation order is tab order: the label (never focused), then
  // Command1, then Command2.
  label1_ = CreateControl(L"STATIC", kCredit, SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabel1Id);
  command1_ = CreateControl(L"BUTTON", kCompileBins, WS_TABSTOP | BS_PUSHBUTTON, kCommand1Id);
  command2_ = CreateControl(L"BUTTON", kDeleteBins, WS_TABSTOP | BS_PUSHBUTTON, kCommand2Id);
  if (label1_ == nullptr || command1_ == nullptr || command2_ == nullptr) return false;
  focus_ = command1_;

  UseFont(dpi_);
  LayOutControls();
  KeepWithinWorkArea();
  return true;
}

void Form1::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kCommand1Id:
      Run(command1_, kCompileBins, &tables::CompileBins);
      break;
    case kCommand2Id:
      Run(command2_, kDeleteBins, &tables::DeleteBins);
      break;
    case IDOK: {
      // Enter. As in any dialog, it presses the button that has the focus;
      // there is no default button that it would press otherwise.
      const HWND focus = ::GetFocus();
      if (focus == command1_ || focus == command2_) OnCommand(::GetDlgCtrlID(focus), BN_CLICKED);
      break;
    }
    default:
      break;  // Esc (IDCANCEL) does nothing: there is no cancel button
  }
}

void Form1::OnActivate(int state) {
  // Windows does not remember a plain window's focused control; this does,
  // so that switching away and back keeps the focus where the user left it.
  if (state == WA_INACTIVE) {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(window_, focus)) focus_ = focus;
  }
}

void Form1::OnActivateApp(bool active) {
  // Another program had the keyboard (the compiler Compile Bins starts takes
  // it): the release of a key held then went there, not here.
  if (active) {
    input_.KeyboardReturned(
        [](unsigned key) { return (::GetAsyncKeyState(static_cast<int>(key)) & 0x8000) != 0; });
  }
}

void Form1::OnSetFocus() {
  if (focus_ != nullptr) ::SetFocus(focus_);
}

bool Form1::OnGetDpiScaledSize(UINT dpi, SIZE& size) {
  // Asked before a change of DPI: the outer size that the layout will have
  // at `dpi`, so that the rectangle Windows then suggests has it already.
  const UniqueFont font = MessageFont(dpi);
  if (!font) return false;  // Windows then scales the window in proportion
  const FormLayout layout = LayoutIn(dpi, font.get());
  size = WindowSizeForClient(layout.client.cx, layout.client.cy, kStyle, kExStyle, dpi);
  return true;
}

void Form1::OnDpiChanged(UINT dpi, const RECT& suggested) {
  // The window moved to a monitor with another DPI (or the user changed the
  // scale). Windows chose the rectangle, with the size asked for above, so
  // that a window dragged across stays under the pointer: it is taken as it
  // is. Only where its client area still comes out other than the layout's
  // (a system that did not ask, or a frame drawn at another DPI than the
  // window is told) does the fit correct the size, the top left staying.
  dpi_ = dpi;
  UseFont(dpi_);
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOutControls();
}

void Form1::OnSettingChange(UINT action, const wchar_t* area) {
  // The user picked another message font, or another text size, which
  // enlarges it: the controls take it and grow to hold their text.
  if (action == SPI_SETNONCLIENTMETRICS ||
      (area != nullptr && std::wcscmp(area, L"WindowMetrics") == 0)) {
    UseFont(dpi_);
    LayOutControls();
    KeepWithinWorkArea();
  }
}

void Form1::OnDestroy() {
  // The window is the program: closing it ends the message loop. A compiler
  // that a command started runs on; nothing here tracks it.
  ::PostQuitMessage(0);
}

HWND Form1::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int id) {
  // The buttons overlap by one pixel; clipping siblings keeps that row clean.
  return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0,
                           0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           instance_, nullptr);
}

void Form1::FitClientArea(SIZE clientSize) {
  // What the client area lacks of `clientSize` at the window's size now
  // (nothing where that cannot be told), and the window's rectangle.
  RECT outer{};
  const auto lacking = [this, clientSize, &outer] {
    RECT client{};
    if (!::GetWindowRect(window_, &outer) || !::GetClientRect(window_, &client)) return SIZE{};
    return SIZE{clientSize.cx - client.right, clientSize.cy - client.bottom};
  };
  // A size that fits already stays (the one Windows suggests for a new DPI).
  SIZE missing = lacking();
  if (missing.cx == 0 && missing.cy == 0) return;
  // A first size from what the system predicts for the frame.
  const SIZE size = WindowSizeForClient(clientSize.cx, clientSize.cy, kStyle, kExStyle, dpi_);
  ::SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The prediction can be wrong: a caption drawn at another DPI than the
  // window reports (seen after the display's DPI changed in a running
  // session) would cut off the bottom row. So the frame the window really
  // has is measured and the size corrected until the client area fits; a
  // second round covers a frame that changes with the size (a wrapping
  // menu bar elsewhere; nothing here).
  for (int round = 0; round < 2; ++round) {
    missing = lacking();
    if (missing.cx == 0 && missing.cy == 0) return;
    if (!::SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + missing.cx,
                        outer.bottom - outer.top + missing.cy,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
      return;
    }
  }
}

void Form1::KeepWithinWorkArea() {
  // Grown for larger text, a window that opened near the screen's edge (a
  // launcher's start position, the system's cascade) would reach past it.
  // It moves back in and keeps its size; one that fits stays put.
  RECT window{};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetWindowRect(window_, &window) ||
      !::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return;
  }
  const RECT within = WithinArea(window, monitor.rcWork);
  if (within.left == window.left && within.top == window.top) return;
  ::SetWindowPos(window_, nullptr, within.left, within.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::UseFont(UINT dpi) {
  UniqueFont font = MessageFont(dpi);
  // Without a new font the controls keep the one they have.
  if (!font) return;
  for (const HWND control : {label1_, command1_, command2_}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  }
  // The old font goes only now that no control uses it.
  font_ = std::move(font);
}

FormLayout Form1::LayoutIn(UINT dpi, HFONT font) const {
  const TextSizes text{CaptionSize(window_, font, kCredit),
                       CaptionSize(window_, font, kCompileBins),
                       CaptionSize(window_, font, kDeleteBins)};
  return LayOut(dpi, text);
}

void Form1::LayOutControls() {
  // Measured in the font the controls draw with (UseFont gives all three
  // the same one; without it they keep the system's).
  const FormLayout layout =
      LayoutIn(dpi_, reinterpret_cast<HFONT>(::SendMessageW(command1_, WM_GETFONT, 0, 0)));
  const struct {
    HWND control;
    const RECT& rect;
  } places[] = {
      {label1_, layout.label1}, {command1_, layout.command1}, {command2_, layout.command2}};
  for (const auto& place : places) {
    ::SetWindowPos(place.control, nullptr, place.rect.left, place.rect.top,
                   place.rect.right - place.rect.left, place.rect.bottom - place.rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitClientArea(layout.client);
}

}  // namespace ui
