#!/usr/bin/env bash
# One shape of log through the tool: converted, converted again over its own value file (a
# re-run: status 0, the same bytes), and with the names swapped (`MIRTAK X.MX X.LOG`: status 1,
# "Can not create X.LOG file", both files unchanged), as made and after the log was edited by a
# change to its header or by lines appended. Under an emulator too (wine, qemu).
# Usage: swap_case.sh SHAPE TOOL WORK [EMULATOR WORD...]
set -euo pipefail
shape=$1 tool=$2 work=$3
shift 3
emulator=("$@")
# shellcheck source=tests/e2e/case_lib.sh
source "$(dirname "$0")/case_lib.sh"
fresh_work

# data LINES COLUMNS END: data lines of a sequence number and values across -32768..32767.
data() {
  local i c line
  for ((i = 1; i <= $1; i++)); do
    line=$i
    for ((c = 0; c < $2; c++)); do line+="  $(((i * 131 + c * 977) % 65536 - 32768))"; done
    printf '%s%b' "$line" "$3"
  done
}

case $shape in
crlf) { printf 'RUN 7\r\n'; data 40 9 '\r\n'; printf '+\r\n'; } >X.LOG ;;
lf) { printf 'RUN 7\n'; data 40 9 '\n'; printf '+\n'; } >X.LOG ;;
wide)
  # 1,000 columns: the header and first line are past 4 KiB.
  { printf 'SEQ'; for ((c = 1; c < 1000; c++)); do printf '  CHANNEL%d' $c; done
    printf '\r\n'; data 3 999 '\r\n'; } >X.LOG ;;
lf_ctrl_z) { printf 'RUN 7\n'; data 40 9 '\n'; printf '\x1a'; } >X.LOG ;;
ctrl_z_in_data) { printf 'RUN 7\r\n'; data 10 3 '\r\n'; printf '9  1\x1a2  3\r\n+\r\n'; } >X.LOG ;;
control_header) { printf 'RUN\0 \x1b[1m7\x7f\r\n'; data 40 9 '\r\n'; printf '+\r\n'; } >X.LOG ;;
code_page) { printf 'Temperatur \xb0C  Stra\xdfe\r\n'; data 40 3 '\r\n'; printf '+\r\n'; } >X.LOG ;;
utf16) { printf 'RUN 7\r\n'; data 40 3 '\r\n'; printf '+\r\n'; } | iconv -f ASCII -t UTF-16 >X.LOG ;;
room_temperature)
  # Values whose high bytes are all newlines: the value file looks like text.
  { printf 'TEMP LOGGER\r\n'
    for ((i = 0; i < 3000; i++)); do printf '%d  %d\r\n' $i $((2600 + (i * 7 % 80))); done; } >X.LOG ;;
past_first_block)
  # More than the first block of values (256 KiB).
  { printf 'BIG\r\n'; for ((i = 0; i < 15000; i++)); do printf '%d  1  -2  300  4000  -5000  6  7  8  %d\r\n' $i $i; done; } >X.LOG ;;
*)
  echo "unknown shape $shape" >&2
  exit 2
  ;;
esac

run_tool X.LOG X.MX
[[ $status == 0 && -s X.MX ]] || fail "the log did not convert: status $status"
cp X.LOG log.made
cp X.MX values.made
run_tool X.LOG X.MX
[[ $status == 0 ]] || fail "re-run over the value file: status $status"
cmp -s X.MX values.made || fail "re-run over the value file: other bytes"

# MIRTAK X.MX X.LOG for the log as it stands: refused, both files unchanged.
expect_swap_refused() {
  local edit=$1
  cp X.LOG log.before
  run_tool X.MX X.LOG
  [[ $status == 1 ]] || fail "$edit: swapped names: status $status"
  [[ $shown == *$'\r\n'"Can not create X.LOG file" ]] || fail "$edit: printed ${shown##*$'\r\n\r\n'}"
  cmp -s X.LOG log.before || fail "$edit: swapped names changed the log"
  cmp -s X.MX values.made || fail "$edit: swapped names changed the value file"
}
expect_swap_refused "as made"
{ printf 'ANOTHER HEADER, EDITED '; cat log.made; } >X.LOG
expect_swap_refused "another header"
{ cat log.made; printf '\r\n7  8  9\r\n'; } >X.LOG
expect_swap_refused "lines appended"

finish "$shape"
