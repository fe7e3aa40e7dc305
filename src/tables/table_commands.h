// The two commands behind the buttons: Delete Bins and Compile Bins.
#pragma once

#include <memory>
#include <vector>

#include "tables/file_system.h"
#include "tables/native_string.h"

namespace tables {

// How a started program's first window is shown (the values of SW_*).
enum class ShowState : int {
  kNormal = 1,
  kMinimized = 2,  // minimised, with the focus
};

// What the commands need of the operating system.
class TablePlatform {
 public:
  virtual ~TablePlatform() = default;

  // The folder holding the running executable, without a trailing separator.
  virtual NativeString ApplicationFolder() = 0;
  // A file-system service for one sweep.
  virtual std::unique_ptr<FileSystem> CreateFileSystem() = 0;
  // Starts exactly `program` with the arguments, as a separate process in
  // `workingFolder`, and returns at once without waiting for it. Throws
  // when it cannot start.
  virtual void StartProgram(const NativeString& program, const std::vector<NativeString>& arguments,
                            const NativeString& workingFolder, ShowState show) = 0;
};

#ifdef _WIN32
inline constexpr NativeStringView kTableFolderSuffix = L"\\scripts\\table\\";
inline constexpr NativeStringView kCompilerSuffix = L"\\req\\compile.exe";
#else
inline constexpr NativeStringView kTableFolderSuffix = "/scripts/table/";
inline constexpr NativeStringView kCompilerSuffix = "/req/compile.exe";
#endif
inline constexpr NativeStringView kCompilerArgument1 = VBC_TEXT("table_bin");
inline constexpr NativeStringView kCompilerArgument2 = VBC_TEXT("startgame");

// The table folder of an application folder: plain concatenation.
NativeString TableFolderOf(NativeStringView applicationFolder);
// The compiler program of an application folder: plain concatenation.
NativeString CompilerOf(NativeStringView applicationFolder);

// Deletes the bin files in the table folder. Errors of the sweep propagate.
void DeleteBins(TablePlatform& platform);

// Deletes the bin files, then starts the table compiler minimised without
// waiting, in the application folder whatever folder the tool was started
// from. The compiler starts even when the table folder is missing; only an
// error of the sweep stops it. Errors propagate.
void CompileBins(TablePlatform& platform);

}  // namespace tables
