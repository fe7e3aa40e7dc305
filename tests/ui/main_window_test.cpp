// The real VarnholtBinCompiler.exe, driven from outside as a user would: it
// is copied into a temporary host installation, started, found by its
// title, and worked with real mouse and keyboard input.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"
#include "ui/planted_dlls.h"
#include "windows/test_folder.h"

// RECT lives in the global namespace, so its comparison and printing for
// GoogleTest do too.
static bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

using platform::UniqueFileHandle;
using platform::UniqueKernelHandle;
using testing_win::kPatienceMs;
using testing_win::Record;
using testing_win::TestFolder;
using testing_win::Utf8;
using testing_win::WaitUntil;

constexpr wchar_t kTitle[] = L"Varnholt Bin Compiler";

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

// A visible top-level window of `process` with this class and title (or any).
HWND FindTopLevel(DWORD process, const wchar_t* className, const wchar_t* title) {
  TopLevelSearch search{process, className, title, nullptr};
  ::EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The window's children in Z order, which is the order of creation here.
std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

// A child's rectangle in its parent's client coordinates.
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

void Press(WORD key) { SendInputs({Key(key, false), Key(key, true)}); }

void PressShifted(WORD key) {
  SendInputs({Key(VK_SHIFT, false), Key(key, false), Key(key, true), Key(VK_SHIFT, true)});
}

// A left click in the middle of a control, with the real mouse. The
// position rides with each event too: a pointer motion still on its way
// from the display could otherwise move the cursor between the warp and
// the click.
void Click(HWND control) {
  RECT rect{};
  ASSERT_TRUE(::GetWindowRect(control, &rect));
  const int x = (rect.left + rect.right) / 2;
  const int y = (rect.top + rect.bottom) / 2;
  ASSERT_TRUE(::SetCursorPos(x, y));
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // 0..65535 across the screen, rounded up so that it maps back to (x, y).
  input.mi.dx = (x * 65536 + width - 1) / width;
  input.mi.dy = (y * 65536 + height - 1) / height;
  std::vector<INPUT> inputs;
  for (const DWORD button : {DWORD{0}, DWORD{MOUSEEVENTF_LEFTDOWN}, DWORD{MOUSEEVENTF_LEFTUP}}) {
    input.mi.dwFlags = button | DWORD{MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE};
    inputs.push_back(input);
  }
  SendInputs(inputs);
}

// Returns once the window's thread has handled everything sent before: a
// command running on that thread holds this up until it ends.
void WaitForIdle(HWND window) {
  DWORD_PTR result = 0;
  ASSERT_NE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &result), 0)
      << "the window stopped answering";
}

// True while the window's thread does not answer at once: a command holds it.
bool Busy(HWND window) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 50, &result) == 0;
}

// The system's double-click time at least `ms` while it lives, so that two
// clicks around a command still make a double click where starting a
// program is slow (under a CPU emulator); then the old time again. Programs
// started while it lives see it.
class ScopedDoubleClickTime {
 public:
  explicit ScopedDoubleClickTime(UINT ms) : old_(::GetDoubleClickTime()) {
    set_ = old_ >= ms || ::SetDoubleClickTime(ms) != FALSE;
  }
  ~ScopedDoubleClickTime() {
    if (::GetDoubleClickTime() != old_) ::SetDoubleClickTime(old_);
  }
  ScopedDoubleClickTime(const ScopedDoubleClickTime&) = delete;
  ScopedDoubleClickTime& operator=(const ScopedDoubleClickTime&) = delete;
  bool Set() const { return set_; }

 private:
  UINT old_;
  bool set_ = false;
};

// Running processes of the program at `image`, each with a handle that
// keeps its id from being given to another. Ids are matched by program
// path, not by parent: Wine hands out ids again soon, so a parent id alone
// may name a program that has ended.
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

