# The posix thread model gives GoogleTest and the tests std::thread.
set(CMAKE_C_COMPILER ${VBC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VBC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VBC_MINGW_TRIPLE}-windres)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-target.cmake)
