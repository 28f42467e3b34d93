# The Debian package's own documents, written at configure time from the project's:
#   copyright         LICENSE in Debian's machine-readable copyright format;
#   changelog.Debian  one entry per release of CHANGELOG.md, pointing to it for the changes.
# Sets mirtak_debian_copyright, mirtak_debian_changelog (the files), mirtak_debian_revision
# and mirtak_debian_maintainer.

# No person answers for the package: the address is one that reaches nobody (.invalid is
# reserved for that), yet a well-formed contact, as Debian's tools require.
set(MIRTAK_DEBIAN_MAINTAINER "MIRTAK developers <developers@mirtak.invalid>" CACHE STRING
  "The maintainer the Debian package names")
set(mirtak_debian_maintainer "${MIRTAK_DEBIAN_MAINTAINER}")
set(mirtak_debian_revision 1)
set(debian_folder ${PROJECT_BINARY_DIR}/debian)

# Writes content to path only when it differs, so that an unchanged document is not rebuilt.
function(mirtak_write_if_changed path content)
  file(WRITE ${path}.new "${content}")
  file(COPY_FILE ${path}.new ${path} ONLY_IF_DIFFERENT)
  file(REMOVE ${path}.new)
endfunction()

# copyright: the licence's copyright line and its text, each line indented by one space and an
# empty line written as " .".
set(license ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license})
file(READ ${license} license_text)
if(NOT license_text MATCHES "\nCopyright \\(c\\) ([^\n]+)\n+(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line followed by the licence's text")
endif()
set(holders "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" license_body "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " license_body " ${license_body}")
set(mirtak_debian_copyright ${debian_folder}/copyright)
mirtak_write_if_changed(${mirtak_debian_copyright}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${mirtak_debian_maintainer}

Files: *
Copyright: ${holders}
License: Expat
${license_body}
")

# changelog.Debian: an entry per release; an unreleased one is dated when it is configured
# (SOURCE_DATE_EPOCH, where set, fixes that date). date(1) writes a release's date as Debian
# wants it (RFC 5322, its weekday included).
find_program(MIRTAK_DATE date REQUIRED)
set(entries "")
foreach(release IN LISTS mirtak_releases)
  string(REPLACE "|" ";" release "${release}")
  list(GET release 0 version)
  list(GET release 1 date)
  if(date STREQUAL "Unreleased")
    set(distribution UNRELEASED)
    string(TIMESTAMP stamp "%a, %d %b %Y %H:%M:%S +0000" UTC)
  else()
    set(distribution unstable)
    # Debian wants each entry later than the one below it: releases of one day are stamped a
    # minute apart, the oldest at midnight (minutes = the older releases of that day).
    string(REGEX MATCHALL "\\|${date}" same_day "${mirtak_releases}")
    list(LENGTH same_day day_releases)
    string(REPLACE "-" "_" day_key "${date}")
    if(NOT DEFINED newer_on_${day_key})
      set(newer_on_${day_key} 0)
    endif()
    math(EXPR minutes "${day_releases} - 1 - ${newer_on_${day_key}}")
    math(EXPR newer_on_${day_key} "${newer_on_${day_key}} + 1")
    execute_process(COMMAND ${MIRTAK_DATE} -u -R -d "${date} UTC + ${minutes} minutes"
      OUTPUT_VARIABLE stamp OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "CHANGELOG.md: ${version} has the date ${date}, which date(1) rejects")
    endif()
  endif()
  string(APPEND entries
"mirtak (${version}-${mirtak_debian_revision}) ${distribution}; urgency=medium

  * MIRTAK ${version}. What it changed for users is in changelog.gz, beside
    this file.

 -- ${mirtak_debian_maintainer}  ${stamp}

")
endforeach()
string(STRIP "${entries}" entries)
set(mirtak_debian_changelog ${debian_folder}/changelog.Debian)
mirtak_write_if_changed(${mirtak_debian_changelog} "${entries}\n")
