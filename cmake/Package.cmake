# The packages, each holding exactly what the install rules install:
#   Linux    the Debian package (`cmake --workflow --preset package`), under /usr;
#   Windows  a ZIP of one folder (`cmake --workflow --preset windows-x64-package` or
#            `windows-x86-package`): mirtak-VERSION-win64.zip or mirtak-VERSION-win32.zip,
#            and the installer of the same folder, mirtak-VERSION-win64.msi or -win32.msi
#            (cmake/Msi.cmake, CPack's External generator).
# Each package gets a NAME.sha256 beside it, in the format `sha256sum -c` checks.
set(CPACK_PACKAGE_NAME mirtak)
set(CPACK_PACKAGE_VENDOR "MIRTAK developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  # Named as Windows names its two kinds of x86 system; the folder inside has the same name.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME mirtak-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME mirtak-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_GENERATOR ZIP External)
  set(CPACK_EXTERNAL_ENABLE_STAGING ON)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/Msi.cmake)
  set(CPACK_MIRTAK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(CPACK_MIRTAK_WIXL ${MIRTAK_WIXL})
  set(CPACK_MIRTAK_MSIBUILD ${MIRTAK_MSIBUILD})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_MIRTAK_MSI_ARCH x64)
  else()
    set(CPACK_MIRTAK_MSI_ARCH x86)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_CONTACT "${mirtak_debian_maintainer}")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${mirtak_debian_maintainer}")
  # Versioned VERSION-REVISION, as Debian versions a packaged release: the package has a Debian
  # changelog of its own beside the release's changelog.
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${mirtak_debian_revision})
  set(CPACK_PACKAGE_DESCRIPTION
    "MIRTAK converts a KOVIR log, a text file of numeric columns, into a KOVIR\n"
    "value file: a flat stream of big-endian signed 16-bit integers, one for\n"
    "every number in the log after the first column. It reads the log in one\n"
    "forward pass with constant memory.")
  string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

  # The libraries the tool links (the C and C++ runtimes) become the package's dependencies when
  # dpkg-dev's dpkg-shlibdeps is there to name them.
  find_program(MIRTAK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(MIRTAK_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
endif()

include(CPack)
