# Checks that the tool's own code can neither allocate memory nor throw: no object in its
# libraries refers to an allocation function or to the throwing of an exception, so a run
# cannot fail for want of memory once it has started, on any path, the rare ones included.
# Run with cmake -P:
#   NM         the toolchain's nm
#   LIBRARIES  the static libraries, separated by |

string(REPLACE "|" ";" LIBRARIES "${LIBRARIES}")
execute_process(COMMAND "${NM}" -u -C ${LIBRARIES}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed: ${status}")
endif()

# nm names each object, then lists the symbols it needs from elsewhere.
set(forbidden
  "operator new" "operator delete" "__cxa_allocate_exception" "__cxa_throw" "std::__throw_"
  "malloc" "calloc" "realloc" "aligned_alloc" "posix_memalign" "strdup" "wcsdup")
string(REPLACE "\n" ";" lines "${listing}")
set(object "")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^(.+):$")
    set(object "${CMAKE_MATCH_1}")
    continue()
  endif()
  foreach(name IN LISTS forbidden)
    string(FIND "${line}" "${name}" at)
    if(NOT at EQUAL -1)
      string(STRIP "${line}" line)
      string(APPEND found "  ${object}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(NOT found STREQUAL "")
  message(FATAL_ERROR "The tool's code refers to allocation or exceptions:\n${found}")
endif()
message("No allocation and no exception in: ${LIBRARIES}")
