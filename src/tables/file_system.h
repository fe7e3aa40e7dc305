// The file-system service the bin sweep works through. Each step of the sweep
// is one call here, so a test can make any single step fail.
#pragma once

#include <functional>
#include <memory>

#include "tables/native_string.h"

namespace tables {

// The files lying directly in one folder, walked once, in the folder's own
// order. Directories, and links that lead to directories, are not files.
class FileWalk {
 public:
  virtual ~FileWalk() = default;

  // Steps to the next file; false once there is none. Throws when stepping
  // fails.
  virtual bool Next() = 0;
  // The current file's name, without the folder. Throws when it cannot be read.
  virtual NativeStringView Name() = 0;
  // Removes the current file, also when it is marked read-only. A link is
  // removed itself; what it points to is never touched. Throws on failure.
  virtual void DeleteForce() = 0;
};

// A folder opened for listing.
class Folder {
 public:
  virtual ~Folder() = default;
  // Throws when the listing cannot be had.
  virtual std::unique_ptr<FileWalk> Files() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True exactly when a folder exists at the path; a trailing separator is
  // accepted. A path that leads to no folder (nothing there, a file, a link
  // that leads nowhere or cannot be resolved) is false. Throws when the
  // question cannot be answered (a folder that cannot be read).
  virtual bool FolderExists(const NativeString& path) = 0;
  // Opens the folder. Throws on failure.
  virtual std::unique_ptr<Folder> GetFolder(const NativeString& path) = 0;
};

// Makes the service for one sweep; may throw.
using FileSystemFactory = std::function<std::unique_ptr<FileSystem>()>;

}  // namespace tables
