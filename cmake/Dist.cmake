# A release in one build: `cmake --workflow --preset dist` runs the workflows that pack the Debian
# package, the Windows ZIPs and the Windows installers, then gathers them, each with the
# NAME.sha256 CPack wrote beside it, into one folder, build/dist/mirtak-VERSION. The page,
# build/web/mirtak.html, joins them with its own NAME.sha256 where it has been built
# (scripts/ci-web.sh builds it; the packages then carry it too).

set(release_folder ${PROJECT_BINARY_DIR}/mirtak-${PROJECT_VERSION})
set(package_folder ${PROJECT_SOURCE_DIR}/build/package)
set(workflows package windows-x64-package windows-x86-package)
set(commands "")
foreach(workflow IN LISTS workflows)
  list(APPEND commands COMMAND ${CMAKE_COMMAND} --workflow --preset ${workflow})
endforeach()
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_folder} ${release_folder}
  ${commands}
  COMMAND ${CMAKE_COMMAND} -DFROM=${package_folder} -DTO=${release_folder}
    -DVERSION=${PROJECT_VERSION} -DPAGE=${PROJECT_SOURCE_DIR}/build/web/mirtak.html -P ${CMAKE_CURRENT_LIST_DIR}/GatherRelease.cmake
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Packing every release file into ${release_folder}"
  USES_TERMINAL
  VERBATIM)
