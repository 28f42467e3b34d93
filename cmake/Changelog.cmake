# The releases of CHANGELOG.md, newest first: its headings "## [VERSION] - DATE", where DATE is
# YYYY-MM-DD or Unreleased (a "## [Unreleased]" heading is passed over). The newest release must
# be the project's version, so that a version bump cannot leave the changelog behind.
# Sets mirtak_releases: one VERSION|DATE entry per release.

set(mirtak_changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${mirtak_changelog})

file(STRINGS ${mirtak_changelog} mirtak_headings REGEX "^## ")
set(mirtak_releases "")
foreach(heading IN LISTS mirtak_headings)
  if(heading MATCHES "^## \\[Unreleased\\]$")
    continue()
  endif()
  set(date_pattern "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]|Unreleased")
  if(NOT heading MATCHES "^## \\[([0-9]+\\.[0-9]+\\.[0-9]+)\\] - (${date_pattern})$")
    message(FATAL_ERROR "CHANGELOG.md: \"${heading}\" is not a release heading; a release is "
      "headed \"## [X.Y.Z] - YYYY-MM-DD\" or \"## [X.Y.Z] - Unreleased\"")
  endif()
  list(APPEND mirtak_releases "${CMAKE_MATCH_1}|${CMAKE_MATCH_2}")
endforeach()

list(LENGTH mirtak_releases release_count)
set(newest "")
if(release_count GREATER 0)
  list(GET mirtak_releases 0 newest)
endif()
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
if(NOT newest MATCHES "^${version_pattern}\\|")
  message(FATAL_ERROR "CHANGELOG.md: its newest release is \"${newest}\", the project's version "
    "is ${PROJECT_VERSION}; add a section \"## [${PROJECT_VERSION}] - Unreleased\" on top")
endif()
