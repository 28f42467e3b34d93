# Windows x86-64. Tests run under wine (wine64), so ctest runs the same cases as on the host.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MIRTAK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

find_program(MIRTAK_WINE NAMES wine wine64 wine-stable)
if(MIRTAK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MIRTAK_WINE})
endif()
