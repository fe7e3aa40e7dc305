// Form1: the program's one window. A credit line and two buttons; each
// button runs one table command.
#pragma once

#include <windows.h>

#include <string>

#include "input/input_rule.h"
#include "tables/table_commands.h"
#include "ui/dpi.h"
#include "ui/layout.h"

namespace ui {

inline constexpr wchar_t kTitle[] = L"Varnholt Bin Compiler";
inline constexpr wchar_t kClassName[] = L"VarnholtBinCompiler.Form1";

// Control identifiers. 1 and 2 are IDOK and IDCANCEL, which the dialog
// keyboard handling sends for Enter and Esc; keeping clear of them means
// neither key can stand in for a button.
enum ControlId : int {
  kLabel1Id = 100,
  kCommand1Id = 101,  // "Compile Bins"
  kCommand2Id = 102,  // "Delete Bins"
};

// The text of the box that reports a failed command, e.g.
// "Compile Bins did not finish.\n\nError 2: The system cannot find the file specified.\n
// C:\Games\Host\req\compile.exe": the description names what failed.
std::wstring FailureText(const std::wstring& command, unsigned long number,
                         const std::wstring& description);

class Form1 {
 public:
  // `platform` serves the commands and must outlive the window.
  Form1(HINSTANCE instance, tables::TablePlatform& platform) noexcept;
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Registers the window class and makes the window, not yet shown.
  // False when Windows refuses either.
  bool Create();
  HWND Window() const noexcept { return window_; }

  // Gives the window its turn at a message from the loop before it is
  // translated and dispatched: the input rule's word on input and on posted
  // clicks and commands, then the keyboard navigation (Tab, Shift+Tab,
  // Space, Enter). True when it took the message.
  bool PreTranslate(MSG& message) noexcept;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  void OnCommand(int id, int code);
  void OnActivate(int state);
  void OnActivateApp(bool active);
  void OnSetFocus();
  bool OnGetDpiScaledSize(UINT dpi, SIZE& size);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnSettingChange(UINT action, const wchar_t* area);
  void OnDestroy();

  HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int id);
  void UseFont(UINT dpi);
  // Places the controls for the window's DPI and their fonts, and sizes the
  // window around them.
  void LayOutControls();
  // The layout at `dpi` with the texts measured in `font`.
  FormLayout LayoutIn(UINT dpi, HFONT font) const;
  // Sizes the window, where it stands, so that its client area is exactly
  // `clientSize` pixels, measured against the frame the window really has.
  void FitClientArea(SIZE clientSize);
  // Moves the window, at its size, into the work area of its monitor where
  // it reaches past it.
  void KeepWithinWorkArea();
  void Run(HWND button, const wchar_t* name, void (*command)(tables::TablePlatform&));
  void ShowFailure(const std::wstring& text);
  // The id of the command's button `window` is, 0 for any other window.
  int ButtonId(HWND window) const noexcept;

  HINSTANCE instance_;
  tables::TablePlatform& platform_;
  HWND window_ = nullptr;
  HWND label1_ = nullptr;
  HWND command1_ = nullptr;
  HWND command2_ = nullptr;
  // The control that had the focus when the window was last deactivated.
  HWND focus_ = nullptr;
  UINT dpi_ = 96;
  // Which input the window handles, around its commands and their box.
  input::InputRule input_;
  // The controls' font; it must outlive its use by them.
  UniqueFont font_;
};

}  // namespace ui
