// Fuzzes the bin-name rule against a model written the plain way: a name is
// a bin file when it ends in one of the eight spellings of "bin".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tables/bin_name.h"

namespace {

bool Model(std::string_view name) {
  for (const std::string_view spelling : {"bin", "biN", "bIn", "bIN", "Bin", "BiN", "BIn", "BIN"}) {
    if (name.size() >= 3 && name.substr(name.size() - 3) == spelling) return true;
  }
  return false;
}

void Check(bool condition, const char* what, std::string_view input) {
  if (condition) return;
  std::fprintf(stderr, "bin_name_fuzz: %s for \"", what);
  for (const char c : input) std::fprintf(stderr, "\\x%02x", static_cast<unsigned char>(c));
  std::fprintf(stderr, "\"\n");
  std::abort();
}

}  // namespace

// libFuzzer's entry point; libFuzzer declares it in no header.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const bool answer = tables::IsBinFile(name);
  Check(answer == Model(name), "IsBinFile disagrees with the model", name);
  // Asked about a full path, the rule gives the file name's answer.
  if (size >= 3) {
    Check(tables::IsBinFile("/games/host/scripts/table/" + name) == answer,
          "the folder in front changed the answer", name);
  }
  return 0;
}
