# The warnings every build of MIRTAK asks for, in one list; MIRTAK_WARNINGS_AS_ERRORS (the dev
# preset and those built on it) makes them errors. Every target defined after this sees them.
option(MIRTAK_WARNINGS_AS_ERRORS "Fail the build on any warning" OFF)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion)
  if(MIRTAK_WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
  endif()
endif()
