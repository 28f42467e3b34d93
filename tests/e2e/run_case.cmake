# Runs MIRTAK once in a fresh folder and checks the exact console bytes, the exit status and the
# files it leaves. Run with cmake -P; every setting is a -D definition:
#   TOOL      the MIRTAK executable          EMULATOR  optional command to run it through, its
#                                                      words separated by |
#   WORK      a folder, emptied first         BANNER    the expected banner bytes (a file)
#   LOG       optional log copied to WORK/log.in, or to WORK/LOG_NAME
#   LOG_NAME  optional name of the log in WORK, folders made as needed; <long> as in ARGS
#   SETUP     optional: existing | directory | hardlink | symlink | long_names | overlay (the log
#             in lower/, seen through an overlay mount at merged/; needs root, else skipped)
#   ARGS      arguments separated by |; <empty> is an empty argument, <long> a 120-character name,
#             <wdir> WORK as a Windows full path (Z:\... under wine), also in MESSAGE
#   NEEDS     optional path that must exist on this machine, else the case is skipped
#   STATUS    expected exit status
#   MESSAGE   optional text printed after the banner, without its leading newline; <space> is a
#             space (the command line would lose one at the end), <xHH> one byte in hex
#   VALUES    file the value file must equal, ABSENT, or IGNORE (a device, say)
#   VALUE_FILE name of the value file in WORK (default value.out)
#   OLD       optional file copied to the value file's name before the run
#   LOG_KEPT  if set, the log (log.in, LOG_NAME or where SETUP put it) must still equal LOG

if(DEFINED NEEDS AND NOT EXISTS "${NEEDS}")
  message("SKIPPED: ${NEEDS} does not exist here")
  return()
endif()

if(SETUP STREQUAL "overlay")
  execute_process(COMMAND umount "${WORK}/merged" OUTPUT_QUIET ERROR_QUIET)  # a run cut short
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
string(REPEAT "n" 120 long)
if(DEFINED LOG_NAME)
  string(REPLACE "<long>" "${long}" log_path "${LOG_NAME}")
  get_filename_component(log_folder "${WORK}/${log_path}" DIRECTORY)
  file(MAKE_DIRECTORY "${log_folder}")
  file(COPY_FILE "${LOG}" "${WORK}/${log_path}")
elseif(DEFINED LOG)
  file(COPY_FILE "${LOG}" "${WORK}/log.in")
endif()
if(NOT DEFINED VALUE_FILE)
  set(VALUE_FILE value.out)
endif()
string(REPLACE "<long>" "${long}" VALUE_FILE "${VALUE_FILE}")

if(DEFINED OLD)
  file(COPY_FILE "${OLD}" "${WORK}/${VALUE_FILE}")
endif()
if(SETUP STREQUAL "existing")
  string(REPEAT "an older, longer value file " 100 old)
  file(WRITE "${WORK}/${VALUE_FILE}" "${old}")
elseif(SETUP STREQUAL "directory")
  file(MAKE_DIRECTORY "${WORK}/adir")
elseif(SETUP STREQUAL "hardlink")
  file(CREATE_LINK "${WORK}/log.in" "${WORK}/${VALUE_FILE}" RESULT linked)
elseif(SETUP STREQUAL "symlink")
  file(CREATE_LINK "log.in" "${WORK}/${VALUE_FILE}" SYMBOLIC RESULT linked)
elseif(SETUP STREQUAL "long_names")
  file(MAKE_DIRECTORY "${WORK}/${long}")
  file(RENAME "${WORK}/log.in" "${WORK}/${long}/${long}.log")
elseif(SETUP STREQUAL "overlay")
  file(MAKE_DIRECTORY "${WORK}/lower" "${WORK}/upper" "${WORK}/work" "${WORK}/merged")
  file(RENAME "${WORK}/log.in" "${WORK}/lower/log.in")
  set(log_path lower/log.in)
  execute_process(COMMAND mount -t overlay overlay
      -o "lowerdir=${WORK}/lower,upperdir=${WORK}/upper,workdir=${WORK}/work" "${WORK}/merged"
    RESULT_VARIABLE mounted OUTPUT_VARIABLE why ERROR_VARIABLE why)
  if(NOT mounted STREQUAL "0")
    message("SKIPPED: cannot mount an overlay here (root and overlay support needed): ${why}")
    return()
  endif()
endif()
if(NOT DEFINED log_path)
  set(log_path log.in)