// The system's text for an error number, without the line break at its end.
// Sets the display's DPI for programs started while it lives (Wine reads it
// as each program starts), and puts the old setting back.
class ScopedDpi {
 public:
  explicit ScopedDpi(DWORD dpi) {
    DWORD size = sizeof old_;
    had_ = ::RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &old_,
                          &size) == ERROR_SUCCESS;
    set_ = ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dpi, sizeof dpi) ==
           ERROR_SUCCESS;
  }
  ~ScopedDpi() {
    if (had_) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &old_, sizeof old_);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue);
    }
  }
  ScopedDpi(const ScopedDpi&) = delete;
  ScopedDpi& operator=(const ScopedDpi&) = delete;
  bool Set() const { return set_; }

 private:
  static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
  static constexpr const wchar_t* kValue = L"LogPixels";
  DWORD old_ = 0;
  bool had_ = false;
  bool set_ = false;
};

std::set<std::string> Set(const std::vector<std::string>& values) {
  return std::set<std::string>(values.begin(), values.end());
}

// A host installation with the tool in its top folder, and the tool running.
class MainWindow : public ::testing::Test {
 protected:
  MainWindow() : host_(L"my host") {
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

  // Starts the tool from its folder, as a double click would, and waits for
  // its window. `exe` names the tool's file, by default as Exe() does.
  void Start(const std::wstring& exe = {}) {
    std::wstring commandLine = L"\"" + (exe.empty() ? Exe() : exe) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 host_.Path().c_str(), &startup, &started))
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
    ::SetForegroundWindow(window_);
    WaitForIdle(window_);
  }

  bool Running() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

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

  // Plants a mod's proxy DLLs under every name that Windows takes from a
  // program's folder first into the host's top folder, makes the system
  // prefer them there as Windows does, and runs `program` from that folder
  // through both commands to its end. Fails for each probe that ran inside
  // it; the compiler it starts keeps its own search order.
  void RunAmongPlantedDlls(const std::wstring& program) {
    const std::vector<std::wstring> names = testing_win::ProxyDllNames();
    testing_win::PlantProbes(host_.Path(), names);
    const std::wstring loader = host_ / L"load_by_name.exe";
    const testing_win::ScopedFolderDllsFirst folderFirst(
        {program.substr(program.find_last_of(L'\\') + 1), L"load_by_name.exe"}, names);

    // The probes do run where nothing keeps them out: a program beside them
    // that loads one by name gets it. (Wine, unless told to prefer the
    // folder's DLLs as Windows does, would give it its own uxtheme.)
    ASSERT_TRUE(::CopyFileW((testing_win::TestProgramFolder() + L"\\load_by_name.exe").c_str(),
                            loader.c_str(), FALSE));
    ASSERT_EQ(RunToEnd(L"\"" + loader + L"\" uxtheme.dll"), 0u);
    const auto ranInLoader = [&] {
      for (const testing_win::ProbeMark& mark : testing_win::ProbeMarksIn(host_.Path())) {
        if (testing_win::SamePath(mark.program, loader)) return true;
      }
      return false;
    };
    ASSERT_TRUE(ranInLoader()) << "no probe ran even in a program that loads one by name";

    testing_win::InstallStandInCompiler(Compiler());
    ASSERT_NO_FATAL_FAILURE(Start(program));
    ASSERT_NO_FATAL_FAILURE(Click(command1_));
    ASSERT_EQ(testing_win::WaitForRecords(Compiler(), 1).size(), 1u) << "no compiler started";
    WaitForIdle(window_);
    host_.Write(L"scripts\\table\\again.bin");
    ASSERT_NO_FATAL_FAILURE(Click(command2_));
    EXPECT_TRUE(WaitUntil([&] { return Table() == SweptTable(); }));
    WaitForIdle(window_);
    ASSERT_TRUE(::PostMessageW(window_, WM_CLOSE, 0, 0));
    ASSERT_EQ(::WaitForSingleObject(process_.get(), kPatienceMs), WAIT_OBJECT_0);

    for (const testing_win::ProbeMark& mark : testing_win::ProbeMarksIn(host_.Path())) {
      if (testing_win::SamePath(mark.program, loader) ||
          testing_win::SamePath(mark.program, Compiler())) {
        continue;
      }
      ADD_FAILURE() << Utf8(mark.dll) << " ran inside " << Utf8(mark.program);
    }
  }

  // Runs a command line from the host's top folder and gives its exit code.
  DWORD RunToEnd(std::wstring commandLine) const {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          host_.Path().c_str(), &startup, &started)) {
      ADD_FAILURE() << "cannot start " << Utf8(commandLine) << ": " << ::GetLastError();
      return ~DWORD{0};
    }
    const UniqueKernelHandle process(started.hProcess);
    const UniqueKernelHandle thread(started.hThread);
    DWORD exitCode = ~DWORD{0};
    if (::WaitForSingleObject(process.get(), kPatienceMs) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode)) {
      ADD_FAILURE() << Utf8(commandLine) << " did not end";
    }
    return exitCode;
  }

  TestFolder host_;
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
  HWND label1_ = nullptr;
  HWND command1_ = nullptr;
  HWND command2_ = nullptr;
  std::vector<UniqueKernelHandle> compilers_;
};

