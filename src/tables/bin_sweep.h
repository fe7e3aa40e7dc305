#pragma once

#include "tables/file_system.h"
#include "tables/native_string.h"

namespace tables {

// Deletes every bin file (see IsBinFile) lying directly in the folder
// FolderSpec, with force. Subfolders and their contents are never touched.
//
// Only three failures leave the sweep, as the error raised: the service
// cannot be made, the existence check fails, or the folder cannot be opened.
// A folder that does not exist is not a failure: nothing happens. Once the
// folder is open nothing escapes: a file whose name cannot be read or that
// cannot be deleted stays and the walk goes on; when the listing cannot be
// had, or stepping to the next file fails, the sweep simply ends.
void DeleteAllBins(const NativeString& FolderSpec, const FileSystemFactory& createFileSystem);

}  // namespace tables
