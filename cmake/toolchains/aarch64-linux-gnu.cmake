# Linux on aarch64 (64-bit ARM, little-endian). Tests run under qemu user emulation.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(MIRTAK_LINUX_TRIPLE aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-qemu.cmake)
