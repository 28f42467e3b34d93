#!/usr/bin/env bash
# CI for MIRTAK as Windows users get it, under wine, with the commands of the README
# (README.md's windows= blocks, each checked to stand as it is in the installed README.txt):
#   msi-install  msiexec /i installs the x64 MSI: every file of the Windows folder under Program
#                Files (installed-files.txt of the package build), the folder on the system
#                PATH, the Start-menu folder with its two entries (the batch file, the page);
#   convert      a new cmd finds MIRTAK on PATH and converts the sample from the folder, and
#                mirtak-shape on PATH shows its shape;
#   convert.bat  the README's batch file converts a folder of five logs (names with spaces
#                among them), two of which fail, and names exactly those two with MIRTAK's message;
#   drop-logs    the installed drop-logs.bat, given two logs as Explorer gives dropped files
#                (one with spaces in its name, one failing), converts one, shows MIRTAK's
#                message for the other, waits for a key and ends with status 1;
#   msi-remove   msiexec /x leaves no file, no folder, no Start-menu entry, no registry key and
#                no PATH entry.
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
readme_block() { python3 tests/docs/check_commands.py block --doc README.md "windows=$1"; }
# The installer's Start-menu folder. It is a per-machine installer (ALLUSERS=1), whose entries
# Windows puts in the Start menu of every user; wine puts them in the installing user's.
start_menus=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/MIRTAK"
  "$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/MIRTAK")
entries=("MIRTAK - convert logs dropped on it.lnk" "MIRTAK page (in the browser).lnk")
start_menu() {
  local folder
  for folder in "${start_menus[@]}"; do
    if [[ -d $folder ]]; then echo "$folder"; fi
  done
}

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
  local system=$1 program_files=$2 check=$3 msi install remove folder file entry menu left
  msi=$(echo build/package/mirtak-*-"$system".msi)
  [[ -f $msi ]] || fail "no $system MSI in build/package"
  folder="$drive_c/$program_files/MIRTAK"
  # The README names the x64 installer; the x86 one is installed by the same commands.
  install=$(readme_block msi-install | sed "s/mirtak-[0-9.]*-win64\.msi/$(basename "$msi")/")
  remove=$(readme_block msi-remove | sed "s/mirtak-[0-9.]*-win64\.msi/$(basename "$msi")/")
  in_cmd build/package "$install" || fail "$install failed"
  while read -r file; do
    [[ -f $folder/$file ]] || fail "$msi did not install $file in $program_files\\MIRTAK"
  done <build/windows-x64-package/installed-files.txt
  system_path | grep -qiF "C:\\$program_files\\MIRTAK" || fail "$msi put no PATH entry: $(system_path)"
  menu=$(start_menu)
  [[ -n $menu ]] || fail "$msi made no Start-menu folder MIRTAK"
  for entry in "${entries[@]}"; do
    [[ -f $menu/$entry ]] || fail "$msi made no Start-menu entry $entry: $(ls "$menu")"
  done
  echo "$msi installed into $program_files\\MIRTAK, on PATH, with its two Start-menu entries"
  "$check" "$folder"
  in_cmd build/package "$remove" || fail "$remove failed"
  [[ ! -e $folder ]] || fail "$program_files\\MIRTAK is left after $remove: $(ls "$folder")"
  menu=$(start_menu)
  [[ -z $menu ]] || fail "the Start-menu folder is left after $remove: $menu: $(ls "$menu")"
  if wine reg query 'HKLM\Software\MIRTAK' >/dev/null 2>&1; then
    fail "the registry keeps HKLM\\Software\\MIRTAK after $remove"
  fi
  if system_path | grep -qi 'MIRTAK'; then fail "PATH keeps MIRTAK after $remove: $(system_path)"; fi
  left=$(find "$drive_c" -iname '*mirtak*' -not -path "$drive_c/Dropped/*")
  [[ -z $left ]] || fail "left after $remove: $left"
  echo "$msi removed: no file, no Start-menu entry, no registry key, no PATH entry"
}

