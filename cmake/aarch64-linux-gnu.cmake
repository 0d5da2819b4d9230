# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; the
# programs and tests run under qemu-aarch64-static (qemu-user-static).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(NARVO_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${NARVO_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${NARVO_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${NARVO_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static (the tests too): qemu then needs no ARM system libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(NARVO_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 NO_CMAKE_FIND_ROOT_PATH)
if(NARVO_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NARVO_QEMU_AARCH64})
endif()