TEST_F(MainWindow, IsAFixedSizeWindowWithTheCloseButtonOnly) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(TextOf(window_), kTitle);
  const auto style = static_cast<DWORD>(::GetWindowLongW(window_, GWL_STYLE));
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_TRUE(style & WS_SYSMENU) << "no close button";
  EXPECT_FALSE(style & WS_THICKFRAME) << "resizable";
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & (WS_CHILD | WS_POPUP));
  EXPECT_EQ(::GetMenu(window_), nullptr);
}

TEST_F(MainWindow, ControlsHaveTheirKindCaptionAndPlaceAndNoDefaultOrAccessKeys) {
  ASSERT_NO_FATAL_FAILURE(Start());
  struct Expected {
    HWND control;
    const wchar_t* className;
    RECT place;  // the twip rectangles at 15 twips per pixel
  } const expected[] = {
      {label1_, L"Static", {88, 64, 88 + 297, 64 + 25}},
      {command1_, L"Button", {8, 32, 8 + 281, 32 + 25}},
      {command2_, L"Button", {8, 8, 8 + 281, 8 + 25}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(Utf8(TextOf(e.control)));
    EXPECT_EQ(ClassOf(e.control), e.className);
    EXPECT_EQ(PlaceOf(e.control), e.place);
    EXPECT_TRUE(::IsWindowVisible(e.control));
  }
  EXPECT_EQ(TextOf(command1_), L"Compile Bins");
  EXPECT_EQ(TextOf(command2_), L"Delete Bins");

  // The credit is one line of text that runs past the client area's right
  // edge, where the window cuts it off.
  const std::wstring credit = TextOf(label1_);
  EXPECT_FALSE(credit.empty());
  EXPECT_EQ(credit.find_first_of(L"\r\n"), std::wstring::npos);
  RECT client{};
  ::GetClientRect(window_, &client);
  EXPECT_GT(PlaceOf(label1_).right, client.right);
  const auto labelStyle = static_cast<DWORD>(::GetWindowLongW(label1_, GWL_STYLE));
  EXPECT_FALSE(labelStyle & WS_TABSTOP);

  // Plain push buttons: no default button, and no access keys.
  for (const HWND button : {command1_, command2_}) {
    const auto buttonStyle = static_cast<DWORD>(::GetWindowLongW(button, GWL_STYLE));
    EXPECT_EQ(buttonStyle & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
    EXPECT_TRUE(buttonStyle & WS_TABSTOP);
    EXPECT_EQ(TextOf(button).find(L'&'), std::wstring::npos);
    EXPECT_NE(::GetDlgCtrlID(button), IDOK);
    EXPECT_NE(::GetDlgCtrlID(button), IDCANCEL);
  }
}

// The client area and the controls in pixels at a DPI: the twip rectangles,
// each edge rounded on its own (15, 10 and 7.5 twips per pixel).
struct Layout {
  DWORD dpi;
  RECT client, label1, command1, command2;
};
constexpr Layout kLayouts[] = {
    {96, {0, 0, 304, 96}, {88, 64, 385, 89}, {8, 32, 289, 57}, {8, 8, 289, 33}},
    {144, {0, 0, 456, 144}, {132, 96, 578, 134}, {12, 48, 434, 86}, {12, 12, 434, 50}},
    {192, {0, 0, 608, 192}, {176, 128, 770, 178}, {16, 64, 578, 114}, {16, 16, 578, 66}},
};

const Layout* LayoutAt(DWORD dpi) {
  for (const Layout& layout : kLayouts) {
    if (layout.dpi == dpi) return &layout;
  }
  return nullptr;
}

// The DPI the session was started with (scripts/wine-prefix.sh writes it
// into the registry before the session's first program); 96 by default.
DWORD SessionDpi() {
  wchar_t value[16] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"VBC_SESSION_DPI", value, 16);
  return length > 0 && length < 16 ? static_cast<DWORD>(std::wcstoul(value, nullptr, 10)) : 96;
}

TEST_F(MainWindow, ClientAreaAndControlsAreExactTwipsAtTheSessionsDpi) {
  const Layout* expected = LayoutAt(SessionDpi());
  ASSERT_NE(expected, nullptr) << "no layout for " << SessionDpi() << " DPI";
  ASSERT_NO_FATAL_FAILURE(Start());
  RECT client{};
  ASSERT_TRUE(::GetClientRect(window_, &client));
  EXPECT_EQ(client, expected->client);
  EXPECT_EQ(PlaceOf(label1_), expected->label1);
  EXPECT_EQ(PlaceOf(command1_), expected->command1);
  EXPECT_EQ(PlaceOf(command2_), expected->command2);
}

TEST_F(MainWindow, DpiChangedWhileTheSessionRunsCutsOffNoControl) {
  if (!testing_win::UnderWine())
    GTEST_SKIP() << "changes the display's DPI, which Windows takes only at sign-in";
  // As winecfg does it: the setting changes while programs run. Some Wines
  // then give a new window the old DPI while its caption is already drawn
  // at the new one, so a frame predicted for the window's DPI is wrong.
  const ScopedDpi dpi(SessionDpi() == 192 ? 96 : 192);
  ASSERT_TRUE(dpi.Set());
  ASSERT_NO_FATAL_FAILURE(Start());
  // The layout is whole at whichever DPI the window was given.
  const Layout* layout = nullptr;
  for (const Layout& candidate : kLayouts) {
    if (PlaceOf(command1_) == candidate.command1) layout = &candidate;
  }
  ASSERT_NE(layout, nullptr) << "Compile Bins at " << PlaceOf(command1_);
  SCOPED_TRACE(testing::Message() << "laid out for " << layout->dpi << " DPI");
  RECT client{};
  ASSERT_TRUE(::GetClientRect(window_, &client));
  EXPECT_EQ(client, layout->client);
  EXPECT_EQ(PlaceOf(label1_), layout->label1);
  EXPECT_EQ(PlaceOf(command2_), layout->command2);
  // Nothing cut off: the buttons lie wholly inside the client area, and so
  // does the label's height (its box runs past the right edge by design).
  for (const HWND control : {label1_, command1_, command2_}) {
    const RECT place = PlaceOf(control);
    EXPECT_GE(place.left, 0);
    EXPECT_GE(place.top, 0);
    EXPECT_LE(place.bottom, client.bottom) << Utf8(TextOf(control));
    if (control != label1_) {
      EXPECT_LE(place.right, client.right) << Utf8(TextOf(control));
    }
  }
}

TEST_F(MainWindow, FocusStartsOnCompileBinsAndTabMovesBetweenTheButtons) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }))
      << "focus at start: " << Utf8(TextOf(FocusOf(window_)));

  const struct {
    bool shift;
    HWND then;
  } steps[] = {{false, command2_}, {false, command1_}, {true, command2_}, {true, command1_}};
  for (const auto& step : steps) {
    step.shift ? PressShifted(VK_TAB) : Press(VK_TAB);
    EXPECT_TRUE(Await([&] { return FocusOf(window_) == step.then; }))
        << (step.shift ? "Shift+Tab" : "Tab") << " left the focus on "
        << Utf8(TextOf(FocusOf(window_)));
  }
}

