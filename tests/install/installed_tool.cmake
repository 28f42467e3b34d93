# Installs the build into a fresh prefix with `cmake --install`, checks that every installed
# file is where the install rules put it, then runs the installed tool on the sample log like
# any end-to-end case. Run with cmake -P; every setting is a -D definition:
#   BUILD     the build folder                 CONFIG    the configuration to install
#   WORK      a folder, emptied first          FILES     installed paths, relative to the
#   TOOL_PATH the tool, relative to the prefix           prefix, separated by |
#   E2E       the folder of run_case.cmake     BANNER, EMULATOR, LOG, VALUES: as run_case.cmake

file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")
unset(ENV{DESTDIR})
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --config "${CONFIG}"
  --prefix "${prefix}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${output}")
endif()

string(REPLACE "|" ";" FILES "${FILES}")
foreach(path IN LISTS FILES)
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "${path} was not installed:\n${output}")
  endif()
endforeach()

set(TOOL "${prefix}/${TOOL_PATH}")
set(WORK "${WORK}/run")
set(ARGS "log.in|value.out")
set(STATUS 0)
include("${E2E}/run_case.cmake")
