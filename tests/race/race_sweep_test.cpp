// The sweep while another thread keeps adding and removing entries in the
// same folder: bin files, other files, folders with bin names and links to
// folders, some of them taking over a name a file had a moment before. The
// sweep must not fail, must remove every bin file that was there for the
// whole sweep, and must leave everything else as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/system_platform.h"
#include "posix/temp_folder.h"
#include "tables/bin_sweep.h"

namespace tables {
namespace {

using testing::TempFolder;
using Clock = std::chrono::steady_clock;

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

void WriteFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
}

// The content of a file, or "<missing>".
std::string ReadFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return "<missing>";
  std::string content;
  char buffer[256];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

// Adds and removes entries in `folder` until told to stop. Everything it
// makes that is not a bin file it checks before removing it itself: it must
// still be there, unchanged. What goes wrong is collected as text.
class Churn {
 public:
  Churn(std::string folder, std::string outsideFolder)
      : folder_(std::move(folder)), outsideFolder_(std::move(outsideFolder)) {}

  void Run(const std::atomic<bool>& stop, const std::atomic<bool>& sweeping) {
    std::uint64_t k = 0;
    while (!stop.load()) {
      Step(k++);
      ++operations_;
      if (sweeping.load()) ++duringSweeps_;
      while (live_.size() > 40) Retire();
    }
    while (!live_.empty()) Retire();
  }

  std::uint64_t Operations() const { return operations_; }
  std::uint64_t OperationsDuringSweeps() const { return duringSweeps_; }
  std::vector<std::string> Faults() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
  }

 private:
  enum class What { kBinFile, kOtherFile, kFolder, kLinkToFolder, kFileThenFolder };
  struct Entry {
    What what;
    std::string name;
    std::string content;
  };

  void Step(std::uint64_t k) {
    const std::string n = std::to_string(k);
    Entry entry;
    switch (k % 8) {
      case 0:
      case 3:
        entry = {What::kBinFile, "c" + n + (k % 16 == 0 ? ".BIN" : "cabin"), ""};
        break;
      case 1:
        entry = {What::kOtherFile, "c" + n + ".txt", "churn " + n};
        break;
      case 4:
        entry = {What::kOtherFile, "c" + n + ".binary", "churn " + n};
        break;
      case 6:
        entry = {What::kOtherFile, "c" + n + ".bin.bak", "churn " + n};
        break;
      case 2:
        entry = {What::kFolder, "cd" + n + ".bin", "inner " + n};
        break;
      case 5:
        entry = {What::kLinkToFolder, "cl" + n + ".bin", ""};
        break;
      default:
        entry = {What::kFileThenFolder, "cw" + n + ".bin", "inner " + n};
        break;
    }
    const std::string path = folder_ + "/" + entry.name;
    switch (entry.what) {
      case What::kBinFile:
        Create(path, "bin " + n, k % 5 == 0 ? 0444 : 0644);
        break;
      case What::kOtherFile:
        Create(path, entry.content, k % 5 == 1 ? 0444 : 0644);
        break;
      case What::kFolder:
        MakeFolder(path, entry.content);
        break;
      case What::kLinkToFolder:
        if (::symlink(outsideFolder_.c_str(), path.c_str()) != 0) Fault("symlink " + path);
        break;
      case What::kFileThenFolder:
        // A bin file the sweep may see as a file and find a folder in its
        // place when it comes to delete it.
        Create(path, "bin " + n, 0644);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fault("unlink " + path);
        MakeFolder(path, entry.content);
        break;
    }
    live_.push_back(std::move(entry));
  }

  // Removes the oldest entry, checking first that what is no bin file was
  // left alone.
  void Retire() {
    const Entry entry = std::move(live_.front());
    live_.pop_front();
    const std::string path = folder_ + "/" + entry.name;
    switch (entry.what) {
      case What::kBinFile:
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fault("unlink " + path);
        break;
      case What::kOtherFile:
        if (ReadFile(path) != entry.content) Fault("changed or gone: " + entry.name);
        if (::unlink(path.c_str()) != 0) Fault("unlink " + path);
        break;
      case What::kFolder:
      case What::kFileThenFolder:
        if (ReadFile(path + "/inner.bin") != entry.content) Fault("folder touched: " + entry.name);
        if (::unlink((path + "/inner.bin").c_str()) != 0 || ::rmdir(path.c_str()) != 0) {
          Fault("remove folder " + path);
        }
        break;
      case What::kLinkToFolder:
        if (::unlink(path.c_str()) != 0) Fault("link to a folder gone: " + entry.name);
        break;
    }
  }

