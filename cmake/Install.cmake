# Installs the console tools (MIRTAK_TOOLS, the one list of them), each on PATH where a package
# puts one. On Linux as commands: the tools in bin, the manual page in man1,
# the page in the package's data folder, and in the documentation folder the README, the format
# guide, the changelog, the copyright file and the sample log with its value file (examples/),
# the way Debian lays them out; `cmake --install` and the Debian package use the same rules. On
# Windows as one folder, the one the ZIP unpacks to and the MSI installs: the tools, the page and
# the sample beside the documents written for Windows (cmake/WindowsFolder.cmake).
# Sets mirtak_installed_files (the paths installed, relative to the prefix) and
# mirtak_installed_tool (MIRTAK's path among them), which the install test checks, and writes
# them to installed-files.txt in the build folder for the scripts that check a package.
#
# MIRTAK_RELEASE_FILES (the presets that make release files) requires every part: the page must
# have been built and every tool a package needs must be there, or configuring stops.

option(MIRTAK_RELEASE_FILES "Make a release file: every part required (the page built first)" OFF)
include(${CMAKE_CURRENT_LIST_DIR}/Requirements.cmake)
# Debian keeps a package's documents under its package name, which is lower case.
set(CMAKE_INSTALL_DOCDIR "share/doc/mirtak" CACHE PATH "Documentation (DOCDIR)")
include(GNUInstallDirs)

include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)

# The manual pages as installed, one for each tool: its template, docs/TOOL.1.in, with the
# project's version written in. mirtak_man_source is MIRTAK's.
set(mirtak_man_sources "")
foreach(tool IN LISTS MIRTAK_TOOLS)
  configure_file(docs/${tool}.1.in ${PROJECT_BINARY_DIR}/docs/${tool}.1 @ONLY)
  list(APPEND mirtak_man_sources ${PROJECT_BINARY_DIR}/docs/${tool}.1)
endforeach()
set(mirtak_man_source ${PROJECT_BINARY_DIR}/docs/MIRTAK.1)

# Installs files into a folder of the prefix as they are.
function(mirtak_install_files destination)
  install(FILES ${ARGN} DESTINATION ${destination})
  foreach(file IN LISTS ARGN)
    get_filename_component(name ${file} NAME)
    if(destination STREQUAL ".")
      list(APPEND mirtak_installed_files ${name})
    else()
      list(APPEND mirtak_installed_files ${destination}/${name})
    endif()
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

# The page, built by the wasm preset: required for a release file, else installed where built.
set(MIRTAK_PAGE "" CACHE FILEPATH "The built page, mirtak.html, to install with the tools")
set(mirtak_page_file "")
if(MIRTAK_PAGE AND EXISTS "${MIRTAK_PAGE}")
  set(mirtak_page_file ${MIRTAK_PAGE})
elseif(MIRTAK_RELEASE_FILES)
  message(FATAL_ERROR "The page, ${MIRTAK_PAGE}, is not built: `cmake --workflow --preset wasm` "
    "builds it (`cmake --workflow --preset dist` builds it with every release file)")
elseif(MIRTAK_PAGE)
  message(STATUS "The page, ${MIRTAK_PAGE}, is not built: it is not installed")
endif()
set(mirtak_sample_files ${PROJECT_SOURCE_DIR}/examples/QDEMOX.LOG ${PROJECT_SOURCE_DIR}/examples/QDEMOX.MX)

if(WIN32)
  install(TARGETS ${MIRTAK_TOOLS} RUNTIME DESTINATION .)
  set(mirtak_installed_tool $<TARGET_FILE_NAME:MIRTAK>)
  foreach(tool IN LISTS MIRTAK_TOOLS)
    list(APPEND mirtak_installed_files $<TARGET_FILE_NAME:${tool}>)
  endforeach()
  mirtak_require_windows_documents()
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsFolder.cmake)
  mirtak_windows_documents(mirtak_windows_documents ${PROJECT_BINARY_DIR}/windows documents)
  mirtak_install_files(. ${documents} ${mirtak_sample_files} ${mirtak_page_file})
  if(MIRTAK_RELEASE_FILES)
    mirtak_require_msi_builders()
  endif()
else()
  install(TARGETS ${MIRTAK_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(mirtak_installed_tool ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:MIRTAK>)
  foreach(tool IN LISTS MIRTAK_TOOLS)
    list(APPEND mirtak_installed_files ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${tool}>)
  endforeach()
  if(MIRTAK_RELEASE_FILES)
    mirtak_require_debian_builders()
  endif()
  include(${CMAKE_CURRENT_LIST_DIR}/Debian.cmake)
  foreach(page IN LISTS mirtak_man_sources)
    get_filename_component(name ${page} NAME)
    mirtak_install_compressed(${page} ${CMAKE_INSTALL_MANDIR}/man1 ${name})
  endforeach()
  mirtak_install_files(${CMAKE_INSTALL_DOCDIR} README.md docs/format.md ${mirtak_debian_copyright})
  mirtak_install_files(${CMAKE_INSTALL_DOCDIR}/examples ${mirtak_sample_files})
  mirtak_install_compressed(${mirtak_changelog} ${CMAKE_INSTALL_DOCDIR} changelog)
  mirtak_install_compressed(${mirtak_debian_changelog} ${CMAKE_INSTALL_DOCDIR} changelog.Debian)
  if(mirtak_page_file)
    mirtak_install_files(${CMAKE_INSTALL_DATADIR}/mirtak ${mirtak_page_file})
  endif()
endif()

# What a package of this build holds, one path a line, for the scripts that check packages.
list(JOIN mirtak_installed_files "\n" listed)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/installed-files.txt CONTENT "${listed}\n")

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
