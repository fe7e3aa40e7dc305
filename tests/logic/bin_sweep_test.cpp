// The sweep's failure policy, one injected failure at a time.
#include "tables/bin_sweep.h"

#include <gtest/gtest.h>

#include "logic/fake_file_system.h"

namespace tables {
namespace {

using testing::FactoryFor;
using testing::FakeDisk;
using Names = std::vector<NativeString>;

const NativeString kFolder = VBC_TEXT("table/");

FakeDisk MixedFolder() {
  FakeDisk disk;
  disk.files = {VBC_TEXT("a.bin"),     VBC_TEXT("d.txt"), VBC_TEXT("B.BIN"),
                VBC_TEXT("e.bin.bak"), VBC_TEXT("cabin"), VBC_TEXT("c.Bin")};
  return disk;
}

TEST(BinSweep, DeletesExactlyTheBinFilesAndReleasesEverything) {
  FakeDisk disk = MixedFolder();
  DeleteAllBins(kFolder, FactoryFor(disk));
  EXPECT_EQ(disk.Remaining(), (Names{VBC_TEXT("d.txt"), VBC_TEXT("e.bin.bak")}));
  EXPECT_EQ(disk.liveObjects, 0);
  EXPECT_EQ(disk.calls.front(), VBC_TEXT("exists table/"));
}

TEST(BinSweep, MissingFolderIsNotAnError) {
  FakeDisk disk = MixedFolder();
  disk.folderExists = false;
  EXPECT_NO_THROW(DeleteAllBins(kFolder, FactoryFor(disk)));
  EXPECT_EQ(disk.calls, Names{VBC_TEXT("exists table/")});  // never opened
  EXPECT_EQ(disk.liveObjects, 0);
}

// The three failures before the folder is open reach the caller unchanged.
TEST(BinSweep, FailuresBeforeTheFolderIsOpenReachTheCaller) {
  struct Case {
    const char* name;
    void (*arm)(FakeDisk&);
  };
  const Case cases[] = {
      {"create", [](FakeDisk& d) { d.fail.create = true; }},
      {"exists", [](FakeDisk& d) { d.fail.exists = true; }},
      {"open", [](FakeDisk& d) { d.fail.getFolder = true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDisk disk = MixedFolder();
    c.arm(disk);
    try {
      DeleteAllBins(kFolder, FactoryFor(disk));
      ADD_FAILURE() << "no error raised";
    } catch (const SystemError& error) {
      EXPECT_EQ(error.Number(), 424u);
    }
    EXPECT_TRUE(disk.deleted.empty());
    EXPECT_EQ(disk.liveObjects, 0);
  }
}

TEST(BinSweep, ListingFailureDeletesNothingAndReturnsNormally) {
  FakeDisk disk = MixedFolder();
  disk.fail.files = true;
  EXPECT_NO_THROW(DeleteAllBins(kFolder, FactoryFor(disk)));
  EXPECT_TRUE(disk.deleted.empty());
  EXPECT_EQ(disk.liveObjects, 0);
}

TEST(BinSweep, UnreadableNameSkipsOnlyThatFile) {
  FakeDisk disk = MixedFolder();
  disk.fail.name = {VBC_TEXT("B.BIN")};
  EXPECT_NO_THROW(DeleteAllBins(kFolder, FactoryFor(disk)));
  EXPECT_EQ(disk.Remaining(), (Names{VBC_TEXT("d.txt"), VBC_TEXT("B.BIN"), VBC_TEXT("e.bin.bak")}));
  EXPECT_EQ(disk.liveObjects, 0);
}

TEST(BinSweep, FailedDeleteLeavesThatFileAndGoesOn) {
  FakeDisk disk = MixedFolder();
  disk.fail.remove = {VBC_TEXT("a.bin"), VBC_TEXT("cabin")};
  EXPECT_NO_THROW(DeleteAllBins(kFolder, FactoryFor(disk)));
  EXPECT_EQ(disk.Remaining(), (Names{VBC_TEXT("a.bin"), VBC_TEXT("d.txt"), VBC_TEXT("e.bin.bak"),
                                     VBC_TEXT("cabin")}));
  EXPECT_EQ(disk.liveObjects, 0);
}

TEST(BinSweep, SteppingFailureEndsTheWalkKeepingWhatWasDone) {
  FakeDisk disk = MixedFolder();
  disk.fail.nextFailsAfter = 3;  // a.bin, d.txt, B.BIN seen, then it fails
  EXPECT_NO_THROW(DeleteAllBins(kFolder, FactoryFor(disk)));
  EXPECT_EQ(disk.deleted, (std::set<NativeString>{VBC_TEXT("a.bin"), VBC_TEXT("B.BIN")}));
  EXPECT_EQ(disk.liveObjects, 0);
}

TEST(BinSweep, SecondRunFindsNothingToDo) {
  FakeDisk disk = MixedFolder();
  DeleteAllBins(kFolder, FactoryFor(disk));
  disk.files = disk.Remaining();
  disk.calls.clear();
  DeleteAllBins(kFolder, FactoryFor(disk));
  for (const NativeString& call : disk.calls) {
    EXPECT_EQ(call.rfind(VBC_TEXT("delete "), 0), NativeString::npos) << "deleted again";
  }
}

}  // namespace
}  // namespace tables
