# Windows executables built with Debian's MinGW-w64 cross compilers (the POSIX thread model).
# Included by the per-architecture toolchain files, which set MIRTAK_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MIRTAK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIRTAK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MIRTAK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MIRTAK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static: the executables need no compiler DLL beside them, only the system C runtime.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
