// What ends the program should an exception ever escape (Form1 catches all
// that a command throws, so none should). libstdc++'s default handler for
// std::terminate writes the exception's demangled type to stderr and then
// aborts. A window program has no stderr, so that text goes nowhere, yet the
// handler brings the C++ demangler and the C library's formatted output
// into the exe: about 60 KiB, a fifth of it. Defined here, in the exe
// itself (MinGW builds only), this takes the default's place at link time,
// so the library's version is never pulled in. What matters stays: the
// program ends at once.
#include <cstdlib>
#include <exception>  // declares the handler

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
