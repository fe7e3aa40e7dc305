// Runs the sweep benchmark: lays out identical table folders, sweeps them
// with our sweep and with the tool a user would otherwise pick, alternating
// which goes first, and prints times, ratios, peak memory and system calls.
// Exits with 1 when the two sides left different files behind (or ours left
// the wrong ones), with 2 on a broken run, else 0. Timings decide nothing.
//
//   bench_driver --ours SWEEP_BENCH --work DIR [--sizes 1000,10000,...]
//                [--reps N] [--reps-large N] [--no-strace]
//                [--wine-ours SWEEP_BENCH_EXE] [--wine-command WINE]
//                [--wine-max N] [--wine-reps N]
//
// The Wine side needs WINEPREFIX (and a display) set up by the caller;
// WINE is the command that runs a Windows program (default: wine).
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
}

// ---------------------------------------------------------------- layout

// The bin-name rule, written out again for the check: the name ends in
// b, i, n in any letter case.
bool EndsInBin(const std::string& name) {
  if (name.size() < 3) return false;
  const char* tail = name.c_str() + name.size() - 3;
  return (tail[0] | 0x20) == 'b' && (tail[1] | 0x20) == 'i' && (tail[2] | 0x20) == 'n';
}

struct Pattern {
  const char* prefix;
  const char* suffix;
};
constexpr Pattern kBinNames[] = {
    {"a", ".bin"}, {"X", ".BIN"}, {"", "cabin"}, {"", "robin"}, {"c", ".Bin"}};
constexpr Pattern kOtherNames[] = {
    {"x", ".binary"}, {"e", ".bin.bak"}, {"d", ".txt"}, {"", "bin.txt"}, {"f", ".bi"}};
constexpr const char* kSubfolders[] = {"sub", "sub.bin", "folderBIN", "lib"};
constexpr std::size_t kSubfolderCount = sizeof kSubfolders / sizeof kSubfolders[0];

struct Layout {
  std::size_t entries = 0;
  std::size_t binFiles = 0;
  Names expectedLeft;  // what a correct sweep leaves, sorted (see Listing)
};

void CreateFileAt(int dirFd, const std::string& name, mode_t mode) {
  const int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) Fail("cannot create " + name);
  ::close(fd);
}

// N entries directly in `dir`: a few subfolders (each holding a bin file and
// another file), then bin files and other files taking turns. Every 97th
// file is read-only.
Layout LayOut(const std::string& dir, std::size_t n) {
  if (::mkdir(dir.c_str(), 0755) != 0) Fail("cannot create " + dir);
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) Fail("cannot open " + dir);
  Layout layout;
  layout.entries = n;
  for (std::size_t i = 0; i < n; ++i) {
    if (i < kSubfolderCount) {
      const std::string name = kSubfolders[i];
      if (::mkdirat(dirFd, name.c_str(), 0755) != 0) Fail("cannot create " + name);
      CreateFileAt(dirFd, name + "/inner.bin", 0644);
      CreateFileAt(dirFd, name + "/inner.txt", 0644);
      layout.expectedLeft.push_back(name + "/");
      layout.expectedLeft.push_back(name + "/inner.bin");
      layout.expectedLeft.push_back(name + "/inner.txt");
      continue;
    }
    const Pattern& pattern = (i % 2 == 0 ? kBinNames : kOtherNames)[(i / 2) % 5];
    const std::string name = pattern.prefix + std::to_string(i) + pattern.suffix;
    CreateFileAt(dirFd, name, i % 97 == 0 ? 0444 : 0644);
    if (EndsInBin(name)) {
      ++layout.binFiles;
    } else {
      layout.expectedLeft.push_back(name);
    }
  }
  // The timed runs should not pay for writing back what the layout did.
  if (::syncfs(dirFd) != 0) Fail("syncfs");
  ::close(dirFd);
  std::sort(layout.expectedLeft.begin(), layout.expectedLeft.end());
  return layout;
}

