#pragma once

#include "tables/native_string.h"

namespace tables {

// True when the path ends in "bin" in any letter case: its last three
// characters, upper-cased, read "BIN". Given the path of a file, this is the
// same as asking whether the file's name is at least three characters long
// and ends in b, i, n, because a separator stands in front of the name.
//
// Upper-casing is the plain, locale-independent mapping: under it no letter
// outside ASCII becomes B, I or N (the dotless i stays as it is), so the
// answer never depends on the user's language settings.
bool IsBinFile(NativeStringView path) noexcept;

}  // namespace tables
