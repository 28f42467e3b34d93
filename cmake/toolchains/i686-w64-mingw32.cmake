# Windows x86, 32-bit. Built and checked only: 32-bit x86 processes do not run on CI machines.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MIRTAK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
