# Windows x86, 32-bit. Tests run under wine where its 32-bit half (wine32, Debian's i386 wine) is
# installed; elsewhere the build is only checked (scripts/ci-cross.sh).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MIRTAK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

find_program(MIRTAK_WINE NAMES wine wine-stable)
if(MIRTAK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MIRTAK_WINE})
endif()
