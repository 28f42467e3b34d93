#!/usr/bin/env bash
# CI hardening: every test under AddressSanitizer + UndefinedBehaviorSanitizer, the fuzzer for a
# bounded time, clang-tidy and cppcheck. Any report fails the run. Run from .ci/run, after the
# ordinary build and tests.
set -euo pipefail
cd "$(dirname "$0")/.."

# Seconds the fuzzer runs; CI keeps it near a minute.
fuzz_seconds=${MIRTAK_FUZZ_SECONDS:-60}

scripts/ensure-packages.sh clang libclang-rt-14-dev clang-tidy cppcheck libbenchmark-dev

step() { printf '\n== %s (%(%T)T)\n' "$1" -1; }

step "every test under the sanitizers"
cmake --workflow --preset asan

step "fuzzing the conversion for ${fuzz_seconds} s"
cmake --workflow --preset fuzz
# New inputs go to a scratch folder; the committed corpus is only read. A finding is written to
# build/fuzz/findings/ and fails the run: keep it in tests/fuzz/corpus/ as a regression case.
scratch=build/fuzz/scratch-corpus
findings=build/fuzz/findings
rm -rf "$scratch" "$findings"
mkdir -p "$scratch" "$findings"
build/fuzz/mirtak_decoder_fuzzer -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
  -dict=tests/fuzz/log.dict -print_final_stats=1 -artifact_prefix="$findings/" \
  "$scratch" tests/fuzz/corpus 2>build/fuzz/fuzz.log || {
  tail -n 60 build/fuzz/fuzz.log
  echo "The fuzzer found an input that fails; it is in $findings/" >&2
  exit 1
}
grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb))' \
  build/fuzz/fuzz.log

sources=$(git ls-files '*.cc')
# The Windows run layer needs the Windows headers, the NEON kernels an aarch64 target, the page's
# module interface WebAssembly: scripts/ci-cross.sh and scripts/ci-web.sh check them with those.
native_sources=$(git ls-files '*.cc' ':!:*_windows.cc' ':!:log/kernels_neon.cc' \
  ':!:web/mirtak_wasm.cc' ':!:log/kernels_wasm_simd128.cc')
step "clang-tidy"
# The sanitizer build's compilation database covers the tool and its tests; the fuzzer's covers
# the fuzz entry.
# shellcheck disable=SC2046  # one word per file
scripts/tidy.sh build/asan $(grep -vx tests/fuzz/decoder_fuzzer.cc <<<"$native_sources")
scripts/tidy.sh build/fuzz tests/fuzz/decoder_fuzzer.cc

step "cppcheck"
# Every kernel set of the one list counts as built, as the build tells the code (MIRTAK_BUILT_NAME).
mapfile -t built < <(sed -n 's/^MIRTAK_KERNEL_SET(\([a-z0-9_]*\),.*/-DMIRTAK_BUILT_\1=1/p' \
  log/kernel_set_list.h)
# shellcheck disable=SC2086  # one word per file
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --inline-suppr \
  --library=googletest --library=posix --enable=warning,style,performance,portability -I . \
  -D__linux__ -DMIRTAK_TOOL='""' -DMIRTAK_EXAMPLES='""' -DMIRTAK_FUZZ_CORPUS='""' "${built[@]}" \
  --suppress=missingIncludeSystem $sources
step "hardening checks passed"