endif()
# Some file systems, or users, may not make links (symbolic links on Windows need a privilege).
if(DEFINED linked AND NOT linked STREQUAL "0")
  message("SKIPPED: cannot make the ${SETUP} here: ${linked}")
  return()
endif()

# WORK as Windows names it: under wine the Unix root is drive Z:.
string(REPLACE "/" "\\" wdir "${WORK}")
if(WORK MATCHES "^/")
  set(wdir "Z:${wdir}")
endif()
string(REPLACE "<wdir>" "${wdir}" ARGS "${ARGS}")
if(DEFINED MESSAGE)
  string(REPLACE "<wdir>" "${wdir}" MESSAGE "${MESSAGE}")
endif()

set(args "")
if(NOT ARGS STREQUAL "")
  string(REPLACE "|" ";" ARGS "${ARGS}")
  foreach(a IN LISTS ARGS)
    string(REPLACE "<long>" "${long}" a "${a}")
    if(a STREQUAL "<empty>")
      list(APPEND args "\"\"")
    else()
      string(REPLACE "\\" "\\\\" a "${a}")  # Windows spellings: backslashes stay themselves
      list(APPEND args "\"${a}\"")
    endif()
  endforeach()
endif()
list(JOIN args " " command_line)
set(emulator_line "")
if(NOT EMULATOR STREQUAL "")
  string(REPLACE "|" "\" \"" emulator_line "\"${EMULATOR}\"")
  # In one locale wherever the tests run: wine then takes the command line as UTF-8 and has
  # the ANSI code page of a Western Windows (1252).
  set(emulator_line "\"${CMAKE_COMMAND}\" -E env LC_ALL=C.UTF-8 ${emulator_line}")
endif()

# execute_process drops empty list elements, so the command goes through a tiny script whose
# arguments are quoted one by one.
set(console "${WORK}.console")
file(WRITE "${WORK}.cmake"
  "execute_process(COMMAND ${emulator_line} \"${TOOL}\" ${command_line}\n"
  "  WORKING_DIRECTORY \"${WORK}\" OUTPUT_FILE \"${console}\" RESULT_VARIABLE status)\n"
  "file(WRITE \"${WORK}.status\" \"\${status}\")\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -P "${WORK}.cmake")
file(READ "${WORK}.status" status)
if(SETUP STREQUAL "overlay")
  execute_process(COMMAND umount "${WORK}/merged")
endif()

set(failures "")
if(NOT status STREQUAL STATUS)
  string(APPEND failures "exit status ${status}, expected ${STATUS}\n")
endif()

file(READ "${BANNER}" expected_hex HEX)
if(DEFINED MESSAGE)
  string(REPLACE "<space>" " " MESSAGE "${MESSAGE}")
  string(APPEND expected_hex "0d0a")
  while(MESSAGE MATCHES "<x([0-9A-Fa-f][0-9A-Fa-f])>")
    string(TOLOWER "${CMAKE_MATCH_1}" byte)
    string(FIND "${MESSAGE}" "${CMAKE_MATCH_0}" at)
    string(SUBSTRING "${MESSAGE}" 0 ${at} before)
    math(EXPR after "${at} + 5")
    string(SUBSTRING "${MESSAGE}" ${after} -1 MESSAGE)
    string(HEX "${before}" before_hex)
    string(APPEND expected_hex "${before_hex}${byte}")
  endwhile()
  string(HEX "${MESSAGE}" message_hex)
  string(APPEND expected_hex "${message_hex}")
endif()
file(READ "${console}" console_hex HEX)
if(NOT console_hex STREQUAL expected_hex)
  string(APPEND failures "console bytes\n  ${console_hex}\nexpected\n  ${expected_hex}\n")
endif()

set(value_path "${WORK}/${VALUE_FILE}")
if(VALUES STREQUAL "IGNORE")
elseif(VALUES STREQUAL "ABSENT")
  if(EXISTS "${value_path}")
    string(APPEND failures "${VALUE_FILE} was created\n")
  endif()
elseif(NOT EXISTS "${value_path}")
  string(APPEND failures "${VALUE_FILE} is missing\n")
else()
  file(READ "${value_path}" got HEX)
  file(READ "${VALUES}" want HEX)
  if(NOT got STREQUAL want)
    string(APPEND failures "value file bytes\n  ${got}\nexpected\n  ${want}\n")
  endif()
endif()

if(DEFINED LOG_KEPT)
  file(READ "${WORK}/${log_path}" got HEX)
  file(READ "${LOG}" want HEX)
  if(NOT got STREQUAL want)
    string(APPEND failures "the log was changed\n")
  endif()
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
