#!/usr/bin/env bash
# Re-runs and swapped names over logs of real data: the logs given with their value files, and
# logs made by od of the WAV sounds installed here (their 16-bit samples, eight to a line). For
# each: the log converted again over its own value file converts, to the same bytes; over each
# 4 KiB piece of its value file (each opening as an old value file would) converts too; and the
# names swapped (the log named as the value file of its value file) is refused with both files
# unchanged. Prints how many runs of each kind were made. MIRTAK_PIECE_STRIDE=N takes every Nth
# piece (a sanitizer build, whose every run is slow).
# Usage: rerun_real_data.sh TOOL WORK [LOG VALUE_FILE]...
set -euo pipefail
tool=$1 work=$2
shift 2
rm -rf "$work"
mkdir -p "$work/logs"
cd "$work"

pairs=()
while (($# >= 2)); do
  pairs+=("$1" "$2")
  shift 2
done
sounds=0
while IFS= read -r -d '' wav; do
  # The samples after the 44-byte header, eight to a line, after od's offset (the dropped field).
  log=logs/sound$sounds.log
  { printf 'SOUND %s\r\n' "${wav##*/}"; od -v -t d2 -w16 -j 44 "$wav"; printf '+\r\n'; } >"$log"
  "$tool" "$log" "logs/sound$sounds.mx" >/dev/null || { echo "cannot convert $wav" >&2; exit 1; }
  pairs+=("$log" "logs/sound$sounds.mx")
  sounds=$((sounds + 1))
done < <(find /usr/share/sounds -name '*.wav' -print0 2>/dev/null | sort -z)

failures=0 reruns=0 pieces=0 swaps=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  log=${pairs[i]} values=${pairs[i + 1]}
  cp "$log" X.LOG
  cp "$values" X.MX
  "$tool" X.LOG X.MX >/dev/null || fail "re-run over the value file of $log refused"
  cmp -s X.MX "$values" || fail "re-run over the value file of $log: other bytes"
  reruns=$((reruns + 1))
  rm -f piece.*
  split -b 4096 -a 4 "$values" piece.
  n=0
  for piece in piece.*; do
    ((n++ % ${MIRTAK_PIECE_STRIDE:-1} == 0)) || continue
    "$tool" X.LOG "$piece" >/dev/null || fail "re-run of $log over a piece of its value file refused"
    pieces=$((pieces + 1))
  done
  cmp -s X.MX "$values" || fail "the value file of $log changed"
  if "$tool" X.MX X.LOG >/dev/null; then fail "swapped names converted: $log"; fi
  cmp -s X.LOG "$log" || fail "swapped names changed the log $log"
  cmp -s X.MX "$values" || fail "swapped names changed the value file of $log"
  swaps=$((swaps + 1))
done
echo "logs of real data: $((${#pairs[@]} / 2)) ($sounds sounds); re-runs over the value file:" \
  "$reruns, over a 4 KiB piece of it: $pieces; swapped names refused: $swaps; failures: $failures"
((failures == 0))
