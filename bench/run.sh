#!/usr/bin/env bash
# Builds the optimised tool, a tool for each kernel set this processor runs and the benchmark
# programs, the same tools of an earlier commit (BASE), generates the benchmark logs and prints
# how fast MIRTAK converts them beside the I/O floor (reading the log and writing a value file's
# worth of bytes, converting nothing), the earlier commit's tools, wc -l, cat and the
# alternatives, with peak memory; then what judging an existing value file costs, a run over one
# beside the same tool built to judge it by its size alone, and the judgement alone in memory. Ends with a chart of the figures (an
# SVG) and the conversion core alone in memory.
#   bench/run.sh [WORK_DIR]      (default /tmp/mirtak-bench; needs about 2.5 GB there)
# Timing is by hyperfine with no shell in the timed command: the old value file is deleted by
# --prepare, outside the timing, so every run writes a new one. Medians over ROUNDS rounds of
# RUNS runs of every command of a table (default 5 x 3), so the ratios compare like with like on
# a busy machine. Memory is by /usr/bin/time. The chart goes to CHART (default docs/speed.svg)
# where Debian's python3-matplotlib is installed.
# Knobs for a quick run while developing:
#   BASE=COMMIT   the earlier commit timed beside this one (default c573bb4; BASE= for none),
#                 built from a git worktree in WORK_DIR/base-COMMIT with the same presets
#   MB=N BIG_MB=N the sizes of the main log and of the big log (default 100 and 1000)
#   QUICK=1       the main table (floor, kernel sets, BASE) and the big log only
#   ONLY=existing the runs over an existing value file alone
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=${1:-/tmp/mirtak-bench}
rounds=${ROUNDS:-5}
runs=${RUNS:-3}
chart=${CHART:-$root/docs/speed.svg}
base=${BASE-c573bb4}
mb=${MB:-100}
big_mb=${BIG_MB:-1000}
quick=${QUICK:-0}
only=${ONLY:-}

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
# The tool that judges an existing value file by its size alone, reading nothing of it.
cmake --preset release -B build/bench-unjudged -DMIRTAK_BENCH_UNJUDGED=ON >/dev/null
cmake --build build/bench-unjudged --target MIRTAK >/dev/null
unjudged=$root/build/bench-unjudged/MIRTAK
# A tool that uses one kernel set alone, for each set this processor runs.
kernel_sets=()
[[ $only == existing ]] && base=''
[[ $only == existing ]] || while read -r set; do
  kernel_sets+=("$set")
  cmake --preset release -B "build/bench-$set" -DMIRTAK_KERNELS="$set" >/dev/null
  cmake --build "build/bench-$set" --target MIRTAK >/dev/null
done < <("$bin/kernel_sets")

mkdir -p "$work"
work=$(cd "$work" && pwd)

# The earlier commit's tools: its default build and one for each kernel set it has too.
base_sets=()
if [[ -n $base ]]; then
  base=$(git rev-parse --short "$base^{commit}")
  base_src=$work/base-$base
  [[ -d $base_src ]] || git worktree add --detach "$base_src" "$base" >/dev/null 2>&1
  (cd "$base_src" && cmake --preset release >/dev/null && cmake --build --preset release >/dev/null)
  for set in "${kernel_sets[@]}"; do
    # A set the earlier commit does not have is refused by its CMake: no row for it.
    if (cd "$base_src" && cmake --preset release -B "build/bench-$set" -DMIRTAK_KERNELS="$set" \
      >/dev/null 2>&1 && cmake --build "build/bench-$set" --target MIRTAK >/dev/null); then
      base_sets+=("$set")
    fi
  done
fi
base_tool() { echo "$base_src/build/${1:+bench-}${1:-release}/MIRTAK"; }

cd "$work"
rm -f results.jsonl
# The processor, for every table and the chart.
grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//' >processor.txt
[[ -s processor.txt ]] || uname -m >processor.txt

make_log() { [ -s "$1" ] || "$bin/make_log" "${@:2}" "$1"; }
main_log=${mb}mb.log big_log=${big_mb}mb.log
make_log "$main_log" "$mb" 10 crlf
[[ $only == existing ]] || make_log "$big_log" "$big_mb" 10 crlf
if ((!quick)) && [[ $only != existing ]]; then
  make_log 1mb.log 1 10 crlf
  make_log "${mb}mb_lf.log" "$mb" 10 lf
  make_log "${mb}mb_3col.log" "$mb" 3 crlf
  make_log "${mb}mb_2000col.log" "$mb" 2000 crlf
  [ -s "one_line_${mb}mb.log" ] || "$bin/make_log" --one-line "$mb" "one_line_${mb}mb.log"
