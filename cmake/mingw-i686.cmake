# Cross build for 32-bit Windows (PE32): the shipped program. Its tests run under 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSARIX_TRIPLE i686-w64-mingw32)
# The -posix compilers carry std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER   ${TESSARIX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARIX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TESSARIX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSARIX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
