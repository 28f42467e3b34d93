# GoogleTest for the tests. The host uses the installed package; a foreign target builds it from
# the sources Debian ships, since the installed libraries are for the host only.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(MIRTAK_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for foreign targets")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${MIRTAK_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# It defines GTest::gtest_main itself. Third-party code: our warning flags (and -Werror) are not
# its concern.
foreach(target IN ITEMS gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()

# A foreign test executable is listed when ctest runs it, through the emulator, so that building
# needs no emulator (and a target built only, never run, can be built at all).
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
