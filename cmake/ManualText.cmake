# Writes OUT, the manual page IN rendered by GROFF as plain text (no bold or underline by
# overstriking, no escape sequences), with the CR LF line ends Windows editors expect.
# Run with cmake -P; the settings are -D definitions.

execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${IN}
  OUTPUT_FILE ${OUT}.plain ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "groff could not render ${IN} (${status}): ${errors}")
endif()
configure_file(${OUT}.plain ${OUT} @ONLY NEWLINE_STYLE CRLF)
file(REMOVE ${OUT}.plain)
