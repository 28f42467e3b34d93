# Writes OUT, a text for readers on Windows, from IN, with CR LF line ends. With GROFF set, IN is
# a manual page, rendered to plain text first (no bold or underline by overstriking, no escape
# sequences). Run with cmake -P; the settings are -D definitions.

if(DEFINED GROFF)
  execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${IN}
    OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "groff could not render ${IN} (${status}): ${errors}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