TEST_F(MainWindow, KeysPressOnlyTheFocusedButtonAndEscapePressesNothing) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();  // a wrongly started compiler stays to be seen
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }));
  Press(VK_TAB);
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command2_; }));

  // Esc is no cancel button. The Tab after it is handled after it, so once
  // the focus has moved, Esc has done all it was going to do.
  Press(VK_ESCAPE);
  Press(VK_TAB);
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command1_; }));
  WaitForIdle(window_);
  EXPECT_EQ(Table().count(L"a.bin"), 1u) << "Esc ran a command";
  EXPECT_TRUE(Running());

  // Space presses "Delete Bins" when it has the focus.
  PressShifted(VK_TAB);
  ASSERT_TRUE(Await([&] { return FocusOf(window_) == command2_; }));
  Press(VK_SPACE);
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); })) << "Space did not press it";

  // Enter does the same, as on any focused button.
  host_.Write(L"scripts\\table\\new.bin");
  Press(VK_RETURN);
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); })) << "Enter did not press it";

  // Neither key reached "Compile Bins".
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 0u);
  EXPECT_TRUE(testing_win::ReadRecords(Compiler()).empty());
}

TEST_F(MainWindow, DoubleClickOnAButtonRunsItsCommandOnceAndTwoClicksRunItTwice) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();
  const ScopedDoubleClickTime doubleClick(2000);
  ASSERT_TRUE(doubleClick.Set());
  ASSERT_NO_FATAL_FAILURE(Start());
  const UINT doubleClickMs = ::GetDoubleClickTime();

  // Each double click's second click comes once the first click's command
  // has returned, as on a quick machine: nothing else stops it there. What
  // is made after the second click is handled after it, so once that has
  // worked, the second click has done all it was going to do (if it ran
  // the command instead, what is made meanwhile is dropped, and what the
  // second click did shows).
  host_.Write(L"scripts\\table\\a.bin");
  ULONGLONG first = ::GetTickCount64();
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(WaitUntil([&] { return Table() == SweptTable(); }));
  WaitForIdle(window_);
  ASSERT_LT(::GetTickCount64() - first, doubleClickMs) << "no double click: the command took long";
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  Press(VK_TAB);
  ASSERT_TRUE(
      WaitUntil([&] { return FocusOf(window_) == command1_ || Table().count(L"later.bin") == 0; }));
  WaitForIdle(window_);
  EXPECT_EQ(Table().count(L"later.bin"), 1u) << "a double click on Delete Bins ran it twice";

  // The compiler takes the focus, so a click, not a key, follows here.
  first = ::GetTickCount64();
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_TRUE(WaitUntil([&] { return !ProcessesOf(Compiler()).empty(); }));
  WaitForIdle(window_);
  ASSERT_LT(::GetTickCount64() - first, doubleClickMs) << "no double click: the command took long";
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(WaitUntil(
      [&] { return Table().count(L"later.bin") == 0 || ProcessesOf(Compiler()).size() > 1; }));
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 1u) << "a double click on Compile Bins started more than one";

  // Two clicks further apart than the double-click time are two requests.
  host_.Write(L"scripts\\table\\again.bin");
  ::Sleep(doubleClickMs + 100);
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  EXPECT_TRUE(WaitUntil([&] { return Table() == SweptTable(); }))
      << "a separate second click on Delete Bins ran nothing";
  EXPECT_TRUE(Running());
}

