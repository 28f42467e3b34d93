#!/usr/bin/env bash
# Builds the optimised tool and the benchmark programs, generates the benchmark logs and prints
# how fast MIRTAK converts them beside wc -l, cat and the alternatives, with peak memory.
#   bench/run.sh [WORK_DIR]      (default /tmp/mirtak-bench; needs about 1.5 GB there)
# Timing is by hyperfine, without a shell: medians over ROUNDS rounds of RUNS runs of every
# command of a table (default 5 x 3), so the ratios compare like with like on a busy machine.
# Memory is by /usr/bin/time.
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-/tmp/mirtak-bench}
rounds=${ROUNDS:-5}
runs=${RUNS:-3}

needed=(hyperfine time perl)
for package in "${needed[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || {
    echo "bench/run.sh needs: apt-get install ${needed[*]} (python3-numpy for the numpy row)" >&2
    exit 1
  }
done

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
tool=$PWD/build/bench/MIRTAK
bin=$PWD/build/bench/bench
mkdir -p "$work"
cd "$work"

make_log() { [ -s "$1" ] || "$bin/make_log" "${@:2}" "$1"; }
make_log 1mb.log 1 10 crlf
make_log 100mb.log 100 10 crlf
make_log 100mb_lf.log 100 10 lf
make_log 100mb_3col.log 100 3 crlf
make_log 1gb.log 1000 10 crlf
[ -s one_line.log ] || "$bin/make_log" --one-line 100 one_line.log

python=/usr/bin/python3
numpy_ok=0
"$python" -c 'import numpy' 2>/dev/null && numpy_ok=1
# The alternatives, each as its users would write it, reading the log and writing a value file.
perl_cmd="perl -e 'open(my \$i, \"<\", shift) or die; open(my \$o, \">\", shift) or die; <\$i>;
  while (<\$i>) { last if /^\\+/; tr/\\r//d; my @f = split \" \"; shift @f; print \$o pack(\"s>*\", @f) }'"
numpy_cmd="$python -c 'import numpy as n, sys; n.loadtxt(sys.argv[1], dtype=n.int32, skiprows=1,
  comments=\"+\")[:, 1:].astype(\">i2\").tofile(sys.argv[2])'"

# table NAME LOG LABEL=COMMAND... : times every command on LOG ({log}, {out} filled in).
table() {
  local name=$1 log=$2 labels=() commands=() args=()
  shift 2
  for entry in "$@"; do
    local label=${entry%%=*} command=${entry#*=}
    local out="$name.${label// /_}.out"  # commands are split at spaces
    command=${command//\{log\}/$log}
    command=${command//\{out\}/$out}
    labels+=("$label")
    commands+=("$command")
    # Every run writes a new value file, as converting a batch of logs does; overwriting the
    # same file each time would also time the file system's flush of the file it replaces.
    args+=(-n "$label" --prepare "rm -f '$out'" "$command")
  done
  # Several rounds of a few runs each, so that every command is timed across the whole period and
  # a slow spell of the machine does not fall on one command only.
  rm -f "$name".round*.json
  for ((round = 1; round <= rounds; round++)); do
    hyperfine --shell=none --style none --warmup 1 --runs "$runs" \
      --export-json "$name.round$round.json" "${args[@]}" >/dev/null
  done
  for i in "${!labels[@]}"; do
    rm -f "$name.${labels[$i]// /_}.out"
    eval "/usr/bin/time -f %M -o '$name.${labels[$i]}.rss' ${commands[$i]}" >/dev/null
  done
  python3 "$OLDPWD/bench/report.py" "$name" "$log" "${labels[@]}"
}

echo "MIRTAK $(git -C "$OLDPWD" describe --always --dirty), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
echo
echo "== 100 MB, 10 columns, CR LF: MIRTAK beside the tools and the alternatives"
alternatives=(
  "MIRTAK=$tool {log} {out}"
  "wc -l=wc -l {log}"
  "cat=cat {log}"
  "literal port=$bin/literal_port {log} {out}"
  "perl one-liner=$perl_cmd {log} {out}"
)
((numpy_ok)) && alternatives+=("numpy loadtxt=$numpy_cmd {log} {out}")
table t100 100mb.log "${alternatives[@]}"

echo
echo "== 1 GB, 10 columns, CR LF"
table t1g 1gb.log "MIRTAK=$tool {log} {out}" "wc -l=wc -l {log}" "cat=cat {log}"

echo
echo "== Other shapes: LF only, 3 columns, one 100 MB line, 1 MB"
for log in 100mb_lf.log 100mb_3col.log one_line.log 1mb.log; do
  table "${log%.log}" "$log" "MIRTAK=$tool {log} {out}" "wc -l=wc -l {log}"
done

echo
echo "== The conversion core in memory, every path (Google Benchmark)"
"$bin/decoder_bench" --benchmark_min_time=0.5 2>/dev/null | grep -E '^[0-9a-z_]+/'

# Windows x86-64 under wine, where wine and the MinGW-w64 cross compiler are installed.
if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo
  echo "== Windows x86-64 under wine: kernels chosen at run time beside the portable ones"
  "$OLDPWD/bench/wine.sh" "$PWD"
fi
