#!/usr/bin/env bash
# What a signal leaves: converts a large generated log whole, then ends runs on it with SIGTERM
# or SIGKILL at random moments and checks each value file left behind against the whole one:
# a prefix of it, and how its length falls (whole 64 KiB blocks, whole values). By hand, not in
# CI; prints one line per run and a summary.
# Usage: scripts/signal-check.sh TOOL [RUNS] [LOG_MB]
set -euo pipefail
tool=$(realpath "$1")
runs=${2:-40}
log_mb=${3:-200}
work=$(mktemp -d "${TMPDIR:-/tmp}/mirtak-signals.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

{ printf 'HEADER\r\n'; for ((i = 0; i < 2000; i++)); do printf '%d  1  -2  300  4000  -5000  6  7  8  9\r\n' $i; done; } >block.log
head -c $((log_mb * 1024 * 1024)) < <(while :; do tail -n +2 block.log; done) >body.log
{ printf 'HEADER\r\n'; cat body.log; printf '\r\n+\r\n'; } >big.log
rm body.log block.log
"$tool" big.log whole.mx >/dev/null
whole=$(stat -c %s whole.mx)
start=$(date +%s%N)
"$tool" big.log timed.mx >/dev/null
run_ms=$((($(date +%s%N) - start) / 1000000))
echo "log $(stat -c %s big.log) bytes, value file $whole bytes, one run $run_ms ms ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-))"

prefixes=0 blocks=0 even=0 empty=0
for ((r = 0; r < runs; r++)); do
  signal=TERM
  ((r % 2)) && signal=KILL
  delay_ms=$((RANDOM % (run_ms > 0 ? run_ms : 1)))
  rm -f cut.mx
  "$tool" big.log cut.mx >/dev/null &
  pid=$!
  sleep "$(printf '0.%03d' "$delay_ms")"
  kill -s "$signal" "$pid" 2>/dev/null || true
  wait "$pid" && status=0 || status=$?
  size=$(stat -c %s cut.mx 2>/dev/null || echo absent)
  prefix=no
  if [[ $size != absent ]] && cmp -s -n "$size" cut.mx whole.mx; then prefix=yes; fi
  [[ $prefix == yes ]] && prefixes=$((prefixes + 1))
  [[ $size != absent ]] && ((size % 65536 == 0)) && blocks=$((blocks + 1))
  [[ $size != absent ]] && ((size % 2 == 0)) && even=$((even + 1))
  [[ $size == 0 || $size == absent ]] && empty=$((empty + 1))
  echo "SIG$signal after ${delay_ms} ms: status $status, $size bytes, prefix $prefix, 64 KiB blocks $([[ $size != absent ]] && ((size % 65536 == 0)) && echo yes || echo no)"
done
echo "runs $runs: prefix $prefixes, whole 64 KiB blocks $blocks, even length $even, empty or absent $empty"
