#include "tables/table_commands.h"

#include <gtest/gtest.h>

#include "logic/fake_file_system.h"
#include "tables/system_error.h"

namespace tables {
namespace {

using testing::FakeDisk;
using Names = std::vector<NativeString>;

#ifdef _WIN32
#define SEP "\\"
#else
#define SEP "/"
#endif

// Hands out application folders from a list, one per read, and logs what
// the commands ask of it next to what the sweep does.
class FakePlatform final : public TablePlatform {
 public:
  explicit FakePlatform(FakeDisk& disk) : disk_(disk) {}

  Names folders{VBC_TEXT("H")};
  bool startFails = false;
  int reads = 0;

  NativeString ApplicationFolder() override {
    const NativeString& folder =
        folders[std::min<std::size_t>(static_cast<std::size_t>(reads), folders.size() - 1)];
    ++reads;
    return folder;
  }
  std::unique_ptr<FileSystem> CreateFileSystem() override { return testing::FactoryFor(disk_)(); }
  void StartProgram(const NativeString& program, const Names& arguments,
                    const NativeString& workingFolder, ShowState show) override {
    NativeString call = VBC_TEXT("start ") + program;
    for (const NativeString& a : arguments) call += VBC_TEXT("|") + a;
    call += VBC_TEXT("|in=") + workingFolder + VBC_TEXT("|show=");
    call += static_cast<NativeChar>('0' + static_cast<int>(show));
    disk_.calls.push_back(call);
    if (startFails) throw SystemError(2, VBC_TEXT("The system cannot find the file specified."));
  }

 private:
  FakeDisk& disk_;
};

FakeDisk TableWithBins() {
  FakeDisk disk;
  disk.files = {VBC_TEXT("a.bin"), VBC_TEXT("keep.txt")};
  return disk;
}

TEST(DeleteBinsCommand, SweepsTheTableFolderAndStartsNothing) {
  FakeDisk disk = TableWithBins();
  FakePlatform platform(disk);
  DeleteBins(platform);
  EXPECT_EQ(disk.calls,
            (Names{VBC_TEXT("exists H" SEP "scripts" SEP "table" SEP),
                   VBC_TEXT("open H" SEP "scripts" SEP "table" SEP), VBC_TEXT("delete a.bin")}));
}

TEST(CompileBinsCommand, SweepsFirstThenStartsTheCompilerMinimisedInTheApplicationFolder) {
  FakeDisk disk = TableWithBins();
  FakePlatform platform(disk);
  CompileBins(platform);
  ASSERT_EQ(disk.calls.size(), 4u);
  EXPECT_EQ(disk.calls[2], VBC_TEXT("delete a.bin"));
  EXPECT_EQ(disk.calls[3],
            VBC_TEXT("start H" SEP "req" SEP "compile.exe|table_bin|startgame|in=H|show=2"));
}

TEST(CompileBinsCommand, ReadsTheApplicationFolderAfreshForTheCompiler) {
  FakeDisk disk = TableWithBins();
  FakePlatform platform(disk);
  platform.folders = {VBC_TEXT("first"), VBC_TEXT("second")};
  CompileBins(platform);
  EXPECT_EQ(platform.reads, 2);
  EXPECT_EQ(disk.calls.front(), VBC_TEXT("exists first" SEP "scripts" SEP "table" SEP));
  // One read serves both the compiler's path and its working folder.
  EXPECT_EQ(disk.calls.back(), VBC_TEXT("start second" SEP "req" SEP
                                        "compile.exe|table_bin|startgame|in=second|show=2"));
}

TEST(CompileBinsCommand, StartsTheCompilerEvenWithoutATableFolder) {
  FakeDisk disk = TableWithBins();
  disk.folderExists = false;
  FakePlatform platform(disk);
  CompileBins(platform);
  EXPECT_EQ(disk.calls.back().rfind(VBC_TEXT("start "), 0), 0u);
}

TEST(CompileBinsCommand, SweepErrorLeavesBeforeTheCompilerStarts) {
  FakeDisk disk = TableWithBins();
  disk.fail.getFolder = true;
  FakePlatform platform(disk);
  EXPECT_THROW(CompileBins(platform), SystemError);
  EXPECT_EQ(disk.calls.back().rfind(VBC_TEXT("start "), 0), NativeString::npos);
  EXPECT_EQ(disk.liveObjects, 0);
}

TEST(CompileBinsCommand, StartFailureReachesTheCallerAfterTheSweep) {
  FakeDisk disk = TableWithBins();
  FakePlatform platform(disk);
  platform.startFails = true;
  try {
    CompileBins(platform);
    FAIL() << "no error raised";
  } catch (const SystemError& error) {
    EXPECT_EQ(error.Number(), 2u);
    EXPECT_FALSE(error.Description().empty());
  }
  EXPECT_EQ(disk.deleted.count(VBC_TEXT("a.bin")), 1u);
}

TEST(TablePaths, AreFormedByPlainConcatenation) {
  // A folder that already ends in a separator keeps both separators.
  EXPECT_EQ(TableFolderOf(VBC_TEXT("C:" SEP)), VBC_TEXT("C:" SEP SEP "scripts" SEP "table" SEP));
  EXPECT_EQ(CompilerOf(VBC_TEXT("my host")), VBC_TEXT("my host" SEP "req" SEP "compile.exe"));
}

}  // namespace
}  // namespace tables
