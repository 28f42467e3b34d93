# Installs MIRTAK. On Linux as a command: the tool in bin, its manual page in man1, and in the
# documentation folder the README, the format guide, the changelog and the copyright file, the
# way Debian lays them out; `cmake --install` and the Debian package use the same rules. On
# Windows as one folder, the one the ZIP unpacks to and the MSI installs: MIRTAK.exe beside its
# documents as text files with CR LF line ends, the manual page rendered to plain text among them.
# Sets mirtak_installed_files (the paths installed, relative to the prefix) and
# mirtak_installed_tool (the tool's path among them), which the install test checks.

# Debian keeps a package's documents under its package name, which is lower case.
set(CMAKE_INSTALL_DOCDIR "share/doc/mirtak" CACHE PATH "Documentation (DOCDIR)")
include(GNUInstallDirs)

include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)

# The manual page as installed: docs/MIRTAK.1 with the project's version written in.
set(mirtak_man_source ${PROJECT_BINARY_DIR}/docs/MIRTAK.1)
configure_file(docs/MIRTAK.1 ${mirtak_man_source} @ONLY)

# Installs files into a folder of the prefix as they are.
function(mirtak_install_files destination)
  install(FILES ${ARGN} DESTINATION ${destination})
  foreach(file IN LISTS ARGN)
    get_filename_component(name ${file} NAME)
    list(APPEND mirtak_installed_files ${destination}/${name})
  endforeach()
  set(mirtak_installed_files ${mirtak_installed_files} PARENT_SCOPE)
endfunction()

# Installs source as destination/name.gz, compressed as Debian expects manual pages and
# changelogs, where gzip is at hand (else uncompressed, as name); -n leaves the file's name and
# time out of the archive, so the same text always gives the same bytes.
find_program(MIRTAK_GZIP gzip)
function(mirtak_install_compressed source destination name)
  if(NOT MIRTAK_GZIP)
    install(FILES ${source} DESTINATION ${destination} RENAME ${name})
    list(APPEND mirtak_installed_files ${destination}/${name})
    set(mirtak_installed_files ${mirtak_installed_files} PARENT_SCOPE)
    return()
  endif()
  set(copy ${PROJECT_BINARY_DIR}/compressed/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${MIRTAK_GZIP} -9nf ${copy}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  add_custom_target(mirtak_compressed_${name} ALL DEPENDS ${copy}.gz)
  mirtak_install_files(${destination} ${copy}.gz)
  set(mirtak_installed_files ${mirtak_installed_files} PARENT_SCOPE)
endfunction()

# Windows editors expect CR LF: each text for the Windows folder is written with those line ends.
# name is its name there; @VAR@ in it is replaced (README.txt names the version that way).
function(mirtak_windows_text source name)
  set(text ${PROJECT_BINARY_DIR}/windows/${name})
  configure_file(${source} ${text} @ONLY NEWLINE_STYLE CRLF)
  mirtak_install_files(. ${text})
  set(mirtak_installed_files ${mirtak_installed_files} PARENT_SCOPE)
endfunction()

# The manual page as plain text for the Windows folder, rendered by groff when it is built
# (cmake/ManualText.cmake).
function(mirtak_windows_manual source name)
  set(text ${PROJECT_BINARY_DIR}/windows/${name})
  add_custom_command(OUTPUT ${text}
    COMMAND ${CMAKE_COMMAND} -DIN=${source} -DOUT=${text} -DGROFF=${MIRTAK_GROFF}
      -P ${PROJECT_SOURCE_DIR}/cmake/ManualText.cmake
    DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/ManualText.cmake
    COMMENT "Rendering ${name}"
    VERBATIM)
  add_custom_target(mirtak_windows_${name} ALL DEPENDS ${text})
  mirtak_install_files(. ${text})
  set(mirtak_installed_files ${mirtak_installed_files} PARENT_SCOPE)
endfunction()

if(WIN32)
  set(mirtak_installed_tool $<TARGET_FILE_NAME:MIRTAK>)
  install(TARGETS MIRTAK RUNTIME DESTINATION .)
  set(mirtak_installed_files ${mirtak_installed_tool})
  find_program(MIRTAK_GROFF groff REQUIRED)
  # README.txt is written for Windows users; the Markdown README speaks of Debian too.
  mirtak_windows_text(${PROJECT_SOURCE_DIR}/docs/README-windows.txt README.txt)
  mirtak_windows_text(${mirtak_changelog} CHANGELOG.txt)
  mirtak_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
  mirtak_windows_text(${PROJECT_SOURCE_DIR}/docs/format.md FORMAT.txt)
  mirtak_windows_manual(${mirtak_man_source} MANUAL.txt)
else()
  set(mirtak_installed_tool ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:MIRTAK>)
  install(TARGETS MIRTAK RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(mirtak_installed_files ${mirtak_installed_tool})
  include(${CMAKE_CURRENT_LIST_DIR}/Debian.cmake)
  mirtak_install_compressed(${mirtak_man_source} ${CMAKE_INSTALL_MANDIR}/man1 MIRTAK.1)
  mirtak_install_files(${CMAKE_INSTALL_DOCDIR} README.md docs/format.md ${mirtak_debian_copyright})
  mirtak_install_compressed(${mirtak_changelog} ${CMAKE_INSTALL_DOCDIR} changelog)
  mirtak_install_compressed(${mirtak_debian_changelog} ${CMAKE_INSTALL_DOCDIR} changelog.Debian)
endif()

# The page (web/), where it has been built (scripts/ci-web.sh): beside the tool's documents on
# Windows, in the package's own data folder on Linux.
set(MIRTAK_PAGE "" CACHE FILEPATH "The built page, mirtak.html, to install with the tool if it exists")
if(MIRTAK_PAGE AND EXISTS "${MIRTAK_PAGE}")
  if(WIN32)
    mirtak_install_files(. ${MIRTAK_PAGE})
  else()
    mirtak_install_files(${CMAKE_INSTALL_DATADIR}/mirtak ${MIRTAK_PAGE})
  endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