// Everything left in `dir`, sorted: names, "folder/" for a subfolder and
// "folder/name" for what lies in it.
Names Listing(const std::string& dir, bool descend = true) {
  Names names;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) Fail("cannot list " + dir);
  while (const dirent* entry = ::readdir(d)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(::dirfd(d), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) Fail("stat " + name);
    if (S_ISDIR(st.st_mode)) {
      names.push_back(name + "/");
      if (descend) {
        for (const std::string& inner : Listing(dir + "/" + name, false)) {
          names.push_back(name + "/" + inner);
        }
      }
    } else {
      names.push_back(name);
    }
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& dir) {
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

// ---------------------------------------------------------------- running

struct RunResult {
  double seconds = 0;
  int status = 0;
  std::string out;
};

RunResult Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int error = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (error != 0) {
    ::close(pipeFds[0]);
    errno = error;
    Fail("cannot start " + args[0]);
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
    if (got > 0) {
      result.out.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipeFds[0]);
  while (::waitpid(child, &result.status, 0) < 0) {
    if (errno != EINTR) Fail("waitpid");
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(result.status) || WEXITSTATUS(result.status) != 0) {
    errno = 0;
    Fail(args[0] + " failed (status " + std::to_string(result.status) + "): " + result.out);
  }
  return result;
}

// The value after "key=" in a line of sweep_bench's output.
double Field(const std::string& out, const std::string& key) {
  const std::size_t at = out.find(key + "=");
  if (at == std::string::npos) {
    errno = 0;
    Fail("no " + key + " in: " + out);
  }
  return std::strtod(out.c_str() + at + key.size() + 1, nullptr);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// ---------------------------------------------------------------- strace

struct Syscalls {
  long total = 0;
  long unlinks = 0;  // unlink, unlinkat
  long stats = 0;    // the stat family
  long getdents = 0;
};

Syscalls ParseStraceSummary(const std::string& file) {
  static const std::set<std::string> kStats = {"stat",      "lstat",   "fstat",    "newfstatat",
                                               "fstatat64", "statx",   "stat64",   "lstat64",
                                               "fstat64",   "oldstat", "oldlstat", "oldfstat"};
  std::ifstream in(file);
  Syscalls calls;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string token; words >> token;) tokens.push_back(token);
    // "% time  seconds  usecs/call  calls  [errors]  syscall"
    if (tokens.size() < 5 || tokens[0] == "%" || tokens[0].rfind("---", 0) == 0) continue;
    const std::string& name = tokens.back();
    if (name == "total") continue;
    const long count = std::strtol(tokens[3].c_str(), nullptr, 10);
    calls.total += count;
    if (name == "unlink" || name == "unlinkat") calls.unlinks += count;
    if (kStats.count(name) != 0) calls.stats += count;
    if (name == "getdents64" || name == "getdents") calls.getdents += count;
  }
  return calls;
}

Syscalls Trace(const std::vector<std::string>& command, const std::string& outFile) {
  std::vector<std::string> args = {"strace", "-f", "-c", "-o", outFile, "--"};
  args.insert(args.end(), command.begin(), command.end());
  Run(args);
  return ParseStraceSummary(outFile);
}

// ---------------------------------------------------------------- the runs

struct Options {
  std::string ours;
  std::string work;
  std::vector<std::size_t> sizes = {1000, 10000, 100000, 1000000};
  int reps = 5;
  int repsLarge = 3;  // for N >= 1,000,000
  bool strace = true;
  bool native = true;
  std::string wineOurs;
  std::string wineCommand = "wine";
  std::size_t wineMax = 100000;
  int wineReps = 3;
};

struct Row {
  std::size_t n = 0;
  std::size_t bins = 0;
  double ours = 0, theirs = 0, ratio = 0, oursInner = 0;
  long oursPeakKib = 0;
  bool traced = false;
  Syscalls oursCalls, theirsCalls;
  std::size_t explained = 0;  // Wine: files that only del removed, by short name
};

std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Whether Wine gives the name an 8.3 short name ending in "BIN": a long name
// whose last extension starts with "bin", e.g. x1.binary -> X1~ABCD.BIN.
bool ShortNameEndsInBin(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string extension = name.substr(dot + 1);
  const bool isShortName = dot <= 8 && extension.size() <= 3;
  return !isShortName && extension.size() >= 3 && EndsInBin(extension.substr(0, 3));
}

