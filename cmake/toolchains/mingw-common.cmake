# MinGW-w64's win32 thread model: where the C++ library needs threads'
# locks, they are Windows' own, so no winpthreads goes into the exe (25 KiB
# less). Nothing built here needs POSIX threads: the product and its Windows
# tests start no thread of their own, and GoogleTest locks with Windows'
# critical sections there. GCC 12's win32 model has no std::thread, no
# std::mutex and no std::condition_variable: the tests that start threads
# run natively, and GoogleTest gets what it lacks from tests/CMakeLists.txt.
set(CMAKE_C_COMPILER ${VBC_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VBC_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${VBC_MINGW_TRIPLE}-windres)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-target.cmake)