  void Create(const std::string& path, const std::string& content, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return Fault("create " + path);
    if (::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
      Fault("write " + path);
    }
    ::close(fd);
  }

  void MakeFolder(const std::string& path, const std::string& content) {
    if (::mkdir(path.c_str(), 0755) != 0) return Fault("mkdir " + path);
    Create(path + "/inner.bin", content, 0644);
  }

  void Fault(const std::string& what) {
    const std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(what + " (" + std::strerror(errno) + ")");
  }

  const std::string folder_;
  const std::string outsideFolder_;
  std::deque<Entry> live_;
  std::uint64_t operations_ = 0;
  std::atomic<std::uint64_t> duringSweeps_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> faults_;
};

TEST(SweepRace, FolderChangingDuringTheSweepLosesOnlyItsBinFiles) {
  TempFolder outside;
  const std::string outsideFile = outside.Write("target.bin", "outside").string();
  std::filesystem::create_directory(outside.Path() / "folder");
  TempFolder t;
  const std::string folder = t.Path().string();

  // Entries that stay for the whole test, each with content of its own.
  std::vector<std::pair<std::string, std::string>> keep;
  for (int i = 0; i < 150; ++i) {
    const std::string n = std::to_string(i);
    for (const std::string& name :
         {"k" + n + ".txt", "x" + n + ".binary", "e" + n + ".bin.bak", "bi" + n, "BIN" + n}) {
      keep.emplace_back(name, "keep " + name);
      WriteFile(folder + "/" + name, "keep " + name, i % 7 == 0 ? 0444 : 0644);
    }
  }
  std::filesystem::create_directory(t.Path() / "sub.bin");
  WriteFile(folder + "/sub.bin/inner.bin", "keep inner");

  std::atomic<bool> stop{false};
  std::atomic<bool> sweeping{false};
  Churn churn(folder, (outside.Path() / "folder").string());
  std::thread churner([&] { churn.Run(stop, sweeping); });

  // Sweep again and again: at least a second's worth with the other thread
  // busy meanwhile, at most a few seconds (the sanitizers and valgrind are
  // slow).
  const auto start = Clock::now();
  int rounds = 0;
  std::vector<std::string> stayed;
  for (;;) {
    const auto elapsed = Clock::now() - start;
    if (elapsed > std::chrono::seconds(1) && churn.OperationsDuringSweeps() >= 50) break;
    if (elapsed > std::chrono::seconds(5) && rounds >= 3) break;
    // Bin files that are there for the whole sweep: the sweep must take them.
    std::vector<std::string> bins;
    for (int i = 0; i < 100; ++i) {
      const std::string n = std::to_string(rounds) + "_" + std::to_string(i);
      const std::string name = i % 4 == 0   ? "s" + n + ".bin"
                               : i % 4 == 1 ? "S" + n + ".BIN"
                               : i % 4 == 2 ? n + "cabin"
                                            : n + "robin";
      WriteFile(folder + "/" + name, "bin", i % 9 == 0 ? 0444 : 0644);
      bins.push_back(name);
    }
    const std::string link = "link" + std::to_string(rounds) + ".bin";
    ASSERT_EQ(::symlink(outsideFile.c_str(), (folder + "/" + link).c_str()), 0);
    bins.push_back(link);

    sweeping = true;
    EXPECT_NO_THROW(DeleteAllBins(folder + "/", platform::CreateFileSystem));
    sweeping = false;
    ++rounds;
    for (const std::string& name : bins) {
      if (Exists(folder + "/" + name)) stayed.push_back(name);
    }
  }
  stop = true;
  churner.join();

  EXPECT_TRUE(stayed.empty()) << stayed.size() << " bin files stayed, e.g. " << stayed.front();
  const std::vector<std::string> faults = churn.Faults();
  EXPECT_TRUE(faults.empty()) << faults.size() << " faults, e.g. " << faults.front();
  for (const auto& [name, content] : keep) {
    EXPECT_EQ(ReadFile(folder + "/" + name), content) << name;
  }
  EXPECT_EQ(ReadFile(folder + "/sub.bin/inner.bin"), "keep inner");
  EXPECT_EQ(ReadFile(outsideFile), "outside");
  // The test proves something only if the folder really changed mid-sweep.
  EXPECT_GT(churn.OperationsDuringSweeps(), 0U) << "after " << rounds << " sweeps";
  RecordProperty("sweeps", rounds);
  RecordProperty("churn_operations", static_cast<int>(churn.Operations()));
  RecordProperty("churn_operations_during_sweeps",
                 static_cast<int>(churn.OperationsDuringSweeps()));
}

}  // namespace
}  // namespace tables
