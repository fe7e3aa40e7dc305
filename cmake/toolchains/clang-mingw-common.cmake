# Clang cross-compiling for Windows: MinGW-w64's headers, runtime and linker,
# and the C++ library of MinGW-w64's win32-threads GCC (the one the GCC
# toolchain files use, so both compilers build against the same library).
# Clang does not find that GCC's folder by itself (Debian names it after
# the thread model, "12-win32", not after a version), so the GCC says where
# it is, and Clang gets its C++ headers and libraries from there.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${VBC_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${VBC_MINGW_TRIPLE})
set(CMAKE_RC_COMPILER ${VBC_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VBC_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VBC_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${VBC_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

execute_process(COMMAND ${VBC_MINGW_TRIPLE}-g++-win32 -print-file-name=
  OUTPUT_VARIABLE vbc_gcc_dir OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE vbc_gcc_result)
if(NOT vbc_gcc_result EQUAL 0 OR NOT IS_DIRECTORY "${vbc_gcc_dir}/include/c++/${VBC_MINGW_TRIPLE}")
  message(FATAL_ERROR "No C++ library of ${VBC_MINGW_TRIPLE}-g++-win32 found "
    "(asked it: '${vbc_gcc_dir}'); install g++-mingw-w64 (scripts/setup-machine).")
endif()
cmake_path(NORMAL_PATH vbc_gcc_dir)
string(REGEX REPLACE "/$" "" vbc_gcc_dir "${vbc_gcc_dir}")
# Before MinGW-w64's own headers, as GCC has them, so that libstdc++'s
# wrappers (<cstdlib>, <cmath>) find the C headers after themselves.
set(CMAKE_CXX_FLAGS_INIT
  "-isystem ${vbc_gcc_dir}/include/c++ -isystem ${vbc_gcc_dir}/include/c++/${VBC_MINGW_TRIPLE}")
# libstdc++ and libgcc from there; their threads are Windows' own, so no
# winpthreads is needed. LLVM's linker, because GNU ld warns on every link
# that Clang's copies of libstdc++'s type names (std::exception's) differ in
# size from GCC's: the same bytes, which GCC pads to four. lld keeps one copy
# without a word.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${vbc_gcc_dir}")
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/mingw-target.cmake)
