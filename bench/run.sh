#!/usr/bin/env bash
# Builds the optimised tool, a tool for each kernel set this processor runs and the benchmark
# programs, generates the benchmark logs and prints how fast MIRTAK converts them beside the I/O
# floor (reading the log and writing a value file's worth of bytes, converting nothing), wc -l,
# cat and the alternatives, with peak memory. Ends with a chart of the figures (an SVG) and the
# conversion core alone in memory.
#   bench/run.sh [WORK_DIR]      (default /tmp/mirtak-bench; needs about 2.5 GB there)
# Timing is by hyperfine, without a shell: medians over ROUNDS rounds of RUNS runs of every
# command of a table (default 5 x 3), so the ratios compare like with like on a busy machine.
# Every run writes a new value file. Memory is by /usr/bin/time. The chart goes to CHART
# (default docs/speed.svg) where Debian's python3-matplotlib is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=${1:-/tmp/mirtak-bench}
rounds=${ROUNDS:-5}
runs=${RUNS:-3}
chart=${CHART:-$root/docs/speed.svg}

needed=(hyperfine time perl)
for package in "${needed[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || {
    echo "bench/run.sh needs: apt-get install ${needed[*]}" \
      "(python3-numpy for the numpy row, python3-matplotlib for the chart)" >&2
    exit 1
  }
done

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
tool=$root/build/bench/MIRTAK
bin=$root/build/bench/bench
# A tool that uses one kernel set alone, for each set this processor runs.
kernel_sets=()
while read -r set; do
  kernel_sets+=("$set")
  cmake --preset release -B "build/bench-$set" -DMIRTAK_KERNELS="$set" >/dev/null
  cmake --build "build/bench-$set" --target MIRTAK >/dev/null
done < <("$bin/kernel_sets")

mkdir -p "$work"
cd "$work"
rm -f results.jsonl

make_log() { [ -s "$1" ] || "$bin/make_log" "${@:2}" "$1"; }
make_log 1mb.log 1 10 crlf
make_log 100mb.log 100 10 crlf
make_log 100mb_lf.log 100 10 lf
make_log 100mb_3col.log 100 3 crlf
make_log 100mb_2000col.log 100 2000 crlf
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
floor="I/O floor=$bin/io_floor {log} {out}"

# table NAME TITLE LOG LABEL=COMMAND... : times every command on LOG ({log}, {out} filled in).
table() {
  local name=$1 title=$2 log=$3 labels=() commands=() args=()
  shift 3
  for entry in "$@"; do
    local label=${entry%%=*} command=${entry#*=}
    local out="$name.${label//[ \/]/_}.out" # commands are split at spaces
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
  rm -f "$name".round*.json "$name.warnings"
  for ((round = 1; round <= rounds; round++)); do
    # Its warnings of outliers go to a file: the rounds and medians are there for them.
    hyperfine --shell=none --style none --warmup 1 --runs "$runs" \
      --export-json "$name.round$round.json" "${args[@]}" >/dev/null 2>>"$name.warnings"
  done
  for i in "${!labels[@]}"; do
    local out="$name.${labels[$i]//[ \/]/_}.out"
    rm -f "$out"
    eval "/usr/bin/time -f %M -o '$name.${labels[$i]//[ \/]/_}.rss' ${commands[$i]}" >/dev/null
  done
  "$python" "$root/bench/report.py" table "$name" "$title" "$log" "${labels[@]}"
}

echo "MIRTAK $(git -C "$root" describe --always --dirty), $(nproc) cores," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
  "kernel sets: ${kernel_sets[*]}"
echo
echo "== 100 MB, 10 columns, CR LF: each kernel set, the tools and the alternatives"
rows=("$floor" "MIRTAK=$tool {log} {out}")
for set in "${kernel_sets[@]}"; do rows+=("MIRTAK $set=$root/build/bench-$set/MIRTAK {log} {out}"); done
rows+=(
  "wc -l=wc -l {log}"
  "cat=cat {log}"
  "literal port=$bin/literal_port {log} {out}"
  "perl one-liner=$perl_cmd {log} {out}"
)
((numpy_ok)) && rows+=("numpy loadtxt=$numpy_cmd {log} {out}")
table t100 "100 MB, 10 columns, CR LF" 100mb.log "${rows[@]}"

echo
echo "== Other shapes: 1 GB, LF only, 3 columns, 2000 columns, one 100 MB line, 1 MB"
table t1g "1 GB, 10 columns, CR LF" 1gb.log "$floor" "MIRTAK=$tool {log} {out}" "wc -l=wc -l {log}"
table lf "100 MB, LF only" 100mb_lf.log "$floor" "MIRTAK=$tool {log} {out}"
table c3 "100 MB, 3 columns" 100mb_3col.log "$floor" "MIRTAK=$tool {log} {out}"
table c2000 "100 MB, 2000 columns (14 KB lines)" 100mb_2000col.log "$floor" "MIRTAK=$tool {log} {out}"
table line "one data line of 100 MB" one_line.log "$floor" "MIRTAK=$tool {log} {out}"
table t1m "1 MB" 1mb.log "$floor" "MIRTAK=$tool {log} {out}"

echo
"$python" "$root/bench/report.py" summary
if "$python" -c 'import matplotlib' 2>/dev/null; then
  "$python" "$root/bench/report.py" chart "$chart" && echo "chart: $chart"
else
  echo "no chart: apt-get install python3-matplotlib"
fi

echo
echo "== The conversion core in memory, every kernel set (Google Benchmark)"
"$bin/decoder_bench" --benchmark_min_time=0.5 2>/dev/null | grep -E '^[0-9a-z_]+/'

# Windows x86-64 under wine, where wine and the MinGW-w64 cross compiler are installed.
if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo
  echo "== Windows x86-64 under wine: kernels chosen at run time beside the portable ones"
  "$root/bench/wine.sh" "$work"
fi
