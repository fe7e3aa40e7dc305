// An in-memory folder whose every step can be made to fail, and that counts
// the objects it hands out so a test can see that each was released.
#pragma once

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tables/file_system.h"
#include "tables/system_error.h"

namespace tables::testing {

struct FakeFailures {
  bool create = false;
  bool exists = false;
  bool getFolder = false;
  bool files = false;
  std::set<NativeString> name;    // reading these names fails
  std::set<NativeString> remove;  // deleting these fails
  int nextFailsAfter = -1;        // stepping fails once this many were seen
};

struct FakeDisk {
  bool folderExists = true;
  std::vector<NativeString> files;  // in walk order
  std::set<NativeString> deleted;
  std::vector<NativeString> calls;  // the service calls, in order
  FakeFailures fail;
  int liveObjects = 0;

  std::vector<NativeString> Remaining() const {
    std::vector<NativeString> left;
    for (const NativeString& f : files) {
      if (deleted.count(f) == 0) left.push_back(f);
    }
    return left;
  }
};

inline SystemError FakeError(const char* where) {
  return SystemError(424, NativeString(VBC_TEXT("injected failure")) +
                              NativeString(where, where + std::char_traits<char>::length(where)));
}

class Counted {
 public:
  explicit Counted(FakeDisk& disk) : disk_(disk) { ++disk_.liveObjects; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  ~Counted() { --disk_.liveObjects; }

 protected:
  FakeDisk& disk_;
};

class FakeWalk final : public FileWalk, Counted {
 public:
  using Counted::Counted;
  bool Next() override {
    if (disk_.fail.nextFailsAfter == static_cast<int>(index_)) throw FakeError("next");
    if (index_ >= disk_.files.size()) return false;
    current_ = disk_.files[index_++];
    return true;
  }
  NativeStringView Name() override {
    if (disk_.fail.name.count(current_) != 0) throw FakeError("name");
    return current_;
  }
  void DeleteForce() override {
    disk_.calls.push_back(VBC_TEXT("delete ") + current_);
    if (disk_.fail.remove.count(current_) != 0) throw FakeError("delete");
    disk_.deleted.insert(current_);
  }

 private:
  std::size_t index_ = 0;
  NativeString current_;
};

class FakeFolder final : public Folder, Counted {
 public:
  using Counted::Counted;
  std::unique_ptr<FileWalk> Files() override {
    if (disk_.fail.files) throw FakeError("files");
    return std::make_unique<FakeWalk>(disk_);
  }
};

class FakeFileSystem final : public FileSystem, Counted {
 public:
  using Counted::Counted;
  bool FolderExists(const NativeString& path) override {
    disk_.calls.push_back(VBC_TEXT("exists ") + path);
    if (disk_.fail.exists) throw FakeError("exists");
    return disk_.folderExists;
  }
  std::unique_ptr<Folder> GetFolder(const NativeString& path) override {
    disk_.calls.push_back(VBC_TEXT("open ") + path);
    if (disk_.fail.getFolder) throw FakeError("open");
    return std::make_unique<FakeFolder>(disk_);
  }
};

inline FileSystemFactory FactoryFor(FakeDisk& disk) {
  return [&disk]() -> std::unique_ptr<FileSystem> {
    if (disk.fail.create) throw FakeError("create");
    return std::make_unique<FakeFileSystem>(disk);
  };
}

}  // namespace tables::testing