fi

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
# Each run writes a new value file, or, with OLD set to a file, overwrites a copy of it.
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
    local prepare="rm -f '$out'"
    # An old value file as an earlier run left it: on the disk, not still being written back.
    [[ -n ${OLD:-} ]] && prepare="sh -c 'cp $OLD $out && sync $out'"
    args+=(-n "$label" --prepare "$prepare" "$command") # five words a command
  done
  # Several rounds of a few runs each, so that every command is timed across the whole period and
  # a slow spell of the machine does not fall on one command only.
  # Every other round takes the commands last to first, so that no command always goes first.
  local backwards=() i
  for ((i = ${#args[@]} - 5; i >= 0; i -= 5)); do backwards+=("${args[@]:i:5}"); done
  rm -f "$name".round*.json "$name.warnings"
  for ((round = 1; round <= rounds; round++)); do
    local order=("${args[@]}")
    ((round % 2)) || order=("${backwards[@]}")
    # Its warnings of outliers go to a file: the rounds and medians are there for them.
    hyperfine --shell=none --style none --warmup 1 --runs "$runs" \
      --export-json "$name.round$round.json" "${order[@]}" >/dev/null 2>>"$name.warnings"
  done
  for i in "${!labels[@]}"; do
    local out="$name.${labels[$i]//[ \/]/_}.out"
    rm -f "$out"
    [[ -n ${OLD:-} ]] && cp "$OLD" "$out"
    eval "/usr/bin/time -f %M -o '$name.${labels[$i]//[ \/]/_}.rss' ${commands[$i]}" >/dev/null
  done
  "$python" "$root/bench/report.py" table "$name" "$title" "$log" "$base" "${labels[@]}"
}

# existing_tables: a run over an existing value file, its checks beside none. The old value file
# is the log's own, left by an earlier run (a re-run, the common case), or a file that reads as
# one endless header line, which the check reads as far as it ever reads a file.
existing_tables() {
  echo "== Over an existing value file: the checks beside none (the same tool, judging by size)"
  "$tool" "$main_log" rerun.old >/dev/null
  head -c "$(stat -c %s rerun.old)" /dev/zero | tr '\0' '\1' >header.old
  local rows=("MIRTAK=$tool {log} {out}" "MIRTAK unjudged=$unjudged {log} {out}")
  OLD=rerun.old table existing "$mb MB over its own value file" "$main_log" "${rows[@]}"
  OLD=header.old table existing_reach "$mb MB over a file read to the check's reach" \
    "$main_log" "${rows[@]}"
  # The judgement alone, in memory: what the whole runs above cannot show beside the time the
  # system takes to empty the old file, which varies by several milliseconds from run to run.
  echo "The judgement alone, in memory (a log of the main log's shape):"
  "$bin/judge_bench" --benchmark_min_time=0.5 2>/dev/null | grep -E '^judge/' | sed 's/^/  /'
  echo
}

if [[ $only == existing ]]; then
  echo "MIRTAK $(git -C "$root" describe --always --dirty), $(nproc) cores, $(cat processor.txt)"
  echo
  existing_tables
  "$python" "$root/bench/report.py" summary
  exit 0
fi

echo "MIRTAK $(git -C "$root" describe --always --dirty), $(nproc) cores, $(cat processor.txt)," \
  "kernel sets: ${kernel_sets[*]}${base:+, beside $base: default ${base_sets[*]}}"
echo
echo "== $mb MB, 10 columns, CR LF: each kernel set beside $base's, the tools and the alternatives"
rows=("$floor" "MIRTAK=$tool {log} {out}")
[[ -n $base ]] && rows+=("$base=$(base_tool) {log} {out}")
for set in "${kernel_sets[@]}"; do
  rows+=("MIRTAK $set=$root/build/bench-$set/MIRTAK {log} {out}")
  [[ " ${base_sets[*]} " == *" $set "* ]] && rows+=("$base $set=$(base_tool "$set") {log} {out}")
done
if ((!quick)); then
  rows+=(
    "wc -l=wc -l {log}"
    "cat=cat {log}"
    "literal port=$bin/literal_port {log} {out}"
    "perl one-liner=$perl_cmd {log} {out}"
  )
  ((numpy_ok)) && rows+=("numpy loadtxt=$numpy_cmd {log} {out}")
fi
table t100 "$mb MB, 10 columns, CR LF" "$main_log" "${rows[@]}"

echo
if ((quick)); then
  echo "== $big_mb MB"
else
  echo "== Other shapes: $big_mb MB, LF only, 3 columns, 2000 columns, one $mb MB line, 1 MB"
fi
rows=("$floor" "MIRTAK=$tool {log} {out}")
[[ -n $base ]] && rows+=("$base=$(base_tool) {log} {out}")
((quick)) || rows+=("wc -l=wc -l {log}")
table t1g "$big_mb MB, 10 columns, CR LF" "$big_log" "${rows[@]}"
if ((!quick)); then
  table lf "$mb MB, LF only" "${mb}mb_lf.log" "$floor" "MIRTAK=$tool {log} {out}"
  table c3 "$mb MB, 3 columns" "${mb}mb_3col.log" "$floor" "MIRTAK=$tool {log} {out}"
  table c2000 "$mb MB, 2000 columns (14 KB lines)" "${mb}mb_2000col.log" "$floor" \
    "MIRTAK=$tool {log} {out}"
  table line "one data line of $mb MB" "one_line_${mb}mb.log" "$floor" "MIRTAK=$tool {log} {out}"
  table t1m "1 MB" 1mb.log "$floor" "MIRTAK=$tool {log} {out}"
fi

echo
existing_tables
"$python" "$root/bench/report.py" summary
if "$python" -c 'import matplotlib' 2>/dev/null; then
  "$python" "$root/bench/report.py" chart "$chart" && echo "chart: $chart"
else
  echo "no chart: apt-get install python3-matplotlib"
fi

((quick)) && exit 0
echo
echo "== The conversion core in memory, every kernel set (Google Benchmark)"
"$bin/decoder_bench" --benchmark_min_time=0.5 2>/dev/null | grep -E '^[0-9a-z_]+/'

# Windows x86-64 under wine, where wine and the MinGW-w64 cross compiler are installed.
if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo
  echo "== Windows x86-64 under wine: kernels chosen at run time beside the portable ones"
  "$root/bench/wine.sh" "$work"
fi
