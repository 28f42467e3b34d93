#!/usr/bin/env bash
# The Windows x86-64 tool under wine, which runs its x86 code natively: the release build as the
# ZIP holds it (kernels chosen at run time) beside the same build held to the portable kernels
# (MIRTAK_KERNELS=portable), on the 100 MB 10-column CR LF log. Prints both medians and their
# ratio. Kept out of CI: its figures need a machine that is not busy with other work.
#   bench/wine.sh [WORK_DIR]   (default /tmp/mirtak-bench, where bench/run.sh keeps its logs)
# Needs wine (wine64), g++-mingw-w64-x86-64-posix, groff-base and hyperfine. Medians over ROUNDS
# rounds of RUNS runs of both builds (default 5 x 3).
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mkdir -p "${1:-/tmp/mirtak-bench}" && cd "${1:-/tmp/mirtak-bench}" && pwd)
rounds=${ROUNDS:-5}
runs=${RUNS:-3}

for program in wine wineserver x86_64-w64-mingw32-g++-posix groff hyperfine; do
  command -v "$program" >/dev/null || {
    echo "bench/wine.sh needs $program: apt-get install wine64 wine g++-mingw-w64-x86-64-posix" \
      "groff-base hyperfine" >&2
    exit 1
  }
done

# The two tools, each in a build folder of its own.
builds=(default portable)
for build in "${builds[@]}"; do
  kernels=""
  [[ $build == default ]] || kernels=$build
  cmake --preset windows-x64-package -B "build/wine-bench-$build" -DMIRTAK_KERNELS="$kernels" \
    >/dev/null
  cmake --build "build/wine-bench-$build" -j2 --target MIRTAK >/dev/null
done

log=100mb.log
if [[ ! -s $work/$log ]]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j2 --target make_log >/dev/null
  build/bench/bench/make_log 100 10 crlf "$work/$log"
fi

# A prefix of its own, kept for the next run, and one server that stays up for every run: then
# each run pays the start of a process under wine, not the start of wine.
export WINEPREFIX=$work/wine-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd.exe /c exit 0 >/dev/null 2>&1

cd "$work"
args=()
for build in "${builds[@]}"; do
  cp "$OLDPWD/build/wine-bench-$build/MIRTAK.exe" "wine-$build.exe"
  # Every run writes a new value file; wine runs the tool in the folder it was started in.
  args+=(-n "$build" --prepare "rm -f wine-$build.mx" "wine wine-$build.exe $log wine-$build.mx")
done
rm -f wine.round*.json
for ((round = 1; round <= rounds; round++)); do
  hyperfine --shell=none --style none --warmup 1 --runs "$runs" \
    --export-json "wine.round$round.json" "${args[@]}" >/dev/null
done
cmp -s wine-default.mx wine-portable.mx && same=yes || same=NO

python3 - "$log" "$same" "${builds[@]}" <<'EOF'
import glob, json, os, statistics, sys
log, same, builds = sys.argv[1], sys.argv[2], sys.argv[3:]
times = {build: [] for build in builds}
for path in sorted(glob.glob("wine.round*.json")):
    for result in json.load(open(path))["results"]:
        times[result["command"]] += result["times"]
median = {build: statistics.median(times[build]) for build in builds}
size = os.path.getsize(log) / 1e6
print(f"{log} under wine, Windows x86-64 release builds ({len(times[builds[0]])} runs each):")
for build in builds:
    print(f"  {build:<10}{median[build]:>8.3f} s  {size / median[build]:>6.0f} MB/s")
print(f"  portable / default: {median['portable'] / median['default']:.2f}   same bytes: {same}")
EOF
