// Start-up time of window programs: from starting the process to its window
// being there, visible and painted (its thread answers once the first paint
// is done). Each program is started RUNS times, the programs taking turns,
// and closed again after each start.
//
//   startup_probe RUNS "PROGRAM|TITLE" ["PROGRAM|TITLE" ...]
//
// Prints one line per program: "program=... median_ms=... min_ms=... max_ms=...".
// Exits with 2 when a program cannot be started or shows no window in time.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "window_search.h"

namespace {

constexpr ULONGLONG kPatienceMs = 30000;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& rate) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(rate.QuadPart);
}

// One start of `program`, in milliseconds until its window is there; below
// zero when it failed.
double StartOnce(const std::wstring& program, const std::wstring& title) {
  LARGE_INTEGER rate{}, start{}, end{};
  ::QueryPerformanceFrequency(&rate);
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
    return -1;
  }
  const platform::UniqueKernelHandle process(started.hProcess);
  const platform::UniqueKernelHandle thread(started.hThread);
  HWND found = nullptr;
  const ULONGLONG deadline = ::GetTickCount64() + kPatienceMs;
  while (found == nullptr && ::GetTickCount64() < deadline) {
    found = window_search::FindShownWindow(started.dwProcessId, title);
    if (found == nullptr) ::Sleep(1);
  }
  double elapsed = -1;
  if (found != nullptr) {
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &answer);
    ::QueryPerformanceCounter(&end);
    elapsed = Seconds(start, end, rate) * 1000.0;
    ::PostMessageW(found, WM_CLOSE, 0, 0);
  }
  if (::WaitForSingleObject(process.get(), static_cast<DWORD>(kPatienceMs)) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 99);
    return -1;
  }
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: startup_probe RUNS \"PROGRAM|TITLE\" ...\n", stderr);
    return 64;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  struct Program {
    std::wstring path, title;
    std::vector<double> times;
  };
  std::vector<Program> programs;
  for (int i = 2; i < argc; ++i) {
    const std::wstring given = argv[i];
    const std::size_t bar = given.find(L'|');
    if (bar == std::wstring::npos) return 64;
    programs.push_back({given.substr(0, bar), given.substr(bar + 1), {}});
  }
  for (int run = 0; run < runs; ++run) {
    for (Program& program : programs) {
      const double ms = StartOnce(program.path, program.title);
      if (ms < 0) {
        std::fwprintf(stderr, L"startup_probe: %ls did not start or showed no window\n",
                      program.path.c_str());
        return 2;
      }
      program.times.push_back(ms);
    }
  }
  for (Program& program : programs) {
    std::sort(program.times.begin(), program.times.end());
    const std::size_t n = program.times.size();
    const double median =
        n % 2 ? program.times[n / 2] : (program.times[n / 2 - 1] + program.times[n / 2]) / 2;
    std::wprintf(L"program=%ls median_ms=%.1f min_ms=%.1f max_ms=%.1f\n", program.path.c_str(),
                 median, program.times.front(), program.times.back());
  }
  return 0;
}
