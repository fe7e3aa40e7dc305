// The real VarnholtBinCompiler.exe, driven from outside as a user would: it
// is copied into a temporary host installation, started, found by its
// title, and worked with real mouse and keyboard input. The fixture and the
// helpers that the window's test files share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "windows/test_folder.h"

// RECT lives in the global namespace, so its comparison and printing for
// GoogleTest do too.
inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace window_test {

using platform::UniqueKernelHandle;
using testing_win::kPatienceMs;
using testing_win::Record;
using testing_win::TestFolder;
using testing_win::Utf8;
using testing_win::WaitUntil;

inline constexpr wchar_t kTitle[] = L"Varnholt Bin Compiler";

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);
DWORD ProcessOf(HWND window);
// A visible top-level window of `process` with this class and title (either
// null: any).
HWND FindTopLevel(DWORD process, const wchar_t* className, const wchar_t* title);
// The window's children in Z order, which is the order of creation here.
std::vector<HWND> ChildrenOf(HWND parent);
// A child's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND child);
// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window);

// Real input, as a user makes it. `times` presses or clicks go in one
// go, as quickly as a person makes them.
void Press(WORD key, int times = 1);
void PressShifted(WORD key);
// A key pressed and not let go; sent again while down, a keyboard repeat.
void KeyDown(WORD key);
// Left clicks at a point of the screen, and in the middle of a control,
// with the real mouse.
void ClickAt(POINT point, int times = 1);
void Click(HWND control, int times = 1);

// Gives `window` the foreground, where the keys that SendInput makes go,
// and says where the foreground is if it could not.
::testing::AssertionResult TakeForeground(HWND window);

// Returns once the window's thread has handled everything sent before: a
// command running on that thread holds this up until it ends.
void WaitForIdle(HWND window);
// As WaitForIdle, and then gives the window a moment more: once a command
// has returned, it clears its queue, and under Wine it answers senders
// while it does so. Input made before that is done is dropped with it.
void Settle(HWND window);

// Running processes of the program at `image`, each with a handle that
// keeps its id from being given to another.
std::vector<UniqueKernelHandle> ProcessesOf(const std::wstring& image);

// The system's message font at `scale` times its height while it lives, as
// the Text size setting makes it, announced to every window and seen by the
// programs started meanwhile; then the old metrics again, announced too.
class ScopedTextSize {
 public:
  explicit ScopedTextSize(double scale);
  ~ScopedTextSize();
  ScopedTextSize(const ScopedTextSize&) = delete;
  ScopedTextSize& operator=(const ScopedTextSize&) = delete;
  bool Set() const { return set_; }

 private:
  NONCLIENTMETRICSW old_{};
  bool set_ = false;
};

// A host installation with the tool in its top folder, and the tool running.
class MainWindow : public ::testing::Test {
 protected:
  MainWindow() : host_(L"my host") {
    // Under Wine 8, the first cursor this process loads makes user32 open
    // its display device context. Asked for from inside a move of the
    // pointer onto the busy tool's wait cursor, that hung the driver for
    // good (seen: stuck in NtGdiOpenDCW under LoadImageW, called back from
    // win32u). Loaded here, before any input, the context is there already.
    ::LoadCursorW(nullptr, IDC_WAIT);
    host_.Write(L"scripts\\table\\a.bin");
    host_.Write(L"scripts\\table\\B.BIN");
    host_.Write(L"scripts\\table\\cabin");
    host_.Write(L"scripts\\table\\keep.txt");
    host_.Write(L"scripts\\table\\e.bin.bak");
    host_.Write(L"scripts\\table\\sub\\f.bin");
    host_.MakeFolder(L"req");
    const std::wstring tool = testing_win::TestProgramFolder() + L"\\VarnholtBinCompiler.exe";
    if (!::CopyFileW(tool.c_str(), Exe().c_str(), FALSE)) {
      ADD_FAILURE() << "cannot copy " << Utf8(tool);
    }
  }

