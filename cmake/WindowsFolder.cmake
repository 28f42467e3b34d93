# The documents of the Windows folder, the ZIP's and the installer's, each written from the
# source its Linux counterpart is made of (cmake/windows_text.py), so that the two cannot drift:
#   README.txt     README.md with its Windows passages      FORMAT.txt     docs/format.md
#   MANUAL.txt     the manual pages, their Windows passages  CHANGELOG.txt  CHANGELOG.md
#   LICENSE.txt    LICENSE                                   drop-logs.bat  docs/drop-logs.bat
# Needs MIRTAK_GROFF and MIRTAK_PYTHON (mirtak_require_windows_documents, cmake/Requirements.cmake)
# and mirtak_man_sources, the manual pages with the version written in.

# Writes the documents into folder, built by the target named target; sets var to their paths.
function(mirtak_windows_documents target folder var)
  set(script ${PROJECT_SOURCE_DIR}/cmake/windows_text.py)
  set(source ${PROJECT_SOURCE_DIR})
  set(documents
    "markdown|${source}/README.md|README.txt"
    "markdown|${source}/docs/format.md|FORMAT.txt"
    "markdown|${source}/CHANGELOG.md|CHANGELOG.txt"
    "plain|${source}/LICENSE|LICENSE.txt")
  set(files "")
  foreach(document IN LISTS documents)
    string(REPLACE "|" ";" document "${document}")
    list(GET document 0 kind)
    list(GET document 1 input)
    list(GET document 2 name)
    add_custom_command(OUTPUT ${folder}/${name}
      COMMAND ${MIRTAK_PYTHON} ${script} ${kind} ${input} ${folder}/${name}
        --version ${PROJECT_VERSION} --groff ${MIRTAK_GROFF}
      DEPENDS ${input} ${script}
      COMMENT "Writing ${name} for Windows"
      VERBATIM)
    list(APPEND files ${folder}/${name})
  endforeach()
  # The manual pages, one after another (MIRTAK's first).
  add_custom_command(OUTPUT ${folder}/MANUAL.txt
    COMMAND ${MIRTAK_PYTHON} ${script} manual ${mirtak_man_sources} ${folder}/MANUAL.txt
      --groff ${MIRTAK_GROFF}
    DEPENDS ${mirtak_man_sources} ${script}
    COMMENT "Writing MANUAL.txt for Windows"
    VERBATIM)
  list(APPEND files ${folder}/MANUAL.txt)
  # The batch file is one already: only its line ends change, to the CR LF cmd needs.
  configure_file(${source}/docs/drop-logs.bat ${folder}/drop-logs.bat @ONLY NEWLINE_STYLE CRLF)
  list(APPEND files ${folder}/drop-logs.bat)
  add_custom_target(${target} ALL DEPENDS ${files})
  set(${var} ${files} PARENT_SCOPE)
endfunction()
