#!/usr/bin/env bash
# Scale check, run by hand (not part of CI): the release build converts a log larger than 4 GiB
# and a log whose one data line is 1 GiB long, and
#   - each value file has the size and SHA-256 that an independent reading of the log gives
#     (Python's own splitting and int(), streaming the log; none of the tool's code);
#   - peak memory (/usr/bin/time -v) stays within 1 MiB of that of a 1 MB log.
# Needs about 6 GiB free in SCALE_DIR (default /tmp); every file it makes is deleted at the end.
# SCALE_BIG_BYTES and SCALE_LINE_BYTES shrink the two logs for a quick trial of the script.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d "${SCALE_DIR:-/tmp}/mirtak-scale-XXXXXX")
trap 'rm -rf "$work"' EXIT
tool=build/release/MIRTAK
cmake --workflow --preset release >/dev/null

# Writes a log of the given kind and size in large blocks.
#   columns: right-aligned columns of numbers with CR LF line ends; each 1 MiB block starts with
#            a line that carries the block's number, so no two blocks are the same
#   line:    a header, then one data line of that many bytes, then the terminator
generate() {
  python3 - "$@" <<'PY'
import sys

kind, size, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(path, 'wb') as out:
    out.write(b'SCALE CHECK ' + kind.encode() + b'\r\n')
    written = 0
    if kind == 'columns':
        rows = []
        for r in range(4500):
            cells = [b'%12d' % (((r * 7919 + c * 104729) % 200003 - 100001) * (c + 1) ** 3)
                     for c in range(9)]
            rows.append(b'%8d' % r + b''.join(cells) + b'\r\n')
        block = b''.join(rows)
        n = 0
        while written < size:
            head = b'B%07d %d -%d 99999999999 %d\r\n' % (n, n, n, n * 65536 + 7)
            out.write(head + block)
            written += len(head) + len(block)
            n += 1
        out.write(b'+\r\nafter the terminator 1 2 3\r\n')
    else:
        piece = b' -12345 678 99999999999 +5 0070000 40000'
        chunk = piece * ((1 << 20) // len(piece))
        out.write(b'first')
        while written < size:
            out.write(chunk)
            written += len(chunk)
        out.write(b'\r\n+\r\n')
PY
}

# The expected value file's item count and SHA-256, read from the log with nothing of the tool:
# header skipped, data up to the first line that starts with "+", first field of each line
# dropped, every other field's low 16 bits, most significant byte first. (The generated logs
# have no tabs, no Ctrl-Z and no spaces before a line end, so plain whitespace splitting reads
# their fields as the tool does.)
expected() {
  python3 - "$1" <<'PY'
import hashlib, sys
from array import array

digest, count = hashlib.sha256(), 0
header, line_start, first_pending, carry = True, True, True, b''
with open(sys.argv[1], 'rb') as log:
    done = False
    while not done:
        chunk = log.read(1 << 26)
        data = carry + chunk
        if chunk:
            cut = max(data.rfind(b'\n'), data.rfind(b' '))
            if cut < 0:
                carry = data
                continue
            carry, data = data[cut + 1:], data[:cut + 1]
        else:
            carry, done = b'', True
        tokens = []
        segments = data.split(b'\n')
        for i, segment in enumerate(segments):
            complete = i < len(segments) - 1
            if header:
                header = not complete
                continue
            if line_start and segment[:1] == b'+':
                done = True
                break
            fields = segment.split()
            if first_pending and fields:
                del fields[0]
                first_pending = False
            tokens += fields
            if complete:
                line_start, first_pending = True, True
            elif segment:
                line_start = False
        items = array('H', [int(t) & 0xFFFF for t in tokens])
        if sys.byteorder == 'little':
            items.byteswap()
        digest.update(items.tobytes())
        count += len(items)
print(count * 2, digest.hexdigest())
PY
}

# Converts, checks, and prints one line of figures; returns the peak RSS in KiB via $peak.
check() {
  local name=$1 log=$2
  local values=$work/$name.mx stats=$work/$name.time
  /usr/bin/time -v "$tool" "$log" "$values" >/dev/null 2>"$stats"
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$stats")
  local elapsed size sum want_size want_sum
  elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$stats")
  size=$(stat -c %s "$values")
  sum=$(sha256sum "$values" | cut -d' ' -f1)
  read -r want_size want_sum < <(expected "$log")
  printf '%-8s log %12d B  values %11d B  %s s  peak %6d KiB  sha256 %.16s…\n' \
    "$name" "$(stat -c %s "$log")" "$size" "$elapsed" "$peak" "$sum"
  if [[ $size != "$want_size" || $sum != "$want_sum" ]]; then
    echo "FAIL: $name: expected $want_size B, sha256 $want_sum" >&2
    exit 1
  fi
  rm -f "$log" "$values"
}

generate columns $((1 << 20)) "$work/small.log"
check small "$work/small.log"
small_peak=$peak

generate columns "${SCALE_BIG_BYTES:-$(((1 << 32) + (256 << 20)))}" "$work/big.log"
check big "$work/big.log"
big_peak=$peak

generate line "${SCALE_LINE_BYTES:-$((1 << 30))}" "$work/line.log"
check line "$work/line.log"
line_peak=$peak

for pair in "big:$big_peak" "line:$line_peak"; do
  if ((${pair#*:} - small_peak > 1024)); then
    echo "FAIL: ${pair%%:*} peaks at ${pair#*:} KiB against $small_peak KiB for 1 MB" >&2
    exit 1
  fi
done
echo "scale check passed"
