#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "tables/decimal.h"
#include "tables/native_string.h"

namespace tables {

// A failure reported by the operating system: its error number and the
// system's own text for it. This is what leaves a table command.
class SystemError : public std::exception {
 public:
  SystemError(std::uint32_t number, NativeString description)
      : number_(number),
        description_(std::move(description)),
        what_("system error " + DecimalText<char>(number)) {}

  std::uint32_t Number() const noexcept { return number_; }
  const NativeString& Description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::uint32_t number_;
  NativeString description_;
  std::string what_;
};

}  // namespace tables
