# What the release files need beyond a C++ compiler. Each build checks what it needs when it is
# configured, and the dist preset checks all of it before anything is built, so that a missing
# tool stops the build there, by name, and never leaves a file out of a package.

# Finds a program (the first of NAMES) into the cache variable VAR, or stops, naming it, what
# needs it and the Debian package that has it.
#   mirtak_require(VAR PACKAGE PURPOSE NAMES...)
function(mirtak_require var package purpose)
  find_program(${var} NAMES ${ARGN})
  if(NOT ${var})
    list(JOIN ARGN " or " names)
    message(FATAL_ERROR "${purpose} needs ${names}, which is not installed (Debian: ${package})")
  endif()
endfunction()

# The page: Node.js 18 or later and npm build it (web/build.mjs, uPlot by `npm ci`).
function(mirtak_require_page_builders)
  mirtak_require(MIRTAK_NODE nodejs "The page (web/build.mjs)" node)
  mirtak_require(MIRTAK_NPM npm "The page's packages (npm ci)" npm)
  execute_process(COMMAND ${MIRTAK_NODE} --version OUTPUT_VARIABLE version
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "^v" "" version "${version}")
  if(NOT version VERSION_GREATER_EQUAL 18)
    message(FATAL_ERROR "The page needs Node.js 18 or later; ${MIRTAK_NODE} is ${version}")
  endif()
endfunction()

# The page's module: clang 14 for wasm32-wasi with its C and C++ libraries. A small C++ program
# is compiled and linked as the module is, so that a missing library is named by the compiler.
function(mirtak_require_wasm_compiler)
  mirtak_require(MIRTAK_WASM_CXX clang-14 "The page's module" clang++-14)
  mirtak_require(MIRTAK_WASM_LD lld-14 "The page's module" wasm-ld-14 wasm-ld)
  set(probe ${CMAKE_BINARY_DIR}/requirements/wasm_probe)
  file(WRITE ${probe}.cc "#include <cstring>\n#include <new>\nint probe(const char* s) { return static_cast<int>(std::strlen(s)); }\n")
  execute_process(COMMAND ${MIRTAK_WASM_CXX} --target=wasm32-wasi -mexec-model=reactor
      -fno-exceptions -o ${probe}.wasm ${probe}.cc
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "The page's module cannot be built: clang++-14 for wasm32-wasi fails "
      "(Debian: wasi-libc, libc++-14-dev-wasm32, libclang-rt-14-dev-wasm32):\n${output}")
  endif()
endfunction()

# The Windows folder: its manual rendered by groff, its documents written by Python.
function(mirtak_require_windows_documents)
  mirtak_require(MIRTAK_GROFF groff-base "The Windows manual (MANUAL.txt)" groff)
  mirtak_require(MIRTAK_PYTHON python3 "The Windows documents (README.txt, FORMAT.txt)" python3)
endfunction()

# The Windows installer: wixl builds it, msibuild adds the PATH entry (cmake/Msi.cmake).
function(mirtak_require_msi_builders)
  mirtak_require(MIRTAK_WIXL wixl "The Windows installer" wixl)
  mirtak_require(MIRTAK_MSIBUILD msitools "The Windows installer's PATH entry" msibuild)
endfunction()

# The Debian package: its manual page and changelogs compressed, its dependencies named.
function(mirtak_require_debian_builders)
  mirtak_require(MIRTAK_GZIP gzip "The Debian package's manual page and changelogs" gzip)
  mirtak_require(MIRTAK_DPKG_SHLIBDEPS dpkg-dev "The Debian package's dependencies" dpkg-shlibdeps)
endfunction()
