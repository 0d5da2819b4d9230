# Cross build for 64-bit Windows with Debian's MinGW-w64 and run under wine64.
# The -posix compilers: GoogleTest needs std::mutex, which the -win32 threads lack.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NARVO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NARVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NARVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NARVO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NARVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, so each .exe (the tests too) needs no DLL beyond Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian installs the 64-bit loader outside PATH; a wine64 on PATH wins.
find_program(NARVO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
# With the address space randomised, wine's loader gets its heap anywhere in
# the gigabyte above it; about one start in two thousand it covers 0x7ffe0000,
# where wine then fails to map the shared user data (c0000018), and the program
# ends with status 1 before it runs. setarch -R starts wine without the
# randomisation: every start gets the same layout.
find_program(NARVO_SETARCH setarch NO_CMAKE_FIND_ROOT_PATH)
if(NARVO_WINE64 AND NARVO_SETARCH)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NARVO_SETARCH} x86_64 -R ${NARVO_WINE64})
elseif(NARVO_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NARVO_WINE64})
endif()
