#include "tables/bin_name.h"

namespace tables {
namespace {

constexpr NativeChar AsciiUpper(NativeChar c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<NativeChar>(c - 'a' + 'A') : c;
}

}  // namespace

bool IsBinFile(NativeStringView path) noexcept {
  if (path.size() < 3) return false;
  const NativeStringView tail = path.substr(path.size() - 3);
  return AsciiUpper(tail[0]) == 'B' && AsciiUpper(tail[1]) == 'I' && AsciiUpper(tail[2]) == 'N';
}

}  // namespace tables
