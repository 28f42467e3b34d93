# Installs MIRTAK as a command: the tool in bin, its manual page in man1, the README and the
# format guide in the documentation folder. `cmake --install` and the Debian package use the
# same rules.

# Debian keeps a package's documents under its package name, which is lower case.
set(CMAKE_INSTALL_DOCDIR "share/doc/mirtak" CACHE PATH "Documentation (DOCDIR)")
include(GNUInstallDirs)

install(TARGETS MIRTAK RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md docs/format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual page as installed: docs/MIRTAK.1 with the project's version written in.
set(mirtak_man_source ${PROJECT_BINARY_DIR}/docs/MIRTAK.1)
configure_file(docs/MIRTAK.1 ${mirtak_man_source} @ONLY)

# Manual pages are installed compressed where gzip is at hand, as Debian expects; -n leaves the
# name and time out of the archive, so the same page always gives the same bytes.
find_program(MIRTAK_GZIP gzip)
if(MIRTAK_GZIP)
  set(mirtak_man_page ${PROJECT_BINARY_DIR}/man/MIRTAK.1.gz)
  add_custom_command(OUTPUT ${mirtak_man_page}
    COMMAND ${CMAKE_COMMAND} -E copy ${mirtak_man_source} ${PROJECT_BINARY_DIR}/man/MIRTAK.1
    COMMAND ${MIRTAK_GZIP} -9nf ${PROJECT_BINARY_DIR}/man/MIRTAK.1
    DEPENDS ${mirtak_man_source}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(mirtak_man_page ALL DEPENDS ${mirtak_man_page})
else()
  set(mirtak_man_page ${mirtak_man_source})
endif()
install(FILES ${mirtak_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
