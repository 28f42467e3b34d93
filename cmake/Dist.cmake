# A release in one build: `cmake --workflow --preset dist` builds the page (the wasm workflow:
# its module, `npm ci` and web/build.mjs), then runs the workflows that pack the Debian package,
# the Windows ZIPs and the Windows installers, each of which carries the page, and gathers them,
# each with the NAME.sha256 CPack wrote beside it, and the page alone with its own, into one
# folder, build/dist/mirtak-VERSION. Everything those builds need is checked here, before any
# is built, so that a missing tool stops the release at once, by name (cmake/Requirements.cmake).

include(${CMAKE_CURRENT_LIST_DIR}/Requirements.cmake)
mirtak_require_page_builders()
mirtak_require_wasm_compiler()
foreach(triple IN ITEMS x86_64-w64-mingw32 i686-w64-mingw32)
  string(REPLACE "_" "-" package ${triple})
  mirtak_require(MIRTAK_${triple}_CXX g++-mingw-w64-${package}-posix
    "The Windows tools (${triple})" ${triple}-g++-posix)
endforeach()
mirtak_require_windows_documents()
mirtak_require_msi_builders()
mirtak_require_debian_builders()

set(release_folder ${PROJECT_BINARY_DIR}/mirtak-${PROJECT_VERSION})
set(package_folder ${PROJECT_SOURCE_DIR}/build/package)
set(workflows wasm package windows-x64-package windows-x86-package)
set(commands "")
foreach(workflow IN LISTS workflows)
  list(APPEND commands COMMAND ${CMAKE_COMMAND} --workflow --preset ${workflow})
endforeach()
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_folder} ${release_folder}
  ${commands}
  COMMAND ${CMAKE_COMMAND} -DFROM=${package_folder} -DTO=${release_folder}
    -DVERSION=${PROJECT_VERSION} -DPAGE=${PROJECT_SOURCE_DIR}/build/wasm/web/mirtak.html
    -P ${CMAKE_CURRENT_LIST_DIR}/GatherRelease.cmake
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Packing every release file into ${release_folder}"
  USES_TERMINAL
  VERBATIM)
