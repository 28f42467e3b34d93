#!/usr/bin/env bash
# CI for the foreign targets, after the native tests: the same tool and the same tests built
# with Debian's cross compilers, and the Windows ZIPs.
#   windows-x64  Windows x86-64: every test run under wine; the ZIP unpacked and the sample
#                converted with the tool from it.
#   windows-x86  Windows x86 (32-bit): built with warnings as errors, the .exe checked (every
#                x86 kernel set in it); the ZIP listed and its contents checked; where wine32 is
#                installed, every test and the sample run under it, and otherwise CI says that
#                they did not.
#   s390x        Linux s390x, big-endian: every test run under qemu.
#   aarch64      Linux aarch64 (64-bit ARM): every test run under qemu, the NEON kernels among
#                the kernel sets; clang-tidy on the NEON kernels.
# Installs what a fresh machine lacks. Prints the seconds each target takes.
# Usage: scripts/ci-cross.sh [TARGET...]   (default: all four)
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh

install_missing() { scripts/ensure-packages.sh --no-install-recommends "$@"; }


# A Windows executable of the expected machine that needs nothing beyond the system: the C
# runtime (msvcrt, or the universal runtime and its API sets) and KERNEL32.
check_windows_exe() {
  local exe=$1 format=$2 headers dlls foreign
  headers=$("${3}-objdump" -p "$exe")
  if ! grep -aq "file format $format\$" <<<"$headers"; then
    echo "$exe: not $format" >&2
    return 1
  fi
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr -d '\r' | tr '\n' ' ')
  dlls=${dlls% }
  foreign=$(tr ' ' '\n' <<<"$dlls" | grep -viE '^(kernel32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$|^$' || true)
  if [[ -n $foreign || -z $dlls ]]; then
    echo "$exe imports other DLLs than the C runtime and KERNEL32: $dlls" >&2
    return 1
  fi
  echo "$exe: $format, imports $dlls"
}

