#!/usr/bin/env bash
# No value file of real data is taken for text, so none is refused: each value file given, and
# value files made by the tool from the WAV sounds installed here (16-bit samples turned into a
# log by od), cut into pieces of 4 KiB (each opening as a value file would), must be overwritten
# by a run of the tool itself. Prints how many were tried.
# Usage: real_values_not_text.sh TOOL WORK VALUE_FILE...
set -euo pipefail
tool=$1 work=$2
shift 2
rm -rf "$work"
mkdir -p "$work/pieces"
cd "$work"
: >empty.log

sounds=0
while IFS= read -r -d '' wav; do
  # The samples after the 44-byte header, eight to a line, after od's offset (the dropped field).
  { printf 'SOUND %s\r\n' "${wav##*/}"; od -v -t d2 -w16 -j 44 "$wav"; printf '+\r\n'; } >sound.log
  "$tool" sound.log "sound$sounds.mx" >/dev/null || { echo "cannot convert $wav" >&2; exit 1; }
  split -b 4096 -a 4 "sound$sounds.mx" "pieces/sound$sounds."
  sounds=$((sounds + 1))
done < <(find /usr/share/sounds -name '*.wav' -print0 2>/dev/null)
for given in "$@"; do cp "$given" "pieces/given.${given##*/}"; done

tried=0 text=0
for piece in pieces/*; do
  [[ -s $piece ]] || continue
  tried=$((tried + 1))
  if ! "$tool" empty.log "$piece" >/dev/null; then
    echo "taken for text: $piece" >&2
    text=$((text + 1))
  fi
done
echo "value files of real data tried: $tried ($sounds sounds, $# given); taken for text: $text"
((text == 0))
