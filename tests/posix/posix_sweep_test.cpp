// The sweep on real folders, through the POSIX services.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/system_platform.h"
#include "posix/temp_folder.h"
#include "tables/bin_sweep.h"

namespace tables {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using Names = std::set<std::string>;

void Sweep(const fs::path& folder) {
  DeleteAllBins(folder.string() + "/", platform::CreateFileSystem);
}

TEST(PosixSweep, MixedFolderLosesExactlyItsBinFiles) {
  TempFolder t;
  for (const char* name :
       {"a.bin", "B.BIN", "c.Bin", "cabin", "d.txt", "e.bin.bak", "bin", "x.binary", "sub/f.bin"}) {
    t.Write(name);
  }
  fs::create_directory(t.Path() / "dir.bin");
  Sweep(t.Path());
  EXPECT_EQ(t.Tree(), (Names{"d.txt", "e.bin.bak", "x.binary", "sub", "sub/f.bin", "dir.bin"}));
}

TEST(PosixSweep, ReadOnlyFilesAreDeletedToo) {
  TempFolder t;
  fs::permissions(t.Write("g.bin"), fs::perms::owner_read);
  Sweep(t.Path());
  EXPECT_TRUE(t.Tree().empty());
}

TEST(PosixSweep, LinksAreRemovedButNeverFollowed) {
  TempFolder outside;
  const fs::path target = outside.Write("target.bin", "keep me");
  fs::create_directory(outside.Path() / "folder");
  outside.Write("folder/inner.bin");

  TempFolder t;
  fs::create_symlink(target, t.Path() / "link.bin");
  fs::create_symlink(outside.Path() / "folder", t.Path() / "dirlink.bin");
  fs::create_symlink(t.Path() / "gone", t.Path() / "dangling.bin");
  fs::create_symlink(target, t.Path() / "link.txt");
  Sweep(t.Path());

  EXPECT_EQ(t.Tree(), (Names{"dirlink.bin", "link.txt"}));
  EXPECT_EQ(outside.Tree(), (Names{"target.bin", "folder", "folder/inner.bin"}));
}

TEST(PosixSweep, MissingEmptyAndRepeatedRunsChangeNothingElse) {
  TempFolder t;
  EXPECT_NO_THROW(Sweep(t.Path() / "missing"));
  EXPECT_NO_THROW(Sweep(t.Path()));
  t.Write("a.bin");
  t.Write("keep");
  Sweep(t.Path());
  Sweep(t.Path());
  EXPECT_EQ(t.Tree(), Names{"keep"});
  // A file where the folder should be is not a folder.
  EXPECT_NO_THROW(Sweep(t.Path() / "keep"));
  EXPECT_EQ(t.Tree(), Names{"keep"});
  // Nor is a link to itself.
  fs::create_symlink(t.Path() / "loop", t.Path() / "loop");
  EXPECT_NO_THROW(Sweep(t.Path() / "loop"));
}

}  // namespace
}  // namespace tables
