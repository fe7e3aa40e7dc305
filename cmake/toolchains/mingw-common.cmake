# The posix thread model gives GoogleTest and the tests std::thread.
set(CMAKE_C_COMPILER ${VBC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VBC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VBC_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VBC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under Wine, in the prefix that scripts/wine-ctest prepares.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-exec)
