#include "tables/bin_sweep.h"

#include "tables/bin_name.h"

namespace tables {

void DeleteAllBins(const NativeString& FolderSpec, const FileSystemFactory& createFileSystem) {
  // Failures up to the opening of the folder are the caller's to hear of.
  const std::unique_ptr<FileSystem> fileSystem = createFileSystem();
  if (!fileSystem->FolderExists(FolderSpec)) return;
  const std::unique_ptr<Folder> folder = fileSystem->GetFolder(FolderSpec);

  // From here on the sweep ignores failures and goes on: the user asked for
  // a clean folder, and one stubborn file must not stop the rest.
  std::unique_ptr<FileWalk> files;
  try {
    files = folder->Files();
  } catch (...) {
    return;
  }
  for (;;) {
    try {
      if (!files->Next()) return;
    } catch (...) {
      return;  // The walk cannot go on; what was deleted stays deleted.
    }
    try {
      if (IsBinFile(files->Name())) files->DeleteForce();
    } catch (...) {
      // This file stays; go on with the next.
    }
  }
}

}  // namespace tables
