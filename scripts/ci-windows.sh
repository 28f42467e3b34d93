#!/usr/bin/env bash
# CI for MIRTAK as Windows users get it, under wine, with the commands of the Windows README
# (README.txt, read from the installed folder):
#   msi-install  msiexec /i installs the x64 MSI: the files under Program Files, the folder on
#                the system PATH;
#   convert      a new cmd finds MIRTAK on PATH and converts the sample byte for byte;
#   convert.bat  the batch file converts a folder of five logs (names with spaces among them),
#                two of which fail, and names exactly those two;
#   msi-remove   msiexec /x leaves no file, no folder and no PATH entry.
# The x86 MSI is installed and removed the same way; its tool runs where wine32 is installed.
# Needs the packages of `cmake --workflow --preset windows-x64-package` and
# `windows-x86-package` in build/package.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/ensure-packages.sh --no-install-recommends wine64 wine wixl msitools

# shellcheck source=scripts/wine-prefix.sh
source scripts/wine-prefix.sh

fail() {
  echo "ci-windows: $*" >&2
  exit 1
}

work=$(mktemp -d)
cleanup() {
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT
start_wine

drive_c=$WINEPREFIX/drive_c
readme_block() { python3 tests/docs/check_commands.py block --doc "$1" "$2"; }

# The system PATH as a new process sees it.
system_path() {
  wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
    tr -d '\r' | sed -n 's/^ *PATH *REG_[A-Z_]* *//p'
}

# Runs a command of the README in a new cmd, in the Windows folder given.
in_cmd() {
  local folder=$1
  shift
  (cd "$folder" && wine cmd.exe /c "$*")
}

# Installs and removes one MSI with the README's commands; the checks between are given.
# install_check_remove SYSTEM PROGRAM_FILES CHECK
install_check_remove() {
  local system=$1 program_files=$2 check=$3 msi readme install remove folder
  msi=$(echo build/package/mirtak-*-"$system".msi)
  [[ -f $msi ]] || fail "no $system MSI in build/package"
  folder="$drive_c/$program_files/MIRTAK"
  readme=build/windows-x64-package/windows/README.txt
  # The README names the x64 installer; the x86 one is installed by the same commands.
  install=$(readme_block "$readme" msi-install | sed "s/mirtak-[0-9.]*-win64\.msi/$(basename "$msi")/")
  remove=$(readme_block "$readme" msi-remove | sed "s/mirtak-[0-9.]*-win64\.msi/$(basename "$msi")/")
  in_cmd build/package "$install" || fail "$install failed"
  for file in MIRTAK.exe README.txt MANUAL.txt FORMAT.txt CHANGELOG.txt LICENSE.txt; do
    [[ -f $folder/$file ]] || fail "$msi did not install $file in $program_files\\MIRTAK"
  done
  system_path | grep -qiF "C:\\$program_files\\MIRTAK" || fail "$msi put no PATH entry: $(system_path)"
  echo "$msi installed into $program_files\\MIRTAK, on PATH"
  "$check" "$folder"
  in_cmd build/package "$remove" || fail "$remove failed"
  [[ ! -e $folder ]] || fail "$program_files\\MIRTAK is left after $remove: $(ls "$folder")"
  if system_path | grep -qi 'MIRTAK'; then fail "PATH keeps MIRTAK after $remove: $(system_path)"; fi
  echo "$msi removed: no file, no PATH entry"
}

# The installed x64 tool: the README's conversion and its batch file, from PATH.
check_x64() {
  local readme=$1/README.txt convert logs named status
  mkdir -p "$drive_c/Data"
  cp examples/QDEMOX.LOG "$drive_c/Data/"
  convert=$(readme_block "$readme" convert)
  in_cmd "$work" "$convert" >"$work/console.out" || fail "$convert failed"
  cmp "$drive_c/Data/QDEMOX.MX" examples/QDEMOX.MX || fail "$convert gave other values"
  echo "from PATH: $convert"

  # Five logs: three convert; a folder stands where the value files of two would go.
  logs=$work/logs
  mkdir "$logs"
  for name in one "two words" three "bad" "worse one"; do
    cp examples/QDEMOX.LOG "$logs/$name.LOG"
  done
  mkdir "$logs/bad.MX" "$logs/worse one.MX"
  readme_block "$readme" convert.bat | sed 's/$/\r/' >"$logs/convert.bat"
  status=0
  in_cmd "$logs" convert.bat >"$work/batch.out" || status=$?
  [[ $status == 1 ]] || fail "convert.bat ended with status $status, not 1, after two failures"
  named=$(tr -d '\r' <"$work/batch.out" | grep -v '^$' | sort)
  [[ $named == $'failed: bad.LOG\nfailed: worse one.LOG' ]] ||
    fail "convert.bat named other failures than bad.LOG and worse one.LOG: $named"
  for name in one "two words" three; do
    cmp "$logs/$name.MX" examples/QDEMOX.MX || fail "convert.bat: $name.MX differs"
  done
  echo "convert.bat: three logs converted, the two failures named"
}

# The installed x86 tool runs only where wine has its 32-bit half.
check_x86() {
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed"; then
    echo "the x86 tool was not run: wine32 (Debian's i386 wine) is not installed"
    return
  fi
  (cd "$work" && cp "$root/examples/QDEMOX.LOG" x86.LOG && wine cmd.exe /c MIRTAK x86.LOG x86.MX) ||
    fail "the x86 tool from PATH failed"
  cmp "$work/x86.MX" examples/QDEMOX.MX || fail "the x86 tool gave other values"
  echo "the x86 tool from PATH converts the sample"
}

install_check_remove win64 "Program Files" check_x64
install_check_remove win32 "Program Files (x86)" check_x86
echo "ci-windows: all checks passed"
