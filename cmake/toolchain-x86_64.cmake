# The same sources for x86_64: this tree's programs run under 64-bit Wine.
# The posix thread model is the one GoogleTest compiles with.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TONVARO_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TONVARO_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TONVARO_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TONVARO_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TONVARO_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
