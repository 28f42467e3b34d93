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

# nm names each object, then lists the symbols it needs from elsewhere. The sanitizers' own
# symbols (__asan_stack_malloc_1, say) are not the tool's.
set(forbidden_c "^(__imp_)?_?(malloc|calloc|realloc|aligned_alloc|posix_memalign|strdup|wcsdup)$")
set(forbidden_cxx "^(operator new|operator delete|__cxa_allocate_exception|__cxa_throw|std::__throw_)")
string(REPLACE "\n" ";" lines "${listing}")
set(object "")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^(.+):$")
    set(object "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^ *U (.+)$")
    set(symbol "${CMAKE_MATCH_1}")
    if(symbol MATCHES "${forbidden_c}" OR symbol MATCHES "${forbidden_cxx}")
      string(APPEND found "  ${object}: ${symbol}\n")
    endif()
  endif()
endforeach()
if(NOT found STREQUAL "")
  message(FATAL_ERROR "The tool's code refers to allocation or exceptions:\n${found}")
endif()
message("No allocation and no exception in: ${LIBRARIES}")