  ~MainWindow() override {
    // A failed test may leave the tool or a held compiler behind.
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
      if (::WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_.get(), 99);
        ::WaitForSingleObject(process_.get(), 5000);
      }
    }
    ::DeleteFileW(Hold().c_str());
    for (const UniqueKernelHandle& compiler : compilers_) {
      ::WaitForSingleObject(compiler.get(), kPatienceMs);
    }
  }

  std::wstring Exe() const { return host_ / L"VarnholtBinCompiler.exe"; }
  std::wstring Compiler() const { return host_ / L"req\\compile.exe"; }
  std::wstring Hold() const { return Compiler() + L".hold"; }
  std::set<std::wstring> Table() const { return testing_win::TreeOf(host_ / L"scripts\\table"); }
  std::set<std::wstring> SweptTable() const {
    return {L"keep.txt", L"e.bin.bak", L"sub", L"sub\\f.bin"};
  }

  // Starts the tool, from its folder as a double click would unless
  // startFolder_ says otherwise, and with startup_, and waits for its
  // window. `exe` names the tool's file, by default as Exe() does.
  void Start(const std::wstring& exe = {}) {
    std::wstring commandLine = L"\"" + (exe.empty() ? Exe() : exe) + L"\"";
    const std::wstring& folder = startFolder_.empty() ? host_.Path() : startFolder_;
    STARTUPINFOW startup = startup_;
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.c_str(), &startup, &started))
        << ::GetLastError();
    process_.reset(started.hProcess);
    ::CloseHandle(started.hThread);
    processId_ = started.dwProcessId;
    ASSERT_TRUE(WaitUntil([&] {
      window_ = FindTopLevel(processId_, nullptr, kTitle);
      return window_ != nullptr || ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
    }));
    ASSERT_NE(window_, nullptr) << "the tool ended without showing its window";
    const std::vector<HWND> children = ChildrenOf(window_);
    ASSERT_EQ(children.size(), 3u);
    label1_ = children[0];
    command1_ = children[1];
    command2_ = children[2];
    // A minimised window takes no keys, and is left as it was started.
    if (!::IsIconic(window_)) {
      ASSERT_TRUE(TakeForeground(window_));
    }
    WaitForIdle(window_);
  }

  bool Running() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

  // Closes the tool's window and waits until the tool has ended.
  void Close() {
    ASSERT_TRUE(::PostMessageW(window_, WM_CLOSE, 0, 0));
    ASSERT_EQ(::WaitForSingleObject(process_.get(), kPatienceMs), WAIT_OBJECT_0)
        << "the tool did not end";
  }

  // Waits until `condition` holds, as WaitUntil does, but only while the
  // tool could still get there: once its process has ended or it shows a
  // box, it stops and says which, instead of waiting out the limit.
  template <typename Condition>
  ::testing::AssertionResult Await(Condition condition) {
    std::string stopped;
    const bool done = WaitUntil([&] {
      if (condition()) return true;
      DWORD code = 0;
      if (!Running() && ::GetExitCodeProcess(process_.get(), &code)) {
        stopped = "the tool ended with exit code " + std::to_string(code);
      } else if (const HWND box = FindTopLevel(processId_, L"#32770", nullptr)) {
        stopped = "the tool shows a box: " + Utf8(TextOf(::GetDlgItem(box, 0xFFFF)));
      }
      return !stopped.empty();
    });
    if (done && stopped.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << (done ? stopped : "not within " + std::to_string(kPatienceMs / 1000) + " s");
  }

  // The stand-in compiler's records, once `count` are there (see Await).
  std::vector<Record> AwaitRecords(std::size_t count) {
    std::vector<Record> records;
    const auto enough = [&] {
      records = testing_win::ReadRecords(Compiler());
      return records.size() >= count;
    };
    EXPECT_TRUE(Await(enough)) << "waiting for " << count << " compiler record(s)";
    return records;
  }

  // Keeps every compiler that the tool starts from now on running until the
  // test releases it (or ends).
  void HoldCompilers() const { host_.Write(L"req\\compile.exe.hold"); }

  // The host's compilers that are running now; the test keeps a handle to
  // each until it ends.
  std::size_t RunningCompilers() {
    std::vector<UniqueKernelHandle> found = ProcessesOf(Compiler());
    const std::size_t count = found.size();
    for (UniqueKernelHandle& process : found) compilers_.push_back(std::move(process));
    return count;
  }

  TestFolder host_;
  // How Start() starts the tool: its working folder, and what the startup
  // information asks of its window (a shortcut's "Start in" and "Run").
  std::wstring startFolder_;
  STARTUPINFOW startup_{};
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
  HWND label1_ = nullptr;
  HWND command1_ = nullptr;
  HWND command2_ = nullptr;
  std::vector<UniqueKernelHandle> compilers_;
};

}  // namespace window_test
