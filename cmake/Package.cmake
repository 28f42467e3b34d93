# The Debian package: what `cmake --workflow --preset package` builds. It holds exactly what the
# install rules install, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirtak)
set(CPACK_PACKAGE_VENDOR "MIRTAK developers")
set(CPACK_PACKAGE_CONTACT "${mirtak_debian_maintainer}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${mirtak_debian_maintainer}")
# A Debian revision: the package carries a Debian changelog of its own beside the changelog.
set(CPACK_DEBIAN_PACKAGE_RELEASE ${mirtak_debian_revision})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "MIRTAK converts a KOVIR log, a text file of numeric columns, into a KOVIR\n"
  "value file: a flat stream of big-endian signed 16-bit integers, one for\n"
  "every number in the log after the first column. It reads the log in one\n"
  "forward pass with constant memory.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# The libraries the tool links (the C and C++ runtimes) become the package's dependencies when
# dpkg-dev's dpkg-shlibdeps is there to name them.
find_program(MIRTAK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(MIRTAK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
