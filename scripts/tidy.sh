#!/usr/bin/env bash
# clang-tidy, the one way CI runs it: the committed .clang-tidy over a build's compilation
# database, every warning an error. clang takes the target from the compiler's name; the build's
# own compiler names its C++ library's folders (its other folders hold GCC's intrinsics, which
# clang has itself), so a cross build (Windows, aarch64) is checked against its own library.
# Usage: scripts/tidy.sh BUILD_DIR SOURCE...   (two at a time)
set -euo pipefail
cd "$(dirname "$0")/.."

build=$1
shift
[[ -f $build/compile_commands.json ]] || {
  echo "tidy: $build has no compile_commands.json (CMAKE_EXPORT_COMPILE_COMMANDS)" >&2
  exit 1
}
cxx=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' "$build/compile_commands.json" | head -n 1)
includes=()
while read -r folder; do
  [[ $folder == */c++* ]] && includes+=("--extra-arg=-isystem$folder")
done < <(echo | "$cxx" -x c++ -E -v - 2>&1 >/dev/null |
  sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/{s/^ //p}')
printf '%s\n' "$@" | xargs -P 2 -n 1 clang-tidy --quiet --warnings-as-errors='*' -p "$build" \
  "${includes[@]}" 2>/dev/null