TEST_F(MainWindow, InputMadeWhileACommandRunsIsDroppedNotRunAfterIt) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();
  // Enough bin files that sweeping them holds the window for a while.
  constexpr int kBins = 8000;
  testing_win::MakeNumberedFiles(host_ / L"scripts\\table", kBins, ".bin");
  ASSERT_NO_FATAL_FAILURE(Start());

  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_TRUE(WaitUntil([&] { return Busy(window_); })) << "Compile Bins never held the window";
  // A second click, Space and Enter on Compile Bins (it has the focus now):
  // each would run it again.
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  Press(VK_SPACE);
  Press(VK_RETURN);
  ASSERT_TRUE(Busy(window_)) << "the command ended before the input was made: more bins needed";

  // Input made once it has returned works, and is handled after everything
  // made before it. (The compiler has the focus now, so it is a click.)
  ASSERT_TRUE(WaitUntil([&] { return !ProcessesOf(Compiler()).empty(); }));
  WaitForIdle(window_);
  host_.Write(L"scripts\\table\\later.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  ASSERT_TRUE(WaitUntil(
      [&] { return Table().count(L"later.bin") == 0 || ProcessesOf(Compiler()).size() > 1; }));
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 1u) << "input made during the command ran it again";
  EXPECT_EQ(Table(), SweptTable());
  EXPECT_TRUE(Running());
}

