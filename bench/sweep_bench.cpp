// The benchmark's own side: sweeps one folder with this system's file
// services, exactly as the table commands do, and reports how long the sweep
// took inside the process and the process's peak memory.
//
//   sweep_bench FOLDER
//
// Prints one line: "sweep_ns=<nanoseconds> peak_rss_kib=<KiB>". Exits with 2
// when an error leaves the sweep, with 64 on a usage error.
#include <chrono>
#include <cstdio>
#include <exception>

#include "platform/system_platform.h"
#include "tables/bin_sweep.h"
#include "tables/system_error.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace {

using tables::NativeString;

unsigned long long PeakMemoryKib() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<unsigned long long>(counters.PeakWorkingSetSize) / 1024U;
#else
  // The high-water mark of this program's own memory since it started.
  // (getrusage's ru_maxrss would not do: Linux carries over the peak of the
  // process image that ran before exec, here the benchmark driver's.)
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    unsigned long long kib = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "VmHWM: %llu kB", &kib) == 1;
    }
    std::fclose(status);
    if (found) return kib;
  }
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<unsigned long long>(usage.ru_maxrss);  // KiB on Linux
#endif
}

int Sweep(NativeString folder) {
  constexpr tables::NativeChar kSeparator =
#ifdef _WIN32
      L'\\';
#else
      '/';
#endif
  // The table commands always hand the sweep a folder ending in a separator.
  if (!folder.empty() && folder.back() != kSeparator) folder += kSeparator;
  try {
    const auto start = std::chrono::steady_clock::now();
    tables::DeleteAllBins(std::move(folder), platform::CreateFileSystem);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("sweep_ns=%lld peak_rss_kib=%llu\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()),
                PeakMemoryKib());
    return 0;
  } catch (const tables::SystemError& error) {
    std::fprintf(stderr, "sweep_bench: the sweep failed: %s\n", error.what());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sweep_bench: the sweep failed: %s\n", error.what());
  }
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  if (argc != 2) {
    std::fprintf(stderr, "usage: sweep_bench FOLDER\n");
    return 64;
  }
  return Sweep(argv[1]);
}