bool Compare(const std::string& what, const Names& ours, const Names& theirs, const Names& expected,
             bool wine, std::size_t* explained) {
  bool ok = true;
  if (ours != expected) {
    std::printf("!!! %s: our sweep left the wrong files\n", what.c_str());
    ok = false;
  }
  std::vector<std::string> onlyOurs, onlyTheirs;
  std::set_difference(ours.begin(), ours.end(), theirs.begin(), theirs.end(),
                      std::back_inserter(onlyOurs));
  std::set_difference(theirs.begin(), theirs.end(), ours.begin(), ours.end(),
                      std::back_inserter(onlyTheirs));
  std::size_t byShortName = 0;
  std::vector<std::string> unexplained;
  for (const std::string& name : onlyOurs) {
    if (wine && ShortNameEndsInBin(name)) {
      ++byShortName;
    } else {
      unexplained.push_back(name);
    }
  }
  unexplained.insert(unexplained.end(), onlyTheirs.begin(), onlyTheirs.end());
  if (!unexplained.empty()) {
    std::printf(
        "!!! %s: the two sides left different files (%zu only ours, %zu only theirs), e.g.:\n",
        what.c_str(), onlyOurs.size() - byShortName, onlyTheirs.size());
    for (std::size_t i = 0; i < unexplained.size() && i < 10; ++i) {
      std::printf("!!!     %s\n", unexplained[i].c_str());
    }
    ok = false;
  }
  if (explained != nullptr) *explained = byShortName;
  return ok;
}

// One size, several repetitions: both sides on identical folders, the first
// to go alternating between repetitions.
bool Measure(const Options& options, std::size_t n, bool wine, Row& row) {
  const int reps = wine ? options.wineReps : (n >= 1000000 ? options.repsLarge : options.reps);
  const char* theirName = wine ? "del" : "find";
  std::vector<double> ours, theirs, ratios, inner;
  bool ok = true;
  row.n = n;
  for (int rep = 0; rep < reps; ++rep) {
    const std::string base =
        options.work + "/" + (wine ? "w" : "n") + std::to_string(n) + "-" + std::to_string(rep);
    const std::string oursDir = base + "-ours";
    const std::string theirsDir = base + "-theirs";
    const auto layoutStart = std::chrono::steady_clock::now();
    const Layout layout = LayOut(oursDir, n);
    LayOut(theirsDir, n);
    const double layoutSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - layoutStart).count();
    row.bins = layout.binFiles;

    const std::vector<std::string> oursCommand =
        wine ? std::vector<std::string>{options.wineCommand, options.wineOurs,
                                        WinePath(oursDir) + "\\"}
             : std::vector<std::string>{options.ours, oursDir + "/"};
    const std::vector<std::string> theirsCommand =
        wine ? std::vector<std::string>{options.wineCommand,
                                        "cmd",
                                        "/c",
                                        "del",
                                        "/f",
                                        "/q",
                                        WinePath(theirsDir) + "\\*bin"}
             : std::vector<std::string>{"find", theirsDir, "-maxdepth", "1",      "-type",
                                        "f",    "-iname",  "*bin",      "-delete"};
    RunResult oursRun, theirsRun;
    const bool oursFirst = rep % 2 == 0;
    if (oursFirst) {
      oursRun = Run(oursCommand);
      theirsRun = Run(theirsCommand);
    } else {
      theirsRun = Run(theirsCommand);
      oursRun = Run(oursCommand);
    }
    ours.push_back(oursRun.seconds);
    theirs.push_back(theirsRun.seconds);
    ratios.push_back(oursRun.seconds / theirsRun.seconds);
    inner.push_back(Field(oursRun.out, "sweep_ns") / 1e9);
    // The sweep process's own peak, as it reports it (VmHWM natively, the
    // peak working set under Wine).
    row.oursPeakKib =
        std::max(row.oursPeakKib, static_cast<long>(Field(oursRun.out, "peak_rss_kib")));
    std::printf(
        "  N=%-8zu rep %d/%d (%-4s first): ours %8.4f s (sweep alone %8.4f s)  %-4s %8.4f s  "
        "ratio %.3f  [layout of both %.1f s]\n",
        n, rep + 1, reps, oursFirst ? "ours" : theirName, oursRun.seconds, inner.back(), theirName,
        theirsRun.seconds, ratios.back(), layoutSeconds);
    std::fflush(stdout);

    const std::string what = std::string(wine ? "wine" : "native") + " N=" + std::to_string(n) +
                             " rep " + std::to_string(rep + 1);
    ok = Compare(what, Listing(oursDir), Listing(theirsDir), layout.expectedLeft, wine,
                 &row.explained) &&
         ok;
    RemoveTree(oursDir);
    RemoveTree(theirsDir);
  }
  row.ours = Median(ours);
  row.theirs = Median(theirs);
  row.ratio = Median(ratios);
  row.oursInner = Median(inner);

  if (!wine && options.strace) {
    const std::string dir = options.work + "/trace" + std::to_string(n);
    LayOut(dir, n);
    row.oursCalls = Trace({options.ours, dir + "/"}, options.work + "/ours.strace");
    RemoveTree(dir);
    LayOut(dir, n);
    row.theirsCalls =
        Trace({"find", dir, "-maxdepth", "1", "-type", "f", "-iname", "*bin", "-delete"},
              options.work + "/find.strace");
    RemoveTree(dir);
    row.traced = true;
  }
  return ok;
}