TEST_F(MainWindow, DeleteBinsClickDeletesTheBinFilesAndStartsNothing) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();  // a wrongly started compiler stays to be seen
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); }));
  // The command has returned once the window answers again.
  WaitForIdle(window_);
  EXPECT_EQ(RunningCompilers(), 0u) << "Delete Bins started a program";
  EXPECT_TRUE(testing_win::ReadRecords(Compiler()).empty());
  EXPECT_TRUE(Running());
}

TEST_F(MainWindow, CompileBinsClickSweepsThenStartsTheCompilerMinimised) {
  testing_win::InstallStandInCompiler(Compiler());
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Click(command1_));

  const std::vector<Record> records = AwaitRecords(1);
  ASSERT_EQ(records.size(), 1u);
  const Record& record = records[0];
  EXPECT_EQ(record.at("argv"),
            (std::vector<std::string>{Utf8(Compiler()), "table_bin", "startgame"}));
  EXPECT_EQ(record.at("show_window"), std::vector<std::string>{"2"});
  // The compiler saw the table folder already swept.
  EXPECT_EQ(Set(record.at("table")), (std::set<std::string>{"keep.txt", "e.bin.bak", "sub"}));
  EXPECT_EQ(Table(), SweptTable());
  WaitForIdle(window_);
  EXPECT_EQ(testing_win::ReadRecords(Compiler()).size(), 1u) << "more than one compiler";
  EXPECT_TRUE(Running());
}

TEST_F(MainWindow, MissingCompilerIsReportedInABoxAndTheWindowStaysUsable) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // Posted, not sent: a sent click would wait for the box to close.
  ASSERT_TRUE(::PostMessageW(command1_, BM_CLICK, 0, 0));

  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    box = FindTopLevel(processId_, L"#32770", kTitle);
    return box != nullptr || !Running();
  }));
  ASSERT_NE(box, nullptr) << "the tool ended instead of reporting";
  EXPECT_EQ(::GetWindow(box, GW_OWNER), window_) << "the box is not owned by the window";
  const std::wstring text = TextOf(::GetDlgItem(box, 0xFFFF));
  SCOPED_TRACE(Utf8(text));
  // The number of the failure and the system's own text for it: "file not
  // found" or "path not found", whichever the system reports.
  const DWORD number = text.find(L"Error 3") != std::wstring::npos ? 3 : 2;
  EXPECT_NE(text.find(L"Error " + std::to_wstring(number) + L": "), std::wstring::npos);
  ASSERT_FALSE(platform::SystemErrorText(number).empty());
  EXPECT_NE(text.find(platform::SystemErrorText(number)), std::wstring::npos);
  // It names the program it could not start: once, on a line of its own.
  EXPECT_NE(text.find(platform::SystemErrorText(number) + L"\n" + Compiler()), std::wstring::npos);
  EXPECT_EQ(text.find(Compiler()), text.rfind(Compiler()));
  // The sweep ran before the start failed.
  EXPECT_EQ(Table(), SweptTable());

  const HWND ok = ::GetDlgItem(box, IDOK);
  ASSERT_NE(ok, nullptr);
  ASSERT_TRUE(::PostMessageW(ok, BM_CLICK, 0, 0));
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));

  // Still open, and still doing its work.
  ASSERT_TRUE(Running()) << "the tool ended after the report";
  EXPECT_TRUE(::IsWindowEnabled(window_));
  host_.Write(L"scripts\\table\\again.bin");
  ASSERT_NO_FATAL_FAILURE(Click(command2_));
  EXPECT_TRUE(Await([&] { return Table() == SweptTable(); }));
  WaitForIdle(window_);
  EXPECT_EQ(FindTopLevel(processId_, L"#32770", kTitle), nullptr) << "a second box";
}

