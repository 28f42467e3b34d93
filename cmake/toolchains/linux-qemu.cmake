# Linux executables built with Debian's cross compilers, linked statically and run under qemu
# user emulation, so ctest runs the same cases as on the host. Included by the per-architecture
# toolchain files, which set CMAKE_SYSTEM_PROCESSOR (qemu's name for the machine) and
# MIRTAK_LINUX_TRIPLE first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${MIRTAK_LINUX_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${MIRTAK_LINUX_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${MIRTAK_LINUX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${MIRTAK_LINUX_TRIPLE})
