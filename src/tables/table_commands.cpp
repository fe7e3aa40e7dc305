#include "tables/table_commands.h"

#include "tables/bin_sweep.h"

namespace tables {

NativeString TableFolderOf(NativeStringView applicationFolder) {
  NativeString path(applicationFolder);
  path += kTableFolderSuffix;
  return path;
}

NativeString CompilerOf(NativeStringView applicationFolder) {
  NativeString path(applicationFolder);
  path += kCompilerSuffix;
  return path;
}

void DeleteBins(TablePlatform& platform) {
  // The application folder is read afresh for every use: nothing is cached
  // between (or within) commands.
  DeleteAllBins(TableFolderOf(platform.ApplicationFolder()),
                [&platform] { return platform.CreateFileSystem(); });
}

void CompileBins(TablePlatform& platform) {
  DeleteBins(platform);  // runs to its end before the compiler starts
  // The compiler resolves its relative arguments against its working
  // folder: that is the application folder, as a double click gives it.
  const NativeString folder = platform.ApplicationFolder();
  platform.StartProgram(CompilerOf(folder),
                        {NativeString(kCompilerArgument1), NativeString(kCompilerArgument2)},
                        folder, ShowState::kMinimized);
}

}  // namespace tables
