# Strict warnings for the project's own targets (not for GoogleTest's).
add_library(vbc_warnings INTERFACE)
if(MSVC)
  target_compile_options(vbc_warnings INTERFACE /W4 /permissive- /utf-8
    $<$<BOOL:${VBC_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(vbc_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    -Wcast-qual -Wformat=2 -Wundef -Wnon-virtual-dtor -Wold-style-cast
    -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
    $<$<BOOL:${VBC_WARNINGS_AS_ERRORS}>:-Werror>)
endif()
# Clang's own warnings that find faults GCC's above do not see (in every Clang
# build: the windows-*-clang presets and the fuzz targets):
#   -Wcomma                       a comma operator where a ';' or '&&' was meant
#   -Wconditional-uninitialized   a variable read on a path that never set it
#   -Wloop-analysis               a loop whose condition's variables never change,
#                                 or a range-for that copies each element by mistake
#   -Wshadow-all                  -Wshadow plus fields and uncaptured locals shadowed
#   -Wstring-conversion           a string literal taken as bool (assert("..."), if ("x"))
#   -Wdeprecated-copy-with-dtor   a class with a destructor copied by the implicit
#                                 copy: two owners of one handle, closed twice
#   -Wmissing-prototypes          a function meant to be file-local that is not:
#   -Wmissing-variable-declarations  two files' definitions of a name silently merge
#   -Wunreachable-code-aggressive code that can never run: a misplaced return or break
#   -Wtautological-constant-in-range-compare  a check that can never fail, by the
#                                 range of the type it compares
#   -Wundefined-reinterpret-cast  a reinterpret_cast whose use is undefined behaviour
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(vbc_warnings INTERFACE
    -Wcomma -Wconditional-uninitialized -Wloop-analysis -Wshadow-all -Wstring-conversion
    -Wdeprecated-copy-with-dtor -Wmissing-prototypes -Wmissing-variable-declarations
    -Wunreachable-code-aggressive -Wtautological-constant-in-range-compare
    -Wundefined-reinterpret-cast)
endif()