std::vector<std::size_t> ParseSizes(const std::string& text) {
  std::vector<std::size_t> sizes;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    sizes.push_back(static_cast<std::size_t>(std::stoull(item)));
  }
  return sizes;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error("missing value for " + arg);
      return argv[++i];
    };
    if (arg == "--ours")
      options.ours = value();
    else if (arg == "--work")
      options.work = value();
    else if (arg == "--sizes")
      options.sizes = ParseSizes(value());
    else if (arg == "--reps")
      options.reps = std::stoi(value());
    else if (arg == "--reps-large")
      options.repsLarge = std::stoi(value());
    else if (arg == "--no-strace")
      options.strace = false;
    else if (arg == "--no-native")
      options.native = false;
    else if (arg == "--wine-ours")
      options.wineOurs = value();
    else if (arg == "--wine-command")
      options.wineCommand = value();
    else if (arg == "--wine-max")
      options.wineMax = static_cast<std::size_t>(std::stoull(value()));
    else if (arg == "--wine-reps")
      options.wineReps = std::stoi(value());
    else
      throw std::runtime_error("unknown option " + arg);
  }
  if (options.ours.empty() || options.work.empty()) {
    throw std::runtime_error("--ours and --work are required");
  }
  if (options.reps < 1 || options.repsLarge < 1 || options.wineReps < 1) {
    throw std::runtime_error("repetitions must be at least 1");
  }
  options.ours = fs::absolute(options.ours).string();
  options.work = fs::absolute(options.work).string();
  if (!options.wineOurs.empty()) options.wineOurs = fs::absolute(options.wineOurs).string();
  return options;
}

const char* Verdict(bool met) { return met ? "MET" : "NOT MET"; }