TEST_F(MainWindow, StartedThroughAPathWithoutADriveItStillWorksInItsOwnFolder) {
  if (!testing_win::UnderWine()) GTEST_SKIP() << "Wine's own way to name a Linux path";
  // As Wine starts a program in a folder that no drive maps. The tool is
  // told its own path relative ("unix\..."), which from its working folder
  // (the host's top folder here) names nothing.
  std::wstring exe = L"\\\\?\\unix";
  for (const char c : testing_win::UnixPath(Exe()))
    exe += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  testing_win::InstallStandInCompiler(Compiler());
  ASSERT_NO_FATAL_FAILURE(Start(exe));
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  EXPECT_EQ(AwaitRecords(1).size(), 1u) << "no compiler started";
  EXPECT_EQ(Table(), SweptTable());
  WaitForIdle(window_);
  EXPECT_EQ(FindTopLevel(processId_, L"#32770", kTitle), nullptr) << "an error box";
}

// A mod's proxy DLLs beside the tool, as in a game's top folder: none runs
// inside it, neither while it starts nor while it works.
TEST_F(MainWindow, RunsNoDllLyingBesideIt) { RunAmongPlantedDlls(Exe()); }

// The same where the system lacks SetDefaultDllDirectories (Windows 7
// without KB2533623): a build of the tool that takes that way at start.
TEST_F(MainWindow, RunsNoDllLyingBesideItWithoutSetDefaultDllDirectories) {
  const std::wstring host = host_ / L"fallback_host.exe";
  ASSERT_TRUE(::CopyFileW((testing_win::TestProgramFolder() + L"\\fallback_host.exe").c_str(),
                          host.c_str(), FALSE));
  RunAmongPlantedDlls(host);
}

TEST_F(MainWindow, ClosingEndsTheProgramAndLeavesAStartedCompilerRunning) {
  testing_win::InstallStandInCompiler(Compiler());
  HoldCompilers();
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Click(command1_));
  ASSERT_EQ(AwaitRecords(1).size(), 1u);
  WaitForIdle(window_);
  ASSERT_EQ(RunningCompilers(), 1u);

  ASSERT_TRUE(::PostMessageW(window_, WM_CLOSE, 0, 0));
  ASSERT_EQ(::WaitForSingleObject(process_.get(), kPatienceMs), WAIT_OBJECT_0)
      << "the tool did not end";
  DWORD exitCode = 99;
  ASSERT_TRUE(::GetExitCodeProcess(process_.get(), &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(::WaitForSingleObject(compilers_.at(0).get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the compiler ended with the tool";

  // Released, the compiler finishes on its own.
  ASSERT_TRUE(::DeleteFileW(Hold().c_str()));
  EXPECT_EQ(::WaitForSingleObject(compilers_.at(0).get(), kPatienceMs), WAIT_OBJECT_0);
}

}  // namespace