# Packs a Windows ZIP with its workflow and checks it: one folder holding exactly what the
# package build installs (its installed-files.txt: the tools, the page, the sample and the
# documents), the documents plain Windows text (tests/docs/check_windows_texts.py), the
# executables of the expected machine. Sets zip_folder to that folder, unpacked into a fresh one.
check_windows_zip() {
  local preset=$1 system=$2 zips zip name file expected
  rm -f build/package/mirtak-*-"$system".zip
  cmake --workflow --preset "$preset-package"
  zips=(build/package/mirtak-*-"$system".zip)
  zip=${zips[0]}
  if [[ ${#zips[@]} != 1 || ! -f $zip ]]; then
    echo "not one ZIP in build/package: ${zips[*]}" >&2
    return 1
  fi
  unzip -l "$zip"
  name=$(basename "$zip" .zip)
  expected=$(while read -r file; do echo "$name/$file"; done \
    <"build/$preset-package/installed-files.txt" | sort)
  if [[ $(unzip -Z1 "$zip" | sort) != "$expected" ]]; then
    echo "$zip holds other files than:"$'\n'"$expected" >&2
    return 1
  fi
  zip_folder=$(mktemp -d "${TMPDIR:-/tmp}/mirtak-zip.XXXXXX")/$name
  unzip -q "$zip" -d "$(dirname "$zip_folder")"
  python3 tests/docs/check_windows_texts.py --readme README.md "$zip_folder"
  if ! grep -q '^DIAGNOSTICS' "$zip_folder/MANUAL.txt"; then
    echo "$zip_folder/MANUAL.txt is not the manual" >&2
    return 1
  fi
  for file in "$zip_folder"/*.exe; do
    check_windows_exe "$file" "${@:3}"
  done
}

target_windows_x64() {
  # wine32 (i386) is left out on purpose: 64-bit wine runs the 64-bit tool alone.
  install_missing clang-tidy g++-mingw-w64-x86-64-posix wine64 wine groff-base unzip wixl msitools
  # One server for every test, and the prefix set up once before ctest starts timing: otherwise
  # each test pays seconds of start-up, or ctest waits on wine's background processes.
  trap stop_wine EXIT
  start_wine
  cmake --workflow --preset windows-x64
  check_windows_exe build/windows-x64/MIRTAK.exe pei-x86-64 x86_64-w64-mingw32
  check_windows_zip windows-x64 win64 pei-x86-64 x86_64-w64-mingw32
  # As a user would: the sample converted in the unpacked folder by the tool from the ZIP, the
  # console exactly the banner of this version.
  cp examples/QDEMOX.LOG "$zip_folder/"
  (cd "$zip_folder" && wine ./MIRTAK.exe QDEMOX.LOG QDEMOX.MX >console.out)
  cmp "$zip_folder/QDEMOX.MX" examples/QDEMOX.MX
  cmp "$zip_folder/console.out" build/windows-x64/tests/fixtures/banner.txt
  echo "the unpacked ZIP converts the sample"
  rm -rf "$(dirname "$zip_folder")"
  stop_wine
  trap - EXIT
  tidy_windows_sources
}

# The Windows run layer needs the Windows headers, so clang-tidy checks it here, in the Windows
# build, rather than with the native sources.
tidy_windows_sources() {
  # shellcheck disable=SC2046  # one word per file
  scripts/tidy.sh build/windows-x64 $(git ls-files '*_windows.cc')
}

# The x86 kernel sets a 32-bit tool holds, chosen among at run time, as the 64-bit one does:
# where wine cannot run 32-bit programs, its symbols are the check that none was left out. The
# sets are those the one list (log/kernel_set_list.h) builds for x86 or for any processor.
check_x86_kernel_sets() {
  local exe=$1 triple=$2 symbols set sets
  symbols=$("${triple}-nm" -C "$exe")
  mapfile -t sets < <(sed -n 's/^MIRTAK_KERNEL_SET(\([a-z0-9_]*\), \(x86\|any\))$/\1/p' \
    log/kernel_set_list.h)
  ((${#sets[@]})) || { echo "log/kernel_set_list.h: no x86 set read" >&2; return 1; }
  for set in "${sets[@]}"; do
    if ! grep -q "mirtak::$set::convert(" <<<"$symbols"; then
      echo "$exe lacks the $set kernels" >&2
      return 1
    fi
  done
  echo "$exe: kernel sets ${sets[*]}"
}

target_windows_x86() {
  install_missing g++-mingw-w64-i686-posix groff-base unzip wixl msitools
  cmake --workflow --preset windows-x86
  check_windows_exe build/windows-x86/MIRTAK.exe pei-i386 i686-w64-mingw32
  check_x86_kernel_sets build/windows-x86/MIRTAK.exe i686-w64-mingw32
  check_windows_zip windows-x86 win32 pei-i386 i686-w64-mingw32
  # 32-bit processes run only under wine32 (scripts/try-wine32.sh installs it where it can).
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed"; then
    trap stop_wine EXIT
    start_wine
    ctest --preset windows-x86
    cp examples/QDEMOX.LOG "$zip_folder/"
    (cd "$zip_folder" && wine ./MIRTAK.exe QDEMOX.LOG QDEMOX.MX >console.out)
    cmp "$zip_folder/QDEMOX.MX" examples/QDEMOX.MX
    cmp "$zip_folder/console.out" build/windows-x86/tests/fixtures/banner.txt
    echo "windows-x86: every test and the sample under wine32"
    stop_wine
    trap - EXIT
  else
    echo "windows-x86: NOT RUN: wine32 is not installed (its i386 packages did not install);" \
      "the .exe is checked as built only"
  fi
  rm -rf "$(dirname "$zip_folder")"
}

target_s390x() {
  install_missing g++-s390x-linux-gnu qemu-user
  cmake --workflow --preset s390x
}

target_aarch64() {
  install_missing g++-aarch64-linux-gnu qemu-user clang-tidy
  cmake --workflow --preset aarch64
  # The NEON kernels build for aarch64 alone, so clang-tidy checks them here, in that build.
  scripts/tidy.sh build/aarch64 log/kernels_neon.cc
}

targets=("$@")
((${#targets[@]})) || targets=(windows-x64 windows-x86 s390x aarch64)
report=()
for target in "${targets[@]}"; do
  started=$SECONDS
  "target_${target//-/_}"
  report+=("$target: $((SECONDS - started)) s")
done
printf 'ci-cross: %s\n' "${report[@]}"