int Main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  // Wine wants a short working folder; the work folder is one.
  if (::chdir(options.work.c_str()) != 0) Fail("cd " + options.work);
  bool ok = true;

  std::vector<Row> rows;
  Syscalls empty;
  if (options.native) {
    std::printf("Native: ours = %s FOLDER/\n", options.ours.c_str());
    std::printf("        find = find FOLDER -maxdepth 1 -type f -iname '*bin' -delete\n");
    std::printf(
        "Times are wall-clock per process, start to exit; ratio = ours/find per repetition.\n");
    if (options.strace) {
      const std::string dir = options.work + "/trace0";
      LayOut(dir, 0);
      empty = Trace({options.ours, dir + "/"}, options.work + "/ours.strace");
      RemoveTree(dir);
    }
    for (const std::size_t n : options.sizes) {
      Row row;
      ok = Measure(options, n, false, row) && ok;
      rows.push_back(row);
    }
  }

  std::vector<Row> wineRows;
  if (!options.wineOurs.empty()) {
    std::printf("\nWine: ours = wine %s Z:\\...\\FOLDER\\\n", options.wineOurs.c_str());
    std::printf("      del  = wine cmd /c del /f /q Z:\\...\\FOLDER\\*bin\n");
    std::printf(
        "Note: del matches 8.3 short names as well, so it also deletes names such as\n"
        "x1.binary (short name X1~XXXX.BIN): not quite the same job. Files left only by\n"
        "ours for that reason are counted, not failed.\n");
    for (const std::size_t n : options.sizes) {
      if (n > options.wineMax) continue;
      Row row;
      ok = Measure(options, n, true, row) && ok;
      wineRows.push_back(row);
    }
  }

  if (options.native) {
    std::printf("\n=== Native: our sweep vs find (medians)\n");
    std::printf("%9s %8s %10s %10s %8s %13s %10s\n", "N", "bins", "ours s", "find s", "ratio",
                "ours peak KiB", "sweep s");
    for (const Row& r : rows) {
      std::printf("%9zu %8zu %10.4f %10.4f %8.3f %13ld %10.4f\n", r.n, r.bins, r.ours, r.theirs,
                  r.ratio, r.oursPeakKib, r.oursInner);
    }
    std::printf("sweep s: the sweep alone, timed inside our process (no process start).\n");
    if (options.strace) {
      std::printf(
          "\n=== System calls (strace -f -c), our sweep of an empty folder: %ld in all, "
          "%ld stat-family, %ld unlink\n",
          empty.total, empty.stats, empty.unlinks);
      std::printf("%9s %8s %10s %11s %10s %14s %11s %11s %11s\n", "N", "bins", "unlinks",
                  "unlink/bin", "stat-fam", "stat/entry*", "calls/entry", "find stats", "find c/e");
      for (const Row& r : rows) {
        const double perEntry = r.n == 0 ? 0 : 1.0 / static_cast<double>(r.n);
        std::printf(
            "%9zu %8zu %10ld %11.4f %10ld %14.6f %11.4f %11ld %11.4f\n", r.n, r.bins,
            r.oursCalls.unlinks,
            r.bins == 0 ? 0.0
                        : static_cast<double>(r.oursCalls.unlinks) / static_cast<double>(r.bins),
            r.oursCalls.stats, static_cast<double>(r.oursCalls.stats - empty.stats) * perEntry,
            static_cast<double>(r.oursCalls.total) * perEntry, r.theirsCalls.stats,
            static_cast<double>(r.theirsCalls.total) * perEntry);
      }
      std::printf("* stat-family calls beyond those of the empty-folder run, per entry.\n");
    }
  }
  if (!wineRows.empty()) {
    std::printf("\n=== Wine: our sweep vs cmd /c del (medians)\n");
    std::printf("%9s %8s %10s %10s %8s %11s %10s %12s\n", "N", "bins", "ours s", "del s", "ratio",
                "ours KiB", "sweep s", "del-only*");
    for (const Row& r : wineRows) {
      std::printf("%9zu %8zu %10.4f %10.4f %8.3f %11ld %10.4f %12zu\n", r.n, r.bins, r.ours,
                  r.theirs, r.ratio, r.oursPeakKib, r.oursInner, r.explained);
    }
    std::printf("* files del removed and ours kept because their 8.3 short name ends in BIN.\n");
  }

  std::printf("\n=== Targets\n");
  for (const Row& r : rows) {
    if (r.n == 100000) {
      std::printf("native ratio at 100,000 <= 1.05: %.3f  %s\n", r.ratio, Verdict(r.ratio <= 1.05));
    }
  }
  if (options.native && options.strace) {
    bool oneUnlink = true, noStats = true;
    for (const Row& r : rows) {
      oneUnlink = oneUnlink && r.oursCalls.unlinks == static_cast<long>(r.bins);
      noStats = noStats && r.oursCalls.stats == empty.stats;
    }
    std::printf("exactly one unlink/unlinkat per bin file: %s\n", Verdict(oneUnlink));
    std::printf("no stat-family call per entry: %s\n", Verdict(noStats));
  }
  const Row* small = nullptr;
  const Row* large = nullptr;
  for (const Row& r : rows) {
    if (r.n == 1000) small = &r;
    if (r.n == 1000000) large = &r;
  }
  if (small != nullptr && large != nullptr) {
    const long growth = large->oursPeakKib - small->oursPeakKib;
    std::printf(
        "peak memory at 1,000,000 within 1 MiB of 1,000: %ld KiB vs %ld KiB (%+ld KiB)  %s\n",
        large->oursPeakKib, small->oursPeakKib, growth, Verdict(growth <= 1024));
  }
  std::printf("\n%s\n", ok ? "Both sides left the same files everywhere."
                           : "!!! FAILED: the sides left different files (see !!! above).");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_driver: %s\n", error.what());
    return 2;
  }
}
