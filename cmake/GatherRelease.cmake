# Copies the release's packages from FROM into TO, each with its NAME.sha256, and fails when
# one is missing: the Debian package, and for each Windows system its ZIP and its installer.
# Run with cmake -P; the settings are -D definitions (FROM, TO, VERSION).

file(GLOB debs RELATIVE ${FROM} ${FROM}/mirtak_${VERSION}-*.deb)
list(LENGTH debs deb_count)
if(NOT deb_count EQUAL 1)
  message(FATAL_ERROR "${FROM}: not one Debian package of ${VERSION}: ${debs}")
endif()
set(files ${debs})
foreach(system IN ITEMS win64 win32)
  list(APPEND files mirtak-${VERSION}-${system}.zip mirtak-${VERSION}-${system}.msi)
endforeach()
file(MAKE_DIRECTORY ${TO})
foreach(file IN LISTS files)
  foreach(copy IN ITEMS ${file} ${file}.sha256)
    if(NOT EXISTS ${FROM}/${copy})
      message(FATAL_ERROR "${FROM}/${copy} was not packed")
    endif()
    file(COPY_FILE ${FROM}/${copy} ${TO}/${copy})
  endforeach()
endforeach()
list(JOIN files "\n  " listed)
message(STATUS "The release, each file with its .sha256, in ${TO}:\n  ${listed}")
