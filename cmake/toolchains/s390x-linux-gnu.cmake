# Linux on s390x: a big-endian machine. Tests run under qemu user emulation.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(MIRTAK_LINUX_TRIPLE s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-qemu.cmake)