# The installed x64 tool: the README's conversion and its batch files, from PATH.
check_x64() {
  local folder=$1 convert logs named status
  python3 tests/docs/check_windows_texts.py --readme README.md "$folder" ||
    fail "the installed documents are not for Windows"
  mkdir -p "$drive_c/Data"
  cp "$folder/QDEMOX.LOG" "$drive_c/Data/"
  convert=$(python3 tests/docs/check_commands.py block --doc README.md convert=one)
  in_cmd "$drive_c/Data" "$convert" >"$work/console.out" || fail "$convert failed"
  cmp "$drive_c/Data/QDEMOX.MX" "$folder/QDEMOX.MX" || fail "$convert gave other values"
  cmp "$drive_c/Data/QDEMOX.MX" examples/QDEMOX.MX || fail "the installed sample's values differ"
  echo "from PATH, the installed sample: $convert"
  local shape
  shape=$(python3 tests/docs/check_commands.py block --doc README.md shape=sample)
  in_cmd "$drive_c/Data" "$shape" >"$work/shape.out" || fail "$shape failed"
  grep -q "values per line: 9, on every line" "$work/shape.out" ||
    fail "$shape printed: $(cat "$work/shape.out")"
  echo "from PATH: $shape"

  # Five logs: three convert; a folder stands where the value files of two would go.
  logs=$work/logs
  mkdir "$logs"
  for name in one "two words" three "bad" "worse one"; do
    cp examples/QDEMOX.LOG "$logs/$name.LOG"
  done
  mkdir "$logs/bad.MX" "$logs/worse one.MX"
  readme_block convert.bat | sed 's/$/\r/' >"$logs/convert.bat"
  status=0
  in_cmd "$logs" convert.bat >"$work/batch.out" || status=$?
  [[ $status == 1 ]] || fail "convert.bat ended with status $status, not 1, after two failures"
  named=$(tr -d '\r' <"$work/batch.out" | grep -v '^$' | sort)
  [[ $named == $'bad.LOG: Can not create bad.MX file\nworse one.LOG: Can not create worse one.MX file' ]] ||
    fail "convert.bat named other failures than bad.LOG and worse one.LOG, with MIRTAK's message: $named"
  for name in one "two words" three; do
    cmp "$logs/$name.MX" examples/QDEMOX.MX || fail "convert.bat: $name.MX differs"
  done
  echo "convert.bat: three logs converted, the two failures named with MIRTAK's message"

  # Two logs dropped on the installed drop-logs.bat, as Explorer passes them: each a quoted full
  # path (a batch file that calls it, as cmd /c would strip the quotes of a command line given
  # whole). The key it waits for comes on its standard input.
  local dropped=$drive_c/Dropped
  mkdir -p "$dropped/bad.MX"
  cp examples/QDEMOX.LOG "$dropped/a log.LOG"
  cp examples/QDEMOX.LOG "$dropped/bad.LOG"
  printf '%s\r\n' '@call "C:\Program Files\MIRTAK\drop-logs.bat" "C:\Dropped\a log.LOG" "C:\Dropped\bad.LOG"' \
    >"$dropped/drop.bat"
  status=0
  echo | (cd "$work" && wine cmd.exe /c 'C:\Dropped\drop.bat') >"$work/drop.out" || status=$?
  tr -d '\r' <"$work/drop.out" | grep -v '^$' >"$work/drop.lines" || true
  [[ $status == 1 ]] || fail "drop-logs.bat ended with status $status after a failure: $(cat "$work/drop.lines")"
  if ! grep -qxF 'converted: C:\Dropped\a log.LOG into C:\Dropped\a log.MX' "$work/drop.lines" ||
    ! grep -qxF 'failed: C:\Dropped\bad.LOG: Can not create C:\Dropped\bad.MX file' "$work/drop.lines" ||
    ! grep -q 'Press any key' "$work/drop.lines"; then
    fail "drop-logs.bat showed: $(cat "$work/drop.lines")"
  fi
  cmp "$dropped/a log.MX" examples/QDEMOX.MX || fail "drop-logs.bat: a log.MX differs"
  cat "$work/drop.lines"
  echo "drop-logs.bat: one log converted, the failure shown with MIRTAK's message, then a key"
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
