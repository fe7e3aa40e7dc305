// Form1: the program's one window. A credit line and two buttons; each
// button runs one table command.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

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
  // translated and dispatched: the keyboard navigation (Tab, Shift+Tab,
  // Space, Enter), the second click of a double click, held keys and input
  // made just after an error box closed. True when it took the message.
  bool PreTranslate(MSG& message) noexcept;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  void OnCommand(int id, int code);
  void OnActivate(int state);
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

  HINSTANCE instance_;
  tables::TablePlatform& platform_;
  HWND window_ = nullptr;
  HWND label1_ = nullptr;
  HWND command1_ = nullptr;
  HWND command2_ = nullptr;
  // The control that had the focus when the window was last deactivated.
  HWND focus_ = nullptr;
  UINT dpi_ = 96;
  // The button whose command ran last, and when the input that ran it was
  // made: the second click of a double click on it asks for nothing new.
  HWND lastRunButton_ = nullptr;
  DWORD lastRunTime_ = 0;
  // True while a command runs or its error box is up: no other starts.
  bool busy_ = false;
  // When the last command returned (MessageClock), once one has.
  std::optional<DWORD> commandEnd_;
  // Until this tick count (GetTickCount64), input belongs to the error box
  // that has just closed, not to the window.
  ULONGLONG boxInputUntil_ = 0;
  // The controls' font; it must outlive its use by them.
  UniqueFont font_;
};

}  // namespace ui
