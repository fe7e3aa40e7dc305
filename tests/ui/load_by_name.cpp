// Loads one DLL by name, as a program does that leaves the search order as
// it is: the planted-DLL test's proof that a probe beside a program runs
// when nothing keeps it out. Exits with 0 when the DLL was loaded.
//   load_by_name NAME
#include <windows.h>

#include "platform/win32/unique_handle.h"

// The entry point (-municode). No header declares it, as none declares main.
int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const platform::UniqueModule module(::LoadLibraryW(argv[1]));
  return module ? 0 : 1;
}
