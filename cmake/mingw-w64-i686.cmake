# Cross build for 32-bit Windows with Debian's MinGW-w64. Build only: this
# machine's wine has no 32-bit loader, so nothing built here is run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NARVO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${NARVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NARVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NARVO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NARVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, so each .exe needs no DLL beyond Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
