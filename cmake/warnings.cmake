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
